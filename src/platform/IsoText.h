#pragma once

#include <QStringView>

// The ISO date and time a text starts with, read by hand: engines give every date of every row this
// way, and a pattern match per value costs more than the rest of the value. Digits are ASCII only.
// After optional blanks:
//   DateOrTime   "yyyy-m-d", then a blank or 'T', then "h:mm[:ss[.f]]", each part optional;
//   DateThenTime "yyyy-m-d", optionally followed by a blank or 'T' and "h:mm[:ss[.f]]";
//   TimeOnly     "h:mm[:ss[.f]]".
// A part that does not stand whole is absent; what follows the parts read is ignored.
enum class TIsoForm { DateOrTime, DateThenTime, TimeOnly };

struct TIsoParts {
    bool hasDate = false;
    int year = 0, month = 0, day = 0;
    bool hasTime = false;
    int hour = 0, minute = 0, second = 0;
    QStringView minuteText, secondText, fraction; // as written; secondText empty when absent
};

TIsoParts ReadIsoText(QStringView text, TIsoForm form);
