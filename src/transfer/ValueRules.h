#pragma once

#include <QString>

#include "query/Database.h"

// How one source value becomes one value of an INSERT statement, rule by rule. Each rule takes a column
// description and a value, so it can be checked alone; the row copy only chains them.

enum class TValueClass { Integer, Boolean, Decimal, Date, Time, Character, Fixed, Other };

TValueClass ClassOf(TFieldType type);

// Destinations whose declared size is a length in characters; only these are cut to it.
bool IsSizedCharacter(TFieldType type);

struct TColumnDesc {
    QString Name;
    TFieldType Type = TFieldType::ftUnknown;
    int Size = 0;
};

// The readings of a source column's current value.
class TValueSource {
public:
    virtual ~TValueSource() = default;
    virtual TFieldType Type() const = 0;
    virtual QString Text() const = 0;    // display text; empty for NULL
    virtual double Number() const = 0;   // 0 for NULL
    virtual bool Boolean() const = 0;    // false for NULL
    virtual double DateTime() const = 0; // day count; 0 for NULL
};

// A field of the current row of a query.
class TFieldSource : public TValueSource {
public:
    explicit TFieldSource(const TField& field) : field_(field) {}
    TFieldType Type() const override { return field_.DataType; }
    QString Text() const override { return field_.AsString(); }
    double Number() const override { return field_.AsFloat(); }
    bool Boolean() const override { return field_.AsBoolean(); }
    double DateTime() const override { return field_.AsDateTime(); }

private:
    const TField& field_;
};

// The value text of a plain mapping line, by the destination's class.
QString PlainValueText(const TColumnDesc& dest, const TValueSource& source);

// The input text a translation receives for a destination.
QString TranslationInputText(const TColumnDesc& dest, const TValueSource& source);

// A number to the nearest whole number, halves to the even neighbour: 2.5 gives 2, 3.5 gives 4.
QString RoundToWhole(double number);

// Dates from 1 January 1900 up to 1 January 2079 00:00 pass as the source's text; others are folded
// into the twentieth century as DD.MM.19YY; 0 (also NULL) gives an empty text.
QString DateValueText(double days, const QString& sourceText);

// The value text cut to a character destination's declared size; every other destination gets the text
// whole.
QString CutToSize(const TColumnDesc& dest, const QString& text);

struct TStatementValue {
    QString Text;
    int Kind = 0; // 1: written between apostrophes
};

// How a value text enters the statement: character values cut then escaped, character-like values
// (dates, times, fixed, memos, time stamps) escaped, all of those quoted; numbers unquoted.
TStatementValue EnterValue(const TColumnDesc& dest, const QString& valueText);

// "(SELECT COALESCE(MAX(<column>), 0)+1 FROM <table>)" from the generated-identifier pattern.
QString FillGenId(const QString& pattern, const QString& column, const QString& table);
