#include "query/SqlLiteral.h"

#include <algorithm>
#include <charconv>
#include <cmath>

QString FormatDecimal(double number) {
    QString text = QString::number(number, 'f', 4);
    // A negative number that rounds to zero shows no sign.
    if (text == "-0.0000")
        text = "0.0000";
    return text;
}

QString ShortestNumberText(double number) {
    if (number == 0)
        return "0"; // also for -0
    char buffer[32];
    const auto [end, error] = std::to_chars(buffer, buffer + sizeof buffer, number);
    if (error != std::errc())
        return QString::number(number, 'g', 17);
    return QString::fromLatin1(buffer, end - buffer);
}

// The usual number text, plain already but for zeros closing its fraction: its length without them, or -1
// for any other text.
static qsizetype AlreadyPlain(QStringView text) {
    qsizetype at = text.startsWith('-') ? 1 : 0;
    const qsizetype whole = at;
    while (at < text.size() && text[at].isDigit() && text[at].unicode() < 0x80)
        ++at;
    const qsizetype wholeDigits = at - whole;
    if (wholeDigits == 0 || (wholeDigits > 1 && text[whole] == '0'))
        return -1;
    qsizetype keep = at;
    if (at < text.size() && text[at] == '.') {
        ++at;
        for (; at < text.size() && text[at].unicode() >= '0' && text[at].unicode() <= '9'; ++at)
            if (text[at] != '0')
                keep = at + 1;
    }
    if (at != text.size() || (whole == 1 && keep == 2 && text[1] == '0'))
        return -1; // more than a plain number, or a negative zero
    return keep;
}

QString ShortPlainNumberText(const QString& text) {
    // A double tells apart any two texts of 15 significant digits in its normal range, so no shorter
    // text reads back as the same double; 24 characters keep the value well inside that range.
    const qsizetype keep = text.size() <= 24 ? AlreadyPlain(text) : -1;
    if (keep <= 0)
        return QString();
    int significant = 0;
    for (qsizetype i = 0; i < keep; ++i) {
        const char16_t c = text[i].unicode();
        if (c >= '0' && c <= '9' && (significant > 0 || c != '0'))
            ++significant;
    }
    // Zeros inside the whole part count too; a fraction's leading zeros do not. A zero has none.
    if (significant == 0 || significant > 15)
        return QString();
    return keep == text.size() ? text : text.left(keep); // the engine's own text, shared where it is whole
}

QString PlainDecimalText(QStringView text) {
    if (const qsizetype keep = AlreadyPlain(text); keep > 0)
        return text.left(keep).toString();
    qsizetype at = 0;
    const qsizetype n = text.size();
    bool negative = false;
    if (at < n && (text[at] == '+' || text[at] == '-'))
        negative = text[at++] == '-';
    QString digits; // every digit, the point taken out
    qsizetype pointAt = -1;
    for (; at < n; ++at) {
        const char16_t c = text[at].unicode();
        if (c >= '0' && c <= '9')
            digits += QChar(c);
        else if (c == '.' && pointAt < 0)
            pointAt = digits.size();
        else
            break;
    }
    if (digits.isEmpty())
        return QString();
    if (pointAt < 0)
        pointAt = digits.size();
    if (at < n) {
        if (text[at] != 'e' && text[at] != 'E')
            return QString();
        ++at;
        bool negativeExponent = false;
        if (at < n && (text[at] == '+' || text[at] == '-'))
            negativeExponent = text[at++] == '-';
        if (at == n)
            return QString();
        qint64 exponent = 0;
        for (; at < n; ++at) {
            const char16_t c = text[at].unicode();
            if (c < '0' || c > '9')
                return QString();
            exponent = std::min<qint64>(exponent * 10 + (c - '0'), 100000);
        }
        if (exponent > 4000)
            return QString(); // beyond every engine's numbers: not written out in digits
        pointAt += negativeExponent ? -exponent : exponent;
    }
    if (pointAt < 0) {
        digits.prepend(QString(-pointAt, '0'));
        pointAt = 0;
    } else if (pointAt > digits.size()) {
        digits.append(QString(pointAt - digits.size(), '0'));
    }
    QString whole = digits.left(pointAt);
    QString fraction = digits.mid(pointAt);
    qsizetype lead = 0;
    while (lead < whole.size() - 1 && whole[lead] == '0')
        ++lead;
    whole.remove(0, lead);
    if (whole.isEmpty())
        whole = "0";
    while (fraction.endsWith('0'))
        fraction.chop(1);
    const bool zero = whole == "0" && fraction.isEmpty();
    QString plain = negative && !zero ? "-" + whole : whole;
    if (!fraction.isEmpty())
        plain += '.' + fraction;
    return plain;
}

