#pragma once

#include <QString>

#include "query/Database.h"
#include "query/Dialect.h"
#include "query/LargeValue.h"
#include "query/SqlLiteral.h"

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
    bool Unbounded = false; // the driver's size is no real length (a varchar without one): never cut
    int Scale = -1;         // fraction digits an exact number column declares; -1 (or 0) where unknown
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
    virtual QString Raw() const = 0;     // as the engine gave it (ISO dates, hex bytes); empty for NULL
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
    QString Raw() const override { return field_.RawText(); }

private:
    const TField& field_;
};

// The value text of a plain mapping line, by the destination's class.
QString PlainValueText(const TColumnDesc& dest, const TValueSource& source);

// A decimal destination's value text: today's "0.0000" form while it holds the value exactly; more digits
// where the value has them, as the shortest text that reads back as the same number for an approximate
// column (float, real, double), up to the declared scale for an exact one (numeric, decimal).
QString DecimalValueText(const TColumnDesc& dest, const TValueSource& source);

// The source's value as text that reads alike on every desktop: dates and times in the ISO forms the
// date columns get, numbers with "."; any other value as its text. Empty for NULL.
QString LocaleFreeText(const TValueSource& source);

// The input text a translation receives for a destination.
QString TranslationInputText(const TColumnDesc& dest, const TValueSource& source);

// A number to the nearest whole number, halves to the even neighbour: 2.5 gives 2, 3.5 gives 4.
QString RoundToWhole(double number);

// A date, time or time stamp in the one form every engine reads alike, whatever its date-format setting
// and the desktop's: "YYYY-MM-DD" for a date destination, "HH:MM:SS" for a time, "YYYY-MM-DDTHH:MM:SS"
// for a date-time, seconds followed by their fraction only when the value has one. Taken from the
// engine's own text (raw) where that is ISO, from the day count otherwise.
QString IsoValueText(TFieldType destType, double days, const QString& raw);

// Dates from 1 January 1900 up to 1 January 2079 00:00 pass as their ISO text; others are folded into
// the twentieth century (day and month kept, year 19YY, at midnight); 0 (also NULL) gives an empty text.
QString DateValueText(TFieldType destType, double days, const QString& raw);

// The value text cut to a character destination's declared size in characters (a surrogate pair is one
// character and is never split); every other destination, and one without a real length, gets the text
// whole.
QString CutToSize(const TColumnDesc& dest, const QString& text);

// Why a text cannot stand unquoted as a literal of the destination's class ("is not a whole number");
// empty when it can.
QString UnquotedRefusal(const TColumnDesc& dest, const QString& text);

struct TStatementValue {
    QString Text;
    int Kind = 0; // 1: written between apostrophes
    // Not empty: the value cannot enter the statement safely (the reason); Text and Kind then hold it as
    // a quoted literal, for the record of the failed row.
    QString Refusal;
    // Set: a value too large for the statement's text (Text is empty), with the literal it stands for.
    TLargeValuePtr Large;
};

// A text as a quoted literal of the dialect.
TStatementValue QuotedValue(const QString& text, const TDialect& dialect);

// How a value text enters the statement: character values cut then escaped, character-like values
// (dates, times, fixed, memos, time stamps, types the layer does not know) escaped, all of those quoted;
// bytes in the engine's binary literal (hexText: the text is already the bytes in hex, as a binary
// source gives them; otherwise its UTF-8 bytes); numbers and booleans unquoted once they are checked to
// be literals of their class.
TStatementValue EnterValue(const TColumnDesc& dest, const QString& valueText, const TDialect& dialect = {},
                           bool hexText = false);

bool IsBinary(TFieldType type);

// A binary source's bytes for a binary destination, as EnterValue would take their hexadecimal text.
TStatementValue EnterBytes(const TColumnDesc& dest, const QByteArray& bytes, const TDialect& dialect);

// "(SELECT COALESCE(MAX(<column>), 0)+1 FROM <table>)" from the generated-identifier pattern.
QString FillGenId(const QString& pattern, const QString& column, const QString& table);
// The generated identifier for the dialect: the filled pattern, or for MariaDB, which takes no subquery
// on the table being inserted into, the maximum read through a derived table.
QString GenIdText(const TDialect& dialect, const QString& pattern, const QString& column,
                  const QString& table);
