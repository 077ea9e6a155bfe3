#pragma once

#include <QString>

#include "query/Dialect.h"

// How a value stands in a statement's text: numbers with '.', quoted and escaped texts, binary
// literals. One home for every statement the program writes, sent, exported or kept.

// A number as a statement may carry it unquoted: [+-]?([0-9]+\.?[0-9]*|\.[0-9]+)([eE][+-]?[0-9]+)?
bool IsNumberText(const QString& text);

// Reads a text from its start: signs, digits, single characters; what the number checks are made of.
struct TNumberScan {
    const QChar* at;
    const QChar* end;
    explicit TNumberScan(const QString& text) : at(text.constData()), end(text.constData() + text.size()) {}
    bool Take(char c) {
        if (at == end || *at != QLatin1Char(c))
            return false;
        ++at;
        return true;
    }
    int Digits() {
        const QChar* from = at;
        while (at != end && at->unicode() >= '0' && at->unicode() <= '9')
            ++at;
        return int(at - from);
    }
    bool Sign() { return Take('+') || Take('-'); }
    bool Done() const { return at == end; }
};

// "0.0000" with '.' as the decimal point whatever the regional separator: 1234.5 gives 1234.5000.
QString FormatDecimal(double number);

// The shortest text that reads back as the same number ("1.2345e-05", "0.1"); "." always.
QString ShortestNumberText(double number);

// A number text ("-12.50", "1.2345e-05", "+.5") as plain decimal digits without exponent, leading or
// trailing zeros ("-12.5", "0.000012345", "0.5"); empty when the text is no number.
QString PlainDecimalText(QStringView text);

// The plain text of an approximate number the engine wrote as plain digits ("-12.50" gives "-12.5"), when
// it is the shortest text that reads back as its double (ShortestNumberText made plain); empty when that
// cannot be told from the text alone.
QString ShortPlainNumberText(const QString& text);

// A plain decimal text with at least four fraction digits and at most maxScale (never fewer than four),
// rounded half away from zero where digits go: "1.234567" gives 1.2346 (maxScale 4) or 1.234567 (6 or
// more); "7" gives 7.0000.
QString DecimalWithScale(const QString& plain, int maxScale);

// Doubles every apostrophe so the text stays one apostrophe-quoted SQL literal. Double quotes are left
// alone: inside such a literal they are ordinary characters.
QString EscapeQuotes(const QString& text);

// EscapeQuotes, and every backslash doubled where the engine reads (or may read) backslash escapes.
QString EscapeLiteral(const QString& text, TBackslashes backslashes);

// Bytes given as hexadecimal digits in the engine's binary literal: X'..' (SQLite, MariaDB and the
// standard), decode('..','hex') (PostgreSQL, alike under either standard_conforming_strings), 0x..
// (SQL Server).
QString BinaryLiteral(const QString& hex, TEngineKind engine);

// What stands before and after the digits of the engine's binary literal.
struct TLiteralEnds {
    const char* Prefix;
    const char* Suffix;
};
TLiteralEnds BinaryLiteralEnds(TEngineKind engine);
