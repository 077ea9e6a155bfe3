#include "transfer/ValueRules.h"

#include "platform/IsoText.h"

#include <QDate>
#include <cmath>
#include <limits>

#include "platform/DateTime.h"
#include "platform/Regional.h"
#include "platform/TextFile.h"
#include "query/ColumnRead.h"
#include "query/SqlLiteral.h"

TValueClass ClassOf(TFieldType type) {
    switch (type) {
    case TFieldType::ftSmallint:
    case TFieldType::ftInteger:
    case TFieldType::ftWord:
        return TValueClass::Integer;
    case TFieldType::ftBoolean:
        return TValueClass::Boolean;
    case TFieldType::ftFloat:
    case TFieldType::ftCurrency:
    case TFieldType::ftBCD:
        return TValueClass::Decimal;
    case TFieldType::ftDate:
    case TFieldType::ftDateTime:
        return TValueClass::Date;
    case TFieldType::ftTime:
        return TValueClass::Time;
    case TFieldType::ftString:
    case TFieldType::ftWideString:
        return TValueClass::Character;
    case TFieldType::ftFixedChar:
    case TFieldType::ftGuid:
        return TValueClass::Fixed;
    default:
        return TValueClass::Other;
    }
}

bool IsSizedCharacter(TFieldType type) {
    return type == TFieldType::ftString || type == TFieldType::ftWideString ||
           type == TFieldType::ftFixedChar || type == TFieldType::ftGuid;
}

// Character large objects and time stamps carry text: unquoted, nearly every value breaks the statement.
// A type the layer does not know (an interval, a document, an address) is read by every engine from a
// quoted literal, never from bare text.
static bool IsQuotedOther(TFieldType type) {
    return type == TFieldType::ftMemo || type == TFieldType::ftWideMemo || type == TFieldType::ftTimeStamp ||
           type == TFieldType::ftUnknown;
}

bool IsBinary(TFieldType type) {
    return type == TFieldType::ftBlob || type == TFieldType::ftBytes;
}

QString RoundToWhole(double number) {
    const double whole = std::nearbyint(number); // the default rounding mode sends halves to even
    if (whole == 0)
        return "0";
    return QString::number(whole, 'f', 0);
}

static void PutDigits(QChar*& out, int value, int width) {
    const bool negative = value < 0;
    unsigned v = negative ? 0u - unsigned(value) : unsigned(value);
    char digits[12];
    int n = 0;
    do {
        digits[n++] = char('0' + v % 10);
        v /= 10;
    } while (v);
    if (negative)
        *out++ = '-';
    for (int pad = width - n - (negative ? 1 : 0); pad > 0; --pad)
        *out++ = '0';
    while (n)
        *out++ = QLatin1Char(digits[--n]);
}

// "first<sep>bb<sep>cc", the first number at least firstWidth digits wide: a date or a clock time.
static QString ThreeFields(int first, int firstWidth, char separator, int second, int third) {
    QString text(36, Qt::Uninitialized); // room for three ints of any size
    QChar* out = text.data();
    PutDigits(out, first, firstWidth);
    *out++ = QLatin1Char(separator);
    PutDigits(out, second, 2);
    *out++ = QLatin1Char(separator);
    PutDigits(out, third, 2);
    text.truncate(out - text.constData());
    return text;
}

static QString IsoDate(int year, int month, int day) {
    return ThreeFields(year, 4, '-', month, day);
}

static QString Compose(TFieldType destType, const QString& date, const QString& time) {
    if (destType == TFieldType::ftDate)
        return date;
    if (destType == TFieldType::ftTime)
        return time;
    return date + 'T' + time;
}

namespace {

QString Fraction(QStringView digits) {
    while (digits.endsWith('0'))
        digits.chop(1);
    return digits.isEmpty() ? QString() : '.' + digits.toString();
}

} // namespace

QString IsoValueText(TFieldType destType, double days, const QString& raw) {
    const TIsoParts iso = ReadIsoText(raw, TIsoForm::DateOrTime);
    // The engine's text keeps what a day count rounds away (microseconds); the day count fills in
    // what the text lacks.
    QDateTime fromDays;
    if (!iso.hasDate)
        fromDays = DaysToDateTime(days);
    const QString date =
        iso.hasDate ? IsoDate(iso.year, iso.month, iso.day)
                    : IsoDate(fromDays.date().year(), fromDays.date().month(), fromDays.date().day());
    if (destType == TFieldType::ftDate)
        return date;
    QString time;
    if (iso.hasTime) {
        time = iso.hour < 10 ? QString('0' + QString::number(iso.hour)) : QString::number(iso.hour);
        time += ':' + iso.minuteText.toString() + ':' +
                (iso.secondText.isEmpty() ? QStringLiteral("00") : iso.secondText.toString()) +
                Fraction(iso.fraction);
    } else if (iso.hasDate) {
        time = QStringLiteral("00:00:00");
    } else {
        const QTime t = fromDays.time();
        QString digits(3, Qt::Uninitialized);
        QChar* out = digits.data();
        PutDigits(out, t.msec(), 3);
        time = ThreeFields(t.hour(), 2, ':', t.minute(), t.second()) + Fraction(digits);
    }
    return Compose(destType, date, time);
}

