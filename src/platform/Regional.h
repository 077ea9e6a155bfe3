#pragma once

#include <QDate>
#include <QDateTime>
#include <QLocale>
#include <QString>
#include <QTime>

// Regional settings for values shown as text, from QLocale::system(); tests set the locale.
// Formats are Qt date-time patterns. The short date format is widened to a four-digit year, as a
// two-digit year would lose the century of every transferred date, and the time-zone part of the long
// time format is dropped, as no destination reads it. Numbers carry no group separators.

QLocale RegionalLocale();
void SetRegionalLocaleForTests(const QLocale& locale);
// Back to QLocale::system().
void ResetRegionalLocaleForTests();

// "yy" becomes "yyyy"; quoted text is left alone.
QString WidenTwoDigitYear(const QString& qtFormat);
// Removes the time-zone letters 't' with the blanks before them and brackets around them
// ("HH:mm:ss t" and "HH:mm:ss (t)" give "HH:mm:ss"); quoted text is left alone.
QString DropTimeZone(const QString& qtFormat);

QString ShortDateFormat();
QString LongTimeFormat();
QString DecimalSeparator();
// The first separator character of the short date format ("." for "d. MM. yyyy"); a blank when the
// format has only blanks between its parts.
QString DateSeparator();
QString TimeSeparator();

QString FormatDisplayDate(const QDate& date);
QString FormatDisplayTime(const QTime& time);
// Date, a blank and time; only the date when the time is exactly midnight. Empty when invalid.
QString FormatDisplayDateTime(const QDateTime& dt);
// Up to 15 significant digits without trailing zeros and the regional decimal separator, no group
// separators: 1.5 gives "1,5" in sl_SI, 100 gives "100". Values of 1E15 and more, or below 0.00001,
// are written with an exponent: "1E20", "1,5E-7". Not-a-number and infinities give "NAN", "INF",
// "-INF".
QString FormatDisplayFloat(double value);
// The same digits with "." as the decimal point, for text that must read alike on every desktop.
QString FormatPlainFloat(double value);
