#include "transfer/ValueRules.h"

#include <QDate>
#include <cmath>

#include "platform/DateTime.h"
#include "transfer/ValueFormat.h"

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
static bool IsQuotedOther(TFieldType type) {
    return type == TFieldType::ftMemo || type == TFieldType::ftWideMemo || type == TFieldType::ftTimeStamp;
}

QString RoundToWhole(double number) {
    const double whole = std::nearbyint(number); // the default rounding mode sends halves to even
    if (whole == 0)
        return "0";
    return QString::number(whole, 'f', 0);
}

QString DateValueText(double days, const QString& sourceText) {
    if (days == 0)
        return QString();
    static const double lower = DateTimeToDays(QDateTime(QDate(1900, 1, 1), QTime(0, 0)));
    static const double upper = DateTimeToDays(QDateTime(QDate(2079, 1, 1), QTime(0, 0)));
    if (days >= lower && days <= upper)
        return sourceText;
    const QDate date = DaysToDateTime(days).date();
    return QString("%1.%2.19%3")
        .arg(date.day(), 2, 10, QChar('0'))
        .arg(date.month(), 2, 10, QChar('0'))
        .arg(std::abs(date.year()) % 100, 2, 10, QChar('0'));
}

QString CutToSize(const TColumnDesc& dest, const QString& text) {
    if (!IsSizedCharacter(dest.Type) || text.size() <= dest.Size)
        return text;
    return text.left(dest.Size);
}

QString PlainValueText(const TColumnDesc& dest, const TValueSource& source) {
    switch (ClassOf(dest.Type)) {
    case TValueClass::Integer: {
        const TValueClass from = ClassOf(source.Type());
        if (from == TValueClass::Decimal)
            return RoundToWhole(source.Number());
        if (from == TValueClass::Boolean)
            return source.Boolean() ? "1" : "0";
        return source.Text();
    }
    case TValueClass::Boolean:
        return source.Boolean() ? "1" : "0";
    case TValueClass::Decimal:
        return FormatDecimal(source.Number());
    case TValueClass::Date:
        return DateValueText(source.DateTime(), source.Text());
    default:
        return CutToSize(dest, source.Text());
    }
}

QString TranslationInputText(const TColumnDesc& dest, const TValueSource& source) {
    if (ClassOf(dest.Type) == TValueClass::Decimal && ClassOf(source.Type()) == TValueClass::Decimal)
        return FormatDecimal(source.Number());
    return source.Text();
}

TStatementValue EnterValue(const TColumnDesc& dest, const QString& valueText) {
    switch (ClassOf(dest.Type)) {
    case TValueClass::Character:
        // Cut first: a cut after escaping could split a doubled apostrophe and open the literal.
        return {EscapeQuotes(CutToSize(dest, valueText)), 1};
    case TValueClass::Date:
    case TValueClass::Time:
    case TValueClass::Fixed:
        return {EscapeQuotes(valueText), 1};
    case TValueClass::Other:
        if (IsQuotedOther(dest.Type))
            return {EscapeQuotes(valueText), 1};
        return {valueText, 0};
    default:
        return {valueText, 0};
    }
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