QString DateValueText(TFieldType destType, double days, const QString& raw) {
    if (days == 0)
        return QString();
    static const double lower = DateTimeToDays(QDateTime(QDate(1900, 1, 1), QTime(0, 0)));
    static const double upper = DateTimeToDays(QDateTime(QDate(2079, 1, 1), QTime(0, 0)));
    if (days >= lower && days <= upper)
        return IsoValueText(destType, days, raw);
    const QDate date = DaysToDateTime(days).date();
    return Compose(destType == TFieldType::ftTime ? TFieldType::ftDateTime : destType,
                   IsoDate(1900 + std::abs(date.year()) % 100, date.month(), date.day()), "00:00:00");
}

QString CutToSize(const TColumnDesc& dest, const QString& text) {
    if (!IsSizedCharacter(dest.Type) || dest.Unbounded || text.size() <= dest.Size)
        return text;
    qsizetype end = 0;
    for (int n = 0; n < dest.Size && end < text.size(); ++n)
        end += text[end].isHighSurrogate() && end + 1 < text.size() && text[end + 1].isLowSurrogate() ? 2 : 1;
    return text.left(end);
}

namespace {

bool IsApproximate(TFieldType type) {
    return type == TFieldType::ftFloat;
}

// The source value's own digits as a plain decimal text; empty when it has none to give (not a finite
// number). An exact number or a text is taken digit by digit as the engine gave it; an approximate one
// as the shortest text of its double.
QString ExactDigits(const TValueSource& source) {
    if (!IsApproximate(source.Type())) {
        const QString plain = PlainDecimalText(QStringView(source.Raw()).trimmed());
        if (!plain.isEmpty())
            return plain;
    }
    if (QString plain = ShortPlainNumberText(source.Raw()); !plain.isEmpty())
        return plain;
    const double number = source.Number();
    return std::isfinite(number) ? PlainDecimalText(ShortestNumberText(number)) : QString();
}

qsizetype FractionDigits(const QString& plain) {
    const qsizetype point = plain.indexOf('.');
    return point < 0 ? 0 : plain.size() - point - 1;
}

} // namespace

QString DecimalValueText(const TColumnDesc& dest, const TValueSource& source) {
    const QString plain = ExactDigits(source);
    if (plain.isEmpty())
        return FormatDecimal(source.Number()); // not a finite number: refused as a literal later
    if (FractionDigits(plain) <= 4)
        return DecimalWithScale(plain, 4);
    if (IsApproximate(dest.Type))
        return ShortestNumberText(plain.toDouble());
    // A scale of 0 is also what a driver reports that does not know it (SQLite's): the engine rounds
    // the digits past a scale it holds.
    return DecimalWithScale(plain, dest.Scale > 0 ? dest.Scale : std::numeric_limits<int>::max());
}

QString LocaleFreeText(const TValueSource& source) {
    const TFieldType type = source.Type();
    switch (type) {
    case TFieldType::ftFloat:
        return source.Raw().isEmpty() ? QString() : FormatPlainFloat(source.Number());
    case TFieldType::ftCurrency:
    case TFieldType::ftBCD: {
        const QString plain = PlainDecimalText(QStringView(source.Raw()).trimmed());
        return plain.isEmpty() ? source.Text() : plain;
    }
    case TFieldType::ftDate:
    case TFieldType::ftTime:
    case TFieldType::ftDateTime:
    case TFieldType::ftTimeStamp:
        if (source.Raw().isEmpty())
            return QString();
        return IsoValueText(type == TFieldType::ftTimeStamp ? TFieldType::ftDateTime : type,
                            source.DateTime(), source.Raw());
    default:
        return source.Text();
    }
}

// A time or time stamp from a source the engine gave in ISO form (a time, a date, a time stamp, or a text
// that holds one); any other text passes as it stands, quoted.
static QString TimeLikeText(TFieldType destType, const TValueSource& source) {
    const QString raw = source.Raw();
    if (!ReadIsoText(raw, TIsoForm::DateThenTime).hasDate && !ReadIsoText(raw, TIsoForm::TimeOnly).hasTime)
        return source.Text();
    return IsoValueText(destType, source.DateTime(), raw);
}

