#pragma once

#include <QDate>
#include <QDateTime>
#include <QString>
#include <functional>

// Date-time as a day count: whole days since 30 December 1899, the time of day as fraction. Before
// that day the count is negative; its whole part is still the day and its fraction the time of day
// (so 29 December 1899 06:00 is -1.25, not -0.75).

QDate DaysEpoch(); // 30 December 1899, day 0
// The wall-clock date and time of dt, whatever its time zone setting. An invalid value counts as 0.
double DateTimeToDays(const QDateTime& dt);
double DateToDays(const QDate& date);
// The wall-clock date-time, zone-less (as UTC), to the nearest millisecond. Invalid for a count that is not finite or beyond the
// calendar.
QDateTime DaysToDateTime(double days);
// "hh:nn:ss": two-digit hours, minutes and seconds of the time of day the count corresponds to, so a
// duration of 24 hours or more shows its remainder after whole days (25 hours shows "01:00:00").
QString FormatHhNnSs(double days);

// The local date and time as a day count, from the replaceable clock.
double Now();
// Tests replace the clock; an empty function restores the real one. Either makes the real clock ask
// the time zone again (it asks once a minute otherwise).
void SetClockForTests(std::function<double()> clock);
