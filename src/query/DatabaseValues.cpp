#include "query/DatabaseValues.h"

#include "platform/IsoText.h"
#include "platform/Regional.h"

#include <QDate>
#include <QDateTime>
#include <QHash>
#include <QLocale>
#include <QRegularExpression>
#include <QTime>
#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>
#include <sql.h>
#include <sqlext.h>
#include <sqlucode.h>

namespace {

using namespace DatabaseValues;

QString NormalizedTypeName(const QString& typeName, bool& isUnsigned) {
    static const QRegularExpression arguments(QStringLiteral("\\([^)]*\\)"));
    QString n = typeName.toLower();
    n.remove(arguments);
    if (n.contains(QLatin1String("unsigned"))) {
        isUnsigned = true;
        n.remove(QLatin1String("unsigned"));
    }
    return n.simplified();
}

bool IsIntegerSqlType(int t) {
    return t == SQL_TINYINT || t == SQL_SMALLINT || t == SQL_INTEGER || t == SQL_BIGINT;
}

bool IsBinarySqlType(int t) {
    return t == SQL_BINARY || t == SQL_VARBINARY || t == SQL_LONGVARBINARY;
}

// ---------------------------------------------------------------------------------------------------------
// Display text under the regional settings. Everything regional is in this block, so it can move onto the
// platform's regional helpers as a whole. The default locale is the system's unless a test sets one.

namespace Regional {
// The regional settings of the platform layer, so every text of the program follows one locale.
QLocale Locale() {
    return RegionalLocale();
}
QString DateText(QDate d) {
    return FormatDisplayDate(d);
}
QString TimeText(QTime t) {
    return FormatDisplayTime(t);
}
QString FloatText(double v) {
    return FormatDisplayFloat(v);
}

// An exact decimal text with the regional separator and without trailing fraction zeros.
QString DecimalText(const QString& raw) {
    static const QRegularExpression plain(QStringLiteral("^\\s*([-+]?\\d*)(?:\\.(\\d*))?\\s*$"));
    const QRegularExpressionMatch m = plain.match(raw);
    if (!m.hasMatch()) {
        bool ok = false;
        const double v = raw.trimmed().toDouble(&ok);
        return ok ? FloatText(v) : raw;
    }
    QString whole = m.captured(1);
    QString fraction = m.captured(2);
    while (fraction.endsWith('0'))
        fraction.chop(1);
    if (whole.isEmpty() || whole == QLatin1String("-") || whole == QLatin1String("+"))
        whole += '0';
    return fraction.isEmpty() ? whole : whole + Locale().decimalPoint() + fraction;
}

} // namespace Regional

// ---------------------------------------------------------------------------------------------------------
// Reading raw values

constexpr qint64 msPerDay = 86400000;

double DayCount(QDate date, QTime time) {
    const qint64 days = QDate(1899, 12, 30).daysTo(date);
    const double fraction = double(time.msecsSinceStartOfDay()) / double(msPerDay);
    // Before the epoch the fraction still counts forward within the day.
    return days >= 0 ? double(days) + fraction : double(days) - fraction;
}

int Milliseconds(QStringView fraction) {
    int ms = 0;
    for (int i = 0; i < 3; ++i)
        ms = ms * 10 + (i < fraction.size() ? fraction[i].digitValue() : 0);
    return ms;
}

// ISO date with optional time ("2024-03-15", "2024-03-15 13:45:10.5", "…T…", a trailing zone ignored).
bool ParseIsoDateTime(const QString& raw, QDate& date, QTime& time) {
    const TIsoParts p = ReadIsoText(raw, TIsoForm::DateThenTime);
    if (!p.hasDate)
        return false;
    date = QDate(p.year, p.month, p.day);
    time = p.hasTime ? QTime(p.hour, p.minute, p.second, Milliseconds(p.fraction)) : QTime(0, 0);
    return date.isValid() && time.isValid();
}

bool ParseIsoTime(const QString& raw, QTime& time) {
    const TIsoParts p = ReadIsoText(raw, TIsoForm::TimeOnly);
    if (!p.hasTime)
        return false;
    time = QTime(p.hour, p.minute, p.second, Milliseconds(p.fraction));
    return time.isValid();
}

bool ParseBoolean(const QString& raw, bool& value) {
    const QString t = raw.trimmed().toLower();
    if (t == QLatin1String("1") || t == QLatin1String("-1") || t == QLatin1String("t") ||
        t == QLatin1String("true") || t == QLatin1String("y") || t == QLatin1String("yes")) {
        value = true;
        return true;
    }
    if (t.isEmpty() || t == QLatin1String("0") || t == QLatin1String("f") || t == QLatin1String("false") ||
        t == QLatin1String("n") || t == QLatin1String("no")) {
        value = false;
        return true;
    }
    return false;
}

bool IsNumberType(TFieldType t) {
    using enum TFieldType;
    return t == ftSmallint || t == ftInteger || t == ftWord || t == ftLargeint || t == ftAutoInc ||
           t == ftFloat || t == ftCurrency || t == ftBCD;
}

bool IsDateType(TFieldType t) {
    return t == TFieldType::ftDate || t == TFieldType::ftTime || t == TFieldType::ftDateTime ||
           t == TFieldType::ftTimeStamp;
}

[[noreturn]] void ConversionError(const QString& raw, const char* what) {
    throw EDatabaseError(QString("'%1' is not a valid %2").arg(raw, QLatin1String(what)));
}

} // namespace

