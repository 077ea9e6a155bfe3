#include "platform/IsoText.h"

namespace {

QChar At(QStringView s, qsizetype i) {
    return i < s.size() ? s[i] : QChar();
}

qsizetype Digits(QStringView s, qsizetype from, qsizetype most) {
    qsizetype n = 0;
    while (n < most && from + n < s.size() && s[from + n] >= '0' && s[from + n] <= '9')
        ++n;
    return n;
}

int Number(QStringView digits) {
    int n = 0;
    for (QChar c : digits)
        n = n * 10 + (c.unicode() - '0');
    return n;
}

// One or two digits followed by the separator, two when they stand; 0 when neither does.
qsizetype ShortField(QStringView s, qsizetype at, char separator) {
    if (Digits(s, at, 2) == 2 && At(s, at + 2) == separator)
        return 2;
    return Digits(s, at, 1) == 1 && At(s, at + 1) == separator ? 1 : 0;
}

bool ReadDate(QStringView s, qsizetype& i, TIsoParts& p) {
    if (Digits(s, i, 4) != 4 || At(s, i + 4) != '-')
        return false;
    const qsizetype m = i + 5;
    const qsizetype monthLength = ShortField(s, m, '-');
    const qsizetype d = m + monthLength + 1;
    const qsizetype dayLength = monthLength ? Digits(s, d, 2) : 0;
    if (!dayLength)
        return false;
    p.hasDate = true;
    p.year = Number(s.mid(i, 4));
    p.month = Number(s.mid(m, monthLength));
    p.day = Number(s.mid(d, dayLength));
    i = d + dayLength;
    return true;
}

void ReadTime(QStringView s, qsizetype i, TIsoParts& p) {
    const qsizetype hourLength = ShortField(s, i, ':');
    const qsizetype mm = i + hourLength + 1;
    if (!hourLength || Digits(s, mm, 2) != 2)
        return;
    p.hasTime = true;
    p.hour = Number(s.mid(i, hourLength));
    p.minuteText = s.mid(mm, 2);
    p.minute = Number(p.minuteText);
    const qsizetype ss = mm + 3;
    if (At(s, mm + 2) != ':' || Digits(s, ss, 2) != 2)
        return;
    p.secondText = s.mid(ss, 2);
    p.second = Number(p.secondText);
    const qsizetype f = ss + 3;
    if (At(s, ss + 2) == '.' || At(s, ss + 2) == ',')
        p.fraction = s.mid(f, Digits(s, f, s.size()));
}

} // namespace

TIsoParts ReadIsoText(QStringView s, TIsoForm form) {
    TIsoParts p;
    qsizetype i = 0;
    while (i < s.size() && (s[i] == ' ' || (s[i] >= '\t' && s[i] <= '\r')))
        ++i;
    if (form == TIsoForm::TimeOnly) {
        ReadTime(s, i, p);
        return p;
    }
    const bool date = ReadDate(s, i, p);
    if (form == TIsoForm::DateThenTime && !date)
        return p;
    const bool separated = At(s, i) == ' ' || At(s, i) == 'T';
    if (separated)
        ++i;
    if (separated || form == TIsoForm::DateOrTime)
        ReadTime(s, i, p);
    return p;
}