QString PlainValueText(const TColumnDesc& dest, const TValueSource& source) {
    switch (ClassOf(dest.Type)) {
    case TValueClass::Integer: {
        const TValueClass from = ClassOf(source.Type());
        if (from == TValueClass::Decimal)
            return RoundToWhole(source.Number());
        if (from == TValueClass::Boolean)
            return source.Boolean() ? "1" : "0";
        return LocaleFreeText(source);
    }
    case TValueClass::Boolean:
        return source.Boolean() ? "1" : "0";
    case TValueClass::Decimal:
        return DecimalValueText(dest, source);
    case TValueClass::Date:
        return DateValueText(dest.Type, source.DateTime(), source.Raw());
    case TValueClass::Time:
        return TimeLikeText(dest.Type, source);
    default:
        if (dest.Type == TFieldType::ftTimeStamp)
            return TimeLikeText(dest.Type, source);
        return CutToSize(dest, LocaleFreeText(source));
    }
}

QString TranslationInputText(const TColumnDesc& dest, const TValueSource& source) {
    if (ClassOf(dest.Type) == TValueClass::Decimal && ClassOf(source.Type()) == TValueClass::Decimal)
        return FormatDecimal(source.Number());
    return source.Text();
}

namespace {

// Hand-written scanners instead of regular expressions: each value of a numeric column passes one.

// [+-]?[0-9]+(\.0*)?
bool IsWholeNumberText(const QString& text) {
    TNumberScan s(text);
    s.Sign();
    if (s.Digits() == 0)
        return false;
    if (s.Take('.'))
        while (s.Take('0')) {
        }
    return s.Done();
}

} // namespace

// [+-]?([0-9]+\.?[0-9]*|\.[0-9]+)([eE][+-]?[0-9]+)?

namespace {

// ([0-9A-Fa-f]{2})*, by hand: a pattern matcher gives up on the text of a large binary.
bool IsHexText(const QString& text) {
    if (text.size() % 2 != 0)
        return false;
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        if (!((u >= '0' && u <= '9') || (u >= 'a' && u <= 'f') || (u >= 'A' && u <= 'F')))
            return false;
    }
    return true;
}

// [+-]?[0-9]+, true or false in any case
bool IsFlagText(const QString& text) {
    if (text.compare(QLatin1String("true"), Qt::CaseInsensitive) == 0 ||
        text.compare(QLatin1String("false"), Qt::CaseInsensitive) == 0)
        return true;
    TNumberScan s(text);
    s.Sign();
    return s.Digits() > 0 && s.Done();
}

} // namespace

QString UnquotedRefusal(const TColumnDesc& dest, const QString& text) {
    switch (ClassOf(dest.Type)) {
    case TValueClass::Decimal:
        return IsNumberText(text) ? QString() : "is not a number";
    case TValueClass::Boolean:
        return IsFlagText(text) ? QString() : "is not a boolean value";
    default:
        return IsWholeNumberText(text) ? QString() : "is not a whole number";
    }
}

TStatementValue QuotedValue(const QString& text, const TDialect& dialect) {
    // A statement is kept (FailedData.sql, the export, the logs) and may be replayed on a server whose
    // backslash setting differs from the one it was written for: a text holding a backslash takes a form
    // every setting reads alike.
    const bool anySetting =
        dialect.Engine == TEngineKind::PostgreSQL || dialect.Backslashes == TBackslashes::Unknown;
    const bool mariaLiteral =
        dialect.Engine == TEngineKind::MariaDB && dialect.Backslashes == TBackslashes::Literal;
    if (text.size() > LargeValueSize) {
        const QString trimmed = TrimControl(text);
        if (trimmed.size() > LargeValueSize) {
            // The same literal, written only where the statement goes to a file.
            auto large = std::make_shared<TLargeValue>();
            large->Text = trimmed;
            large->Prefix = large->Suffix = "'";
            large->Backslashes = dialect.Backslashes;
            if ((anySetting || mariaLiteral) && text.contains('\\')) {
                large->Form = mariaLiteral ? TLargeValue::TForm::TextHex : TLargeValue::TForm::Escaped;
                large->Prefix = mariaLiteral ? "_utf8mb4 X'" : "E'";
                large->Backslashes = TBackslashes::Escape;
            }
            return {QString(), 0, {}, std::move(large)};
        }
    }
    if ((anySetting || mariaLiteral) && text.contains('\\')) {
        const QString trimmed = TrimControl(text);
        if (mariaLiteral) // MariaDB has no escape string; its text literal in hexadecimal reads alike
            return {"_utf8mb4 X'" + QString::fromLatin1(trimmed.toUtf8().toHex().toUpper()) + "'", 0, {}, {}};
        return {"E'" + EscapeLiteral(trimmed, TBackslashes::Escape) + "'", 0, {}, {}};
    }
    return {EscapeLiteral(text, dialect.Backslashes), 1, {}, {}};
}