QString DecimalWithScale(const QString& plain, int maxScale) {
    const qsizetype dot = plain.indexOf('.');
    const qsizetype digits = dot < 0 ? 0 : plain.size() - dot - 1;
    if (digits <= 4 && !plain.startsWith('-')) {
        // The usual value: nothing to round, only zeros to add.
        const qsizetype size = plain.size() + (dot < 0 ? 1 : 0) + 4 - digits;
        QString padded(size, QLatin1Char('0'));
        QChar* out = padded.data();
        std::copy(plain.begin(), plain.end(), out);
        if (dot < 0)
            out[plain.size()] = QLatin1Char('.');
        return padded;
    }
    const int scale = std::max(4, maxScale);
    const bool negative = plain.startsWith('-');
    const QString unsignedText = negative ? plain.mid(1) : plain;
    const qsizetype point = unsignedText.indexOf('.');
    QString whole = point < 0 ? unsignedText : unsignedText.left(point);
    QString fraction = point < 0 ? QString() : unsignedText.mid(point + 1);
    if (fraction.size() > scale) {
        const bool up = fraction[scale] >= '5';
        fraction.truncate(scale);
        if (up) {
            // Carry through the fraction into the whole part.
            QString all = whole + fraction;
            qsizetype i = all.size() - 1;
            for (; i >= 0 && all[i] == '9'; --i)
                all[i] = '0';
            if (i < 0)
                all.prepend('1');
            else
                all[i] = QChar(all[i].unicode() + 1);
            whole = all.left(all.size() - scale);
            fraction = all.right(scale);
        }
        while (fraction.size() > 4 && fraction.endsWith('0'))
            fraction.chop(1);
    }
    if (fraction.size() < 4)
        fraction += QString(4 - fraction.size(), '0');
    const auto allZero = [](const QString& digits) {
        return std::all_of(digits.begin(), digits.end(), [](QChar c) { return c == '0'; });
    };
    const bool zero = allZero(whole) && allZero(fraction);
    return (negative && !zero ? "-" : "") + whole + '.' + fraction;
}

// One pass into a text of the final size: QString::replace moves the rest of the text again for each
// batch of matches, which costs a large text with many apostrophes time in the square of its size.
static QString Doubled(const QString& text, bool backslashes) {
    const qsizetype extra = text.count('\'') + (backslashes ? text.count('\\') : 0);
    if (extra == 0)
        return text;
    QString doubled(text.size() + extra, Qt::Uninitialized);
    QChar* out = doubled.data();
    for (const QChar c : text) {
        *out++ = c;
        if (c == '\'' || (backslashes && c == '\\'))
            *out++ = c;
    }
    return doubled;
}

QString EscapeQuotes(const QString& text) {
    return Doubled(text, false);
}

QString EscapeLiteral(const QString& text, TBackslashes backslashes) {
    return Doubled(text, backslashes != TBackslashes::Literal);
}

TLiteralEnds BinaryLiteralEnds(TEngineKind engine) {
    switch (engine) {
    case TEngineKind::PostgreSQL:
        return {"decode('", "','hex')"};
    case TEngineKind::SqlServer:
        return {"0x", ""};
    default:
        return {"X'", "'"};
    }
}

QString BinaryLiteral(const QString& hex, TEngineKind engine) {
    const TLiteralEnds ends = BinaryLiteralEnds(engine);
    return QLatin1String(ends.Prefix) + hex + QLatin1String(ends.Suffix);
}

bool IsNumberText(const QString& text) {
    TNumberScan s(text);
    s.Sign();
    if (s.Digits() > 0) {
        if (s.Take('.'))
            s.Digits();
    } else if (!s.Take('.') || s.Digits() == 0) {
        return false;
    }
    if (s.Take('e') || s.Take('E')) {
        s.Sign();
        if (s.Digits() == 0)
            return false;
    }
    return s.Done();
}
