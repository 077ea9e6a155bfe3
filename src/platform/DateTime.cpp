#include "platform/DateTime.h"

#include <atomic>
#include <cmath>

namespace {

constexpr qint64 kMsecsPerDay = 86400000;

// Raised by SetClockForTests, so a test that changes the zone is seen at once.
std::atomic<int> zoneGeneration{0};

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
    // A day count is a wall-clock reading with no zone: as UTC it never falls into a daylight-saving
    // gap, and it costs no look at the time zone.
    return QDateTime(date, QTime::fromMSecsSinceStartOfDay(int(msecs)), Qt::UTC);
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
    // The zone's offset is asked once a minute per thread: asking reads /etc/localtime, and the
    // run asks the time at every row.
    thread_local qint64 offsetMs = 0;
    thread_local qint64 askedAt = 0;
    thread_local int askedIn = -1;
    const qint64 utcMs = QDateTime::currentMSecsSinceEpoch();
    const int generation = zoneGeneration.load(std::memory_order_relaxed);
    if (askedIn != generation || utcMs - askedAt >= 60000 || utcMs < askedAt) {
        offsetMs = qint64(QDateTime::fromMSecsSinceEpoch(utcMs).offsetFromUtc()) * 1000;
        askedAt = utcMs;
        askedIn = generation;
    }
    constexpr qint64 unixEpochDays = 25569; // 1970-01-01 counted from 1899-12-30
    const qint64 localMs = utcMs + offsetMs;
    const qint64 day = localMs >= 0 ? localMs / kMsecsPerDay : -((-localMs - 1) / kMsecsPerDay) - 1;
    return double(day + unixEpochDays) + double(localMs - day * kMsecsPerDay) / double(kMsecsPerDay);
}

void SetClockForTests(std::function<double()> clock) {
    TestClock() = std::move(clock);
    ++zoneGeneration;
}
