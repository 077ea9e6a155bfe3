#include "query/LargeValue.h"

#include <QStringView>
#include <algorithm>

#include "query/SqlLiteral.h"

namespace {

constexpr qsizetype Part = 64 * 1024; // characters or bytes encoded at a time

// Statements are mostly ASCII: those characters are copied as they are, without a converted copy of
// the text; from the first block holding any other character on, the rest is converted as a whole would
// be. Blocks without an early exit let the compiler work on many characters at a time.
void AppendUtf8(QByteArray& out, QStringView text) {
    constexpr qsizetype block = 32;
    const qsizetype at = out.size(), n = text.size();
    out.resize(at + n);
    char* to = out.data() + at;
    const char16_t* in = text.utf16();
    qsizetype i = 0;
    for (; i + block <= n; i += block) {
        char16_t any = 0;
        for (qsizetype j = 0; j < block; ++j)
            any |= in[i + j];
        if (any >= 0x80)
            break;
        for (qsizetype j = 0; j < block; ++j)
            to[i + j] = char(in[i + j]);
    }
    for (; i < n && in[i] < 0x80; ++i)
        to[i] = char(in[i]);
    if (i < n) {
        out.resize(at + i);
        out += text.mid(i).toUtf8();
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

namespace {

qsizetype Units(const TLargeValue& value) {
    return value.Binary ? value.Bytes.size() : value.Text.size();
}

// The value's units (bytes or characters) from on, at most about count of them, encoded into out; the
// units taken.
qsizetype AppendRange(QByteArray& out, const TLargeValue& value, qsizetype from, qsizetype count) {
    qsizetype n = std::min(count, Units(value) - from);
    if (value.Binary) {
        AppendHex(out, value.Bytes.constData() + from, n);
        return n;
    }
    const QString& text = value.Text;
    // A surrogate pair stays in one part: alone, either half would be lost in the conversion.
    if (from + n < text.size() && n > 1 && text[from + n - 1].isHighSurrogate())
        --n;
    const QString part = text.mid(from, n);
    if (value.Form == TLargeValue::TForm::TextHex) {
        const QByteArray utf8 = part.toUtf8();
        AppendHex(out, utf8.constData(), utf8.size());
    } else {
        AppendUtf8(out, EscapeLiteral(part, value.Backslashes));
    }
    return n;
}

} // namespace

void AppendLiteralUtf8(QByteArray& out, const TLargeValue& value) {
    AppendUtf8(out, value.Prefix);
    for (qsizetype from = 0; from < Units(value);)
        from += AppendRange(out, value, from, Part);
    AppendUtf8(out, value.Suffix);
}

TStatementParts::TStatementParts(const QStringList& lines, const TLargeSplices& splices,
                                 const QByteArray& tail)
    : tail_(tail) {
    for (int i = 0; i < lines.size(); ++i) {
        const QString& line = lines[i];
        qsizetype from = 0;
        for (const TLargeSplice& s : splices) {
            if (s.Line != i)
                continue;
            segments_.push_back({QStringView(line).mid(from, s.At - from), nullptr});
            segments_.push_back({QStringView(s.Value->Prefix), nullptr});
            segments_.push_back({{}, s.Value.get()});
            segments_.push_back({QStringView(s.Value->Suffix), nullptr});
            from = s.At + 1;
        }
        segments_.push_back({QStringView(line).mid(from), nullptr});
        segments_.push_back({u"\r\n", nullptr});
    }
}

bool TStatementParts::Next(QByteArray& out) {
    out.resize(0);
    while (next_ < segments_.size() && out.size() < PartBytes) {
        const TSegment& segment = segments_[next_];
        if (!segment.Value) {
            AppendUtf8(out, segment.Text);
            ++next_;
            continue;
        }
        at_ += AppendRange(out, *segment.Value, at_, PartBytes / 2);
        if (at_ >= Units(*segment.Value)) {
            at_ = 0;
            ++next_;
        }
    }
    if (next_ == segments_.size() && !tailDone_ && out.size() < PartBytes) {
        out += tail_;
        tailDone_ = true;
    }
    return !out.isEmpty();
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
