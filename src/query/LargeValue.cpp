#include "query/LargeValue.h"

#include <QStringView>
#include <algorithm>

#include "query/SqlLiteral.h"

namespace {

constexpr qsizetype Part = 64 * 1024; // characters or bytes encoded at a time

// Statements are mostly ASCII: those characters are copied as they are, without a converted copy of
// the text; from the first other character on, the rest is converted as a whole would be.
void AppendUtf8(QByteArray& out, QStringView text) {
    const qsizetype at = out.size(), n = text.size();
    out.resize(at + n);
    char* to = out.data() + at;
    const char16_t* in = text.utf16();
    for (qsizetype i = 0; i < n; ++i) {
        if (in[i] >= 0x80) {
            out.resize(at + i);
            out += text.mid(i).toUtf8();
            return;
        }
        to[i] = char(in[i]);
    }
}

void AppendHex(QByteArray& out, const char* bytes, qsizetype n) {
    static const char digits[] = "0123456789ABCDEF";
    const qsizetype at = out.size();
    out.resize(at + 2 * n);
    char* to = out.data() + at;
    for (qsizetype i = 0; i < n; ++i) {
        const auto b = static_cast<unsigned char>(bytes[i]);
        *to++ = digits[b >> 4];
        *to++ = digits[b & 15];
    }
}

} // namespace

// The literal's length in UTF-8, so its buffer is allocated once and not rounded up as it grows.
qsizetype LiteralUtf8Size(const TLargeValue& value) {
    // With room for the rest of a statement's lines after it.
    qsizetype size = value.Prefix.size() + value.Suffix.size() + 4096;
    if (value.Binary)
        return size + 2 * value.Bytes.size();
    for (const QChar c : value.Text) {
        const char16_t u = c.unicode();
        const qsizetype bytes = u < 0x80 ? 1 : u < 0x800 ? 2 : c.isSurrogate() ? 2 : 3;
        size += value.Form == TLargeValue::TForm::TextHex ? 2 * bytes : bytes;
        if (value.Form == TLargeValue::TForm::Escaped &&
            (u == '\'' || (u == '\\' && value.Backslashes != TBackslashes::Literal)))
            ++size;
    }
    return size;
}

void AppendLiteralUtf8(QByteArray& out, const TLargeValue& value) {
    out.reserve(out.size() + LiteralUtf8Size(value));
    AppendUtf8(out, value.Prefix);
    if (value.Binary) {
        AppendHex(out, value.Bytes.constData(), value.Bytes.size());
    } else {
        const QString& text = value.Text;
        for (qsizetype from = 0; from < text.size();) {
            qsizetype n = std::min(Part, text.size() - from);
            // A surrogate pair stays in one part: alone, either half would be lost in the conversion.
            if (from + n < text.size() && text[from + n - 1].isHighSurrogate())
                --n;
            const QString part = text.mid(from, n);
            if (value.Form == TLargeValue::TForm::TextHex) {
                const QByteArray utf8 = part.toUtf8();
                AppendHex(out, utf8.constData(), utf8.size());
            } else {
                AppendUtf8(out, EscapeLiteral(part, value.Backslashes));
            }
            from += n;
        }
    }
    AppendUtf8(out, value.Suffix);
}

void AppendLineUtf8(QByteArray& out, const QString& line, int index, const TLargeSplices& splices) {
    qsizetype from = 0;
    for (const TLargeSplice& s : splices) {
        if (s.Line != index)
            continue;
        AppendUtf8(out, QStringView(line).mid(from, s.At - from));
        AppendLiteralUtf8(out, *s.Value);
        from = s.At + 1;
    }
    AppendUtf8(out, QStringView(line).mid(from));
}

QStringList ExpandedLines(const QStringList& lines, const TLargeSplices& splices) {
    if (splices.empty())
        return lines;
    QStringList expanded;
    for (int i = 0; i < lines.size(); ++i) {
        QByteArray line;
        AppendLineUtf8(line, lines[i], i, splices);
        expanded << QString::fromUtf8(line);
    }
    return expanded;
}
