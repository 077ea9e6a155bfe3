#include "platform/Regional.h"

#include <QRegularExpression>
#include <cmath>
#include <optional>

namespace {

struct TRegional {
    QLocale locale;
    QString dateFormat;
    QString timeFormat;
    QString decimal;
    QString dateSeparator;
    QString timeSeparator;
};

std::optional<QLocale>& TestLocale() {
    static std::optional<QLocale> locale;
    return locale;
}

std::optional<TRegional>& Cache() {
    static std::optional<TRegional> cache;
    return cache;
}

// Copies the quoted literal starting at format[i] (the opening quote) to out; returns the index of
// its closing quote ('' inside a literal is a quote character).
qsizetype CopyQuoted(const QString& format, qsizetype i, QString& out) {
    out += format[i++];
    while (i < format.size()) {
        out += format[i];
        if (format[i] == '\'') {
            if (i + 1 < format.size() && format[i + 1] == '\'') {
                out += format[++i];
            } else {
                return i;
            }
        }
        ++i;
    }
    return i;
}

// Rewrites every unquoted run of the letter as rewrite(run length) gives it.
template <typename F> QString RewriteRuns(const QString& format, QChar letter, F rewrite) {
    QString out;
    for (qsizetype i = 0; i < format.size(); ++i) {
        if (format[i] == '\'') {
            i = CopyQuoted(format, i, out);
        } else if (format[i] == letter) {
            qsizetype j = i;
            while (j < format.size() && format[j] == letter)
                ++j;
            out += rewrite(j - i);
            i = j - 1;
        } else {
            out += format[i];
        }
    }
    return out;
}

QString FirstSeparator(const QString& format) {
    QString blank;
    bool seenField = false;
    for (qsizetype i = 0; i < format.size(); ++i) {
        const QChar c = format[i];
        if (c == '\'') {
            QString skipped;
            i = CopyQuoted(format, i, skipped);
        } else if (c.isLetter()) {
            seenField = true;
        } else if (seenField && c.isSpace()) {
            if (blank.isEmpty())
                blank = c;
        } else if (seenField) {
            return QString(c);
        }
    }
    return blank;
}

const TRegional& Regional() {
    if (!Cache()) {
        TRegional r;
        r.locale = TestLocale() ? *TestLocale() : QLocale::system();
        r.dateFormat = WidenTwoDigitYear(r.locale.dateFormat(QLocale::ShortFormat));
        r.timeFormat = DropTimeZone(r.locale.timeFormat(QLocale::LongFormat));
        r.decimal = r.locale.decimalPoint();
        r.dateSeparator = FirstSeparator(r.dateFormat);
        r.timeSeparator = FirstSeparator(r.timeFormat);
        Cache() = std::move(r);
    }
    return *Cache();
}

} // namespace

QLocale RegionalLocale() {
    return Regional().locale;
}

void SetRegionalLocaleForTests(const QLocale& locale) {
    TestLocale() = locale;
    Cache().reset();
}

void ResetRegionalLocaleForTests() {
    TestLocale().reset();
    Cache().reset();
}

QString WidenTwoDigitYear(const QString& qtFormat) {
    return RewriteRuns(qtFormat, 'y', [](qsizetype n) { return QString(n == 2 ? 4 : n, 'y'); });
}

QString DropTimeZone(const QString& qtFormat) {
    const QChar mark(0x0001);
    QString format = RewriteRuns(qtFormat, 't', [&](qsizetype) { return QString(mark); });
    static const QRegularExpression around(
        QStringLiteral("\\s*(\\(\\s*\\x01\\s*\\)|\\[\\s*\\x01\\s*\\]|\\x01)"));
    format.replace(around, QString());
    return format.trimmed();
}

QString ShortDateFormat() {
    return Regional().dateFormat;
}
QString LongTimeFormat() {
    return Regional().timeFormat;
}
QString DecimalSeparator() {
    return Regional().decimal;
}
QString DateSeparator() {
    return Regional().dateSeparator;
}
QString TimeSeparator() {
    return Regional().timeSeparator;
}

QString FormatDisplayDate(const QDate& date) {
    if (!date.isValid())
        return {};
    const TRegional& r = Regional();
    return r.locale.toString(date, r.dateFormat);
}

QString FormatDisplayTime(const QTime& time) {
    if (!time.isValid())
        return {};
    const TRegional& r = Regional();
    return r.locale.toString(time, r.timeFormat);
}

QString FormatDisplayDateTime(const QDateTime& dt) {
    if (!dt.isValid())
        return {};
    const QString date = FormatDisplayDate(dt.date());
    if (dt.time() == QTime(0, 0))
        return date;
    return date + " " + FormatDisplayTime(dt.time());
}

static QString FloatText(double value, const QString& sep);

QString FormatDisplayFloat(double value) {
    return FloatText(value, DecimalSeparator());
}

QString FormatPlainFloat(double value) {
    return FloatText(value, QStringLiteral("."));
}

static QString FloatText(double value, const QString& sep) {
    if (std::isnan(value))
        return "NAN";
    if (std::isinf(value))
        return value > 0 ? "INF" : "-INF";
    if (value == 0)
        return "0";
    // "-d.dddddddddddddde±x": fifteen significant digits, rounded once.
    const QString sci = QString::number(value, 'e', 14);
    const bool negative = sci.startsWith('-');
    const qsizetype ePos = sci.indexOf('e');
    QString digits = sci.mid(negative ? 1 : 0, ePos - (negative ? 1 : 0));
    digits.remove('.');
    const int exponent = sci.mid(ePos + 1).toInt();
    while (digits.size() > 1 && digits.endsWith('0'))
        digits.chop(1);

    QString text;
    if (exponent >= 15 || exponent < -5) {
        text = digits.left(1);
        if (digits.size() > 1)
            text += sep + digits.mid(1);
        text += "E" + QString::number(exponent);
    } else if (exponent >= 0) {
        QString whole = digits.left(exponent + 1);
        whole += QString(exponent + 1 - whole.size(), '0');
        const QString fraction = digits.mid(exponent + 1);
        text = fraction.isEmpty() ? whole : whole + sep + fraction;
    } else {
        text = "0" + sep + QString(-exponent - 1, '0') + digits;
    }
    return negative ? "-" + text : text;
}