// No apostrophe, backslash or NUL: the text stands in its literal as it is, on every engine.
static bool NothingToEscape(QStringView text) {
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        if (u == 0 || u == '\'' || u == '\\')
            return false;
    }
    return true;
}

static TStatementValue Refused(const QString& text, const TDialect& dialect, const QString& reason) {
    TStatementValue value = QuotedValue(text, dialect);
    value.Refusal = reason;
    return value;
}

TStatementValue EnterValue(const TColumnDesc& dest, const QString& valueText, const TDialect& dialect,
                           bool hexText) {
    const TValueClass cls = ClassOf(dest.Type);
    if (cls == TValueClass::Character || cls == TValueClass::Date || cls == TValueClass::Time ||
        cls == TValueClass::Fixed || (cls == TValueClass::Other && IsQuotedOther(dest.Type))) {
        // Cut first: a cut after escaping could split a doubled apostrophe and open the literal.
        const QString text = cls == TValueClass::Character ? CutToSize(dest, valueText) : valueText;
        if (text.size() <= LargeValueSize && NothingToEscape(text))
            return {text, 1, {}, {}}; // the usual text: one look decides
        if (text.contains(QChar(0)))
            return Refused(text, dialect, "holds a NUL character, which no statement can carry");
        return QuotedValue(text, dialect);
    }
    const QString trimmed = TrimControl(valueText);
    if (trimmed.isEmpty())
        return {valueText, 0, {}, {}}; // NULL
    if (IsBinary(dest.Type)) {
        if (hexText && !IsHexText(trimmed))
            return Refused(valueText, dialect, "is not a binary value");
        if (!hexText && trimmed.size() > LargeValueSize)
            return EnterBytes(dest, trimmed.toUtf8(), dialect);
        const QString hex = hexText ? trimmed : QString::fromLatin1(trimmed.toUtf8().toHex().toUpper());
        return {BinaryLiteral(hex, dialect.Engine), 0, {}, {}};
    }
    const QString refusal = UnquotedRefusal(dest, trimmed);
    if (!refusal.isEmpty())
        return Refused(valueText, dialect, refusal);
    if (cls == TValueClass::Boolean && dialect.Engine == TEngineKind::PostgreSQL) {
        // PostgreSQL takes no number for a boolean.
        const bool on = trimmed.compare("true", Qt::CaseInsensitive) == 0 ||
                        (trimmed.compare("false", Qt::CaseInsensitive) != 0 && trimmed.toLongLong() != 0);
        return {on ? "true" : "false", 0, {}, {}};
    }
    return {valueText, 0, {}, {}};
}

TStatementValue EnterBytes(const TColumnDesc& dest, const QByteArray& bytes, const TDialect& dialect) {
    if (bytes.size() <= LargeValueSize) {
        QString hex;
        HexDigits(bytes, hex);
        return EnterValue(dest, hex, dialect, true);
    }
    auto large = std::make_shared<TLargeValue>();
    large->Binary = true;
    large->Bytes = bytes;
    large->Form = TLargeValue::TForm::Hex;
    const TLiteralEnds ends = BinaryLiteralEnds(dialect.Engine);
    large->Prefix = ends.Prefix;
    large->Suffix = ends.Suffix;
    return {QString(), 0, {}, std::move(large)};
}

QString FillGenId(const QString& pattern, const QString& column, const QString& table) {
    QString text = pattern;
    const int first = text.indexOf("%s");
    if (first >= 0)
        text.replace(first, 2, column);
    const int second = text.indexOf("%s", first >= 0 ? first + column.size() : 0);
    if (second >= 0)
        text.replace(second, 2, table);
    return text;
}

QString GenIdText(const TDialect& dialect, const QString& pattern, const QString& column,
                  const QString& table) {
    if (dialect.Engine != TEngineKind::MariaDB)
        return FillGenId(pattern, column, table);
    // The aggregate keeps the derived table from being merged back into a subquery on the target.
    return QString("(SELECT COALESCE(MAX(KELVO_MAX), 0)+1 FROM (SELECT MAX(%1) AS KELVO_MAX FROM %2) AS "
                   "KELVO_GEN_ID)")
        .arg(column, table);
}
