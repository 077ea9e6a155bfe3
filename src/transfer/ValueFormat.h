#pragma once

#include <QString>

#include "query/Dialect.h"

// "0.0000" with '.' as the decimal point whatever the regional separator: 1234.5 gives 1234.5000.
QString FormatDecimal(double number);

// Doubles every apostrophe so the text stays one apostrophe-quoted SQL literal. Double quotes are left
// alone: inside such a literal they are ordinary characters.
QString EscapeQuotes(const QString& text);

// EscapeQuotes, and every backslash doubled where the engine reads (or may read) backslash escapes.
QString EscapeLiteral(const QString& text, TBackslashes backslashes);

// Bytes given as hexadecimal digits in the engine's binary literal: X'..' (SQLite, MariaDB and the
// standard), decode('..','hex') (PostgreSQL, alike under either standard_conforming_strings), 0x..
// (SQL Server).
QString BinaryLiteral(const QString& hex, TEngineKind engine);
