#pragma once

// Reading one column value of the current row whole, in as few calls as the driver allows. Drivers
// redo work on the whole value at every call (the SQLite driver converts all of it to UTF-16 again for
// each part), so a value read in parts of a fixed size costs time in the square of its size: the first
// call brings a part and the value's length, the second the rest in one piece.

#include <QByteArray>
#include <QString>

// Units the first call asks for: most values fit, and it is all a short value costs. A buffer kept
// with many others (rows read ahead) starts smaller, since each keeps its room.
inline constexpr qsizetype FirstReadPart = 4096;

// As UTF-16 (SQL_C_WCHAR), NUL characters inside kept as far as the driver's length reaches. Returns
// the ODBC return code of the failing call, or 0; null tells a NULL value (text is then empty).
short ReadWideText(void* stmt, unsigned short column, QString& text, bool& null,
                   qsizetype firstPart = FirstReadPart);

// As bytes: SQL_C_BINARY, or with utf8Text SQL_C_CHAR (which the caller knows to be UTF-8).
short ReadBytes(void* stmt, unsigned short column, bool utf8Text, QByteArray& bytes, bool& null,
                qsizetype firstPart = FirstReadPart);

// Narrow text read as UTF-8. A file engine keeps whatever bytes it was given as text: a byte that
// begins no valid sequence becomes the character of its Latin-1 code, so none is lost or merged. Into
// text, whose buffer is reused where it can be.
void TextOfUtf8(const QByteArray& bytes, QString& text);

// The bytes as upper-case hexadecimal digits, into hex (its buffer reused).
void HexDigits(const QByteArray& bytes, QString& hex);
