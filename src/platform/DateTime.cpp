#include "platform/DateTime.h"

#include <cmath>

namespace {

constexpr qint64 kMsecsPerDay = 86400000;

std::function<double()>& TestClock() {
    static std::function<double()> clock;
    return clock;
}

} // namespace

QDate DaysEpoch() {
    return QDate(1899, 12, 30);
}

double DateToDays(const QDate& date) {
    return date.isValid() ? double(DaysEpoch().daysTo(date)) : 0.0;
}

double DateTimeToDays(const QDateTime& dt) {
    if (!dt.isValid())
        return 0.0;
    const double days = DateToDays(dt.date());
    const double fraction = double(dt.time().msecsSinceStartOfDay()) / double(kMsecsPerDay);
    return days < 0 ? days - fraction : days + fraction;
}

QDateTime DaysToDateTime(double days) {
    if (!std::isfinite(days) || std::fabs(days) > 1e9)
        return {};
    const double whole = std::trunc(days);
    qint64 msecs = std::llround(std::fabs(days - whole) * double(kMsecsPerDay));
    QDate date = DaysEpoch().addDays(qint64(whole));
    // A fraction that rounds up to a whole day is midnight of the next calendar day.
    if (msecs >= kMsecsPerDay) {
        msecs -= kMsecsPerDay;
        date = date.addDays(1);
    }
    return QDateTime(date, QTime::fromMSecsSinceStartOfDay(int(msecs)));
}

QString FormatHhNnSs(double days) {
    if (!std::isfinite(days))
        return "00:00:00";
    // Rounded to the millisecond first, so a difference of clock readings that is a hair under a
    // whole second still shows that second.
    const qint64 msecs = std::llround(std::fmod(std::fabs(days), 1.0) * double(kMsecsPerDay)) % kMsecsPerDay;
    const qint64 seconds = msecs / 1000;
    return QString("%1:%2:%3")
        .arg(seconds / 3600, 2, 10, QChar('0'))
        .arg(seconds / 60 % 60, 2, 10, QChar('0'))
        .arg(seconds % 60, 2, 10, QChar('0'));
}

double Now() {
    if (TestClock())
        return TestClock()();
    return DateTimeToDays(QDateTime::currentDateTime());
}

void SetClockForTests(std::function<double()> clock) {
    TestClock() = std::move(clock);
}
