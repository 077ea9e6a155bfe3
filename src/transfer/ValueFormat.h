#pragma once

#include <QString>

// "0.0000" with '.' as the decimal point whatever the regional separator: 1234.5 gives 1234.5000.
QString FormatDecimal(double number);

// Doubles every apostrophe so the text stays one apostrophe-quoted SQL literal. Double quotes are left
// alone: inside such a literal they are ordinary characters.
QString EscapeQuotes(const QString& text);