namespace DatabaseValues {

// The type name decides where drivers report the SQL type loosely (the SQLite driver reports CHAR(n), money
// and uuid as VARCHAR; the PostgreSQL Unicode driver reports every varchar as WVARCHAR).
TFieldType MapType(const TColumnInfo& c) {
    using enum TFieldType;
    bool isUnsigned = false;
    const QString n = NormalizedTypeName(c.typeName, isUnsigned);
    const bool integerSql = IsIntegerSqlType(c.sqlType);

    if (n.contains(QLatin1String("serial")) || n.contains(QLatin1String("identity")) ||
        (c.autoIncrement && (integerSql || n.contains(QLatin1String("int")))))
        return ftAutoInc;
    // SQL Server's "timestamp" is a binary row version, not a point in time.
    if (IsBinarySqlType(c.sqlType) && (n == QLatin1String("timestamp") || n == QLatin1String("rowversion")))
        return ftBytes;

    static const QHash<QString, TFieldType> byName = {
        {"smallint", ftSmallint},
        {"int2", ftSmallint},
        {"tinyint", ftSmallint},
        {"int1", ftSmallint},
        {"integer", ftInteger},
        {"int", ftInteger},
        {"int4", ftInteger},
        {"mediumint", ftInteger},
        {"bigint", ftLargeint},
        {"int8", ftLargeint},
        {"bit", ftBoolean},
        {"bool", ftBoolean},
        {"boolean", ftBoolean},
        {"real", ftFloat},
        {"float", ftFloat},
        {"double", ftFloat},
        {"double precision", ftFloat},
        {"float4", ftFloat},
        {"float8", ftFloat},
        {"money", ftCurrency},
        {"smallmoney", ftCurrency},
        {"currency", ftCurrency},
        {"decimal", ftBCD},
        {"numeric", ftBCD},
        {"dec", ftBCD},
        {"number", ftBCD},
        {"date", ftDate},
        {"time", ftTime},
        {"timetz", ftTime},
        {"time with time zone", ftTime},
        {"time without time zone", ftTime},
        {"timestamp", ftDateTime},
        {"timestamptz", ftDateTime},
        {"timestamp with time zone", ftDateTime},
        {"timestamp without time zone", ftDateTime},
        {"datetime", ftDateTime},
        {"datetime2", ftDateTime},
        {"smalldatetime", ftDateTime},
        {"datetimeoffset", ftDateTime},
        {"char", ftFixedChar},
        {"character", ftFixedChar},
        {"bpchar", ftFixedChar},
        {"nchar", ftFixedChar},
        {"national char", ftFixedChar},
        {"national character", ftFixedChar},
        {"varchar", ftString},
        {"character varying", ftString},
        {"varchar2", ftString},
        {"nvarchar", ftWideString},
        {"nvarchar2", ftWideString},
        {"national character varying", ftWideString},
        {"national char varying", ftWideString},
        {"national varchar", ftWideString},
        {"uuid", ftGuid},
        {"guid", ftGuid},
        {"uniqueidentifier", ftGuid},
        {"text", ftMemo},
        {"clob", ftMemo},
        {"memo", ftMemo},
        {"longvarchar", ftMemo},
        {"long varchar", ftMemo},
        {"tinytext", ftMemo},
        {"mediumtext", ftMemo},
        {"longtext", ftMemo},
        {"ntext", ftWideMemo},
        {"nclob", ftWideMemo},
        {"long nvarchar", ftWideMemo},
        {"binary", ftBytes},
        {"blob", ftBlob},
        {"bytea", ftBlob},
        {"varbinary", ftBlob},
        {"binary varying", ftBlob},
        {"image", ftBlob},
        {"tinyblob", ftBlob},
        {"mediumblob", ftBlob},
        {"longblob", ftBlob},
        {"longvarbinary", ftBlob},
        {"long varbinary", ftBlob},
    };
    const bool unsignedInteger = isUnsigned || (integerSql && c.isUnsigned);
    auto it = byName.constFind(n);
    if (it != byName.constEnd()) {
        if (*it == ftSmallint && unsignedInteger)
            return ftWord;
        if (*it == ftInteger && unsignedInteger)
            return ftLargeint; // an unsigned 32-bit value does not fit a signed one
        return *it;
    }
    switch (c.sqlType) {
    case SQL_BIT:
        return ftBoolean;
    case SQL_TINYINT:
    case SQL_SMALLINT:
        return unsignedInteger ? ftWord : ftSmallint;
    case SQL_INTEGER:
        return unsignedInteger ? ftLargeint : ftInteger;
    case SQL_BIGINT:
        return ftLargeint;
    case SQL_REAL:
    case SQL_FLOAT:
    case SQL_DOUBLE:
        return ftFloat;
    case SQL_DECIMAL:
    case SQL_NUMERIC:
        return ftBCD;
    case SQL_TYPE_DATE:
    case SQL_DATE:
        return ftDate;
    case SQL_TYPE_TIME:
    case SQL_TIME:
    case -154: // SQL Server's time(n)
        return ftTime;
    case SQL_TYPE_TIMESTAMP:
    case SQL_TIMESTAMP:
        return ftDateTime;
    case SQL_CHAR:
    case SQL_WCHAR:
        return ftFixedChar;
    case SQL_VARCHAR:
        return ftString;
    case SQL_WVARCHAR:
        return ftWideString;
    case SQL_LONGVARCHAR:
        return ftMemo;
    case SQL_WLONGVARCHAR:
        return ftWideMemo;
    case SQL_GUID:
        return ftGuid;
    case SQL_BINARY:
        return ftBytes;
    case SQL_VARBINARY:
    case SQL_LONGVARBINARY:
        return ftBlob;
    default:
        return ftUnknown;
    }
}

// Characters for character types, bytes for fixed binary, digits for BCD; 0 where the type has no
// declared length (numbers, dates, times, large objects).
int DeclaredSize(TFieldType type, unsigned long long columnSize) {
    using enum TFieldType;
    switch (type) {
    case ftString:
    case ftWideString:
    case ftFixedChar:
    case ftBytes:
    case ftBCD:
    case ftUnknown:
        return int(std::min<unsigned long long>(columnSize, unsigned(std::numeric_limits<int>::max())));
    case ftGuid:
        return 38; // the braced text form
    default:
        return 0;
    }
}

// An engine's number text in its usual form, read without the general reader's allocations. Anything
// else (blanks, a locale's form, an overflow) is left to the general reader.
static bool PlainDecimal(const QString& raw, double& value) {
    constexpr qsizetype MaxPlain = 64;
    const qsizetype n = raw.size();
    if (n == 0 || n > MaxPlain)
        return false;
    char text[MaxPlain];
    const QChar* c = raw.constData();
    qsizetype from = c[0] == QLatin1Char('+') ? 1 : 0; // the standard reader takes no plus sign
    for (qsizetype i = from; i < n; ++i) {
        const char16_t u = c[i].unicode();
        if (!((u >= '0' && u <= '9') || u == '.' || u == '-' || u == '+' || u == 'e' || u == 'E'))
            return false;
        text[i] = char(u);
    }
    if (from == n || text[from] == '+' || (from == 1 && text[from] == '-'))
        return false;
    const auto [end, error] = std::from_chars(text + from, text + n, value, std::chars_format::general);
    return error == std::errc() && end == text + n;
}

double ReadFloat(TFieldType type, const QString& raw) {
    if (type == TFieldType::ftBoolean) {
        bool b = false;
        if (!ParseBoolean(raw, b))
            ConversionError(raw, "boolean value");
        return b ? 1 : 0;
    }
    if (IsDateType(type))
        return ReadDateTime(type, raw);
    double v = 0;
    if (PlainDecimal(raw, v))
        return v;
    // A text is read in the one form the engines write, whatever the desktop's locale: a flow gives the
    // same rows whoever runs it.
    bool ok = false;
    v = raw.trimmed().toDouble(&ok);
    if (!ok)
        ConversionError(raw, "floating point value");
    return v;
}

qint64 RoundToInteger(double v, const QString& raw) {
    const double r = std::nearbyint(v); // halves go to the even neighbour
    if (!(r >= -9223372036854775808.0 && r < 9223372036854775808.0))
        ConversionError(raw, "integer value");
    return qint64(r);
}

qint64 ReadInteger(TFieldType type, const QString& raw) {
    using enum TFieldType;
    if (type == ftBoolean || type == ftFloat || type == ftCurrency || type == ftBCD || IsDateType(type))
        return IsDateType(type) ? qint64(ReadDateTime(type, raw)) : RoundToInteger(ReadFloat(type, raw), raw);
    bool ok = false;
    const qint64 v = raw.trimmed().toLongLong(&ok);
    if (ok)
        return v;
    if (IsNumberType(type)) { // a loosely typed engine may hold a fraction in an integer column
        const double d = raw.trimmed().toDouble(&ok);
        if (ok)
            return RoundToInteger(d, raw);
    }
    ConversionError(raw, "integer value");
}

bool ReadBoolean(TFieldType type, const QString& raw) {
    if (IsNumberType(type) || IsDateType(type))
        return ReadFloat(type, raw) != 0;
    bool b = false;
    if (!ParseBoolean(raw, b))
        ConversionError(raw, "boolean value");
    return b;
}

double ReadDateTime(TFieldType type, const QString& raw) {
    if (IsNumberType(type))
        return ReadFloat(type, raw);
    QDate date;
    QTime time;
    if (type == TFieldType::ftTime && ParseIsoTime(raw, time))
        return DayCount(QDate(1899, 12, 30), time);
    if (ParseIsoDateTime(raw, date, time))
        return DayCount(date, time);
    if (ParseIsoTime(raw, time))
        return DayCount(QDate(1899, 12, 30), time);
    ConversionError(raw, "date and time");
}

QString DisplayText(TFieldType type, const QString& raw) {
    using enum TFieldType;
    QDate date;
    QTime time;
    switch (type) {
    case ftBoolean: {
        bool b = false;
        return ParseBoolean(raw, b) ? QString(b ? "True" : "False") : raw;
    }
    case ftFloat: {
        bool ok = false;
        const double v = raw.trimmed().toDouble(&ok);
        return ok ? Regional::FloatText(v) : raw;
    }
    case ftCurrency:
    case ftBCD:
        return Regional::DecimalText(raw);
    case ftDate:
        return ParseIsoDateTime(raw, date, time) ? Regional::DateText(date) : raw;
    case ftTime:
        if (ParseIsoTime(raw, time) || ParseIsoDateTime(raw, date, time))
            return Regional::TimeText(time);
        return raw;
    case ftDateTime:
    case ftTimeStamp:
        if (!ParseIsoDateTime(raw, date, time))
            return raw;
        return time == QTime(0, 0) ? Regional::DateText(date)
                                   : Regional::DateText(date) + ' ' + Regional::TimeText(time);
    case ftFixedChar: {
        qsizetype n = raw.size();
        while (n > 0 && raw[n - 1] == ' ')
            --n;
        return raw.left(n);
    }
    default:
        return raw;
    }
}

} // namespace DatabaseValues

const char* FieldTypeName(TFieldType type) {
    using enum TFieldType;
    switch (type) {
    case ftUnknown:
        return "ftUnknown";
    case ftSmallint:
        return "ftSmallint";
    case ftInteger:
        return "ftInteger";
    case ftWord:
        return "ftWord";
    case ftBoolean:
        return "ftBoolean";
    case ftFloat:
        return "ftFloat";
    case ftCurrency:
        return "ftCurrency";
    case ftBCD:
        return "ftBCD";
    case ftDate:
        return "ftDate";
    case ftTime:
        return "ftTime";
    case ftDateTime:
        return "ftDateTime";
    case ftString:
        return "ftString";
    case ftWideString:
        return "ftWideString";
    case ftFixedChar:
        return "ftFixedChar";
    case ftGuid:
        return "ftGuid";
    case ftLargeint:
        return "ftLargeint";
    case ftAutoInc:
        return "ftAutoInc";
    case ftMemo:
        return "ftMemo";
    case ftWideMemo:
        return "ftWideMemo";
    case ftBlob:
        return "ftBlob";
    case ftBytes:
        return "ftBytes";
    case ftTimeStamp:
        return "ftTimeStamp";
    }
    return "ftUnknown";
}
