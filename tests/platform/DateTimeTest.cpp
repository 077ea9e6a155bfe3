#include <gtest/gtest.h>

#include <cmath>
#include <ctime>

#include "platform/DateTime.h"

namespace {

QDateTime At(int y, int m, int d, int h = 0, int n = 0, int s = 0, int ms = 0) {
    return QDateTime(QDate(y, m, d), QTime(h, n, s, ms), Qt::UTC);
}

// The desktop's zone at its daylight-saving change: a wall-clock reading in the skipped hour stays as
// it was, and Now() is the local time.
TEST(DateTime, DayCountsIgnoreTheDesktopsDaylightSavingGap) {
    const QByteArray zone = qgetenv("TZ");
    qputenv("TZ", "Europe/Ljubljana");
    tzset();
    SetClockForTests({});
    const double inTheGap = DateToDays(QDate(2024, 3, 31)) + 2.5 / 24;
    EXPECT_EQ(DaysToDateTime(inTheGap).toString("yyyy-MM-dd hh:mm"), "2024-03-31 02:30");
    const QDateTime local = QDateTime::currentDateTime();
    EXPECT_NEAR(Now(), DateTimeToDays(local), 2.0 / 86400);
    if (zone.isEmpty())
        qunsetenv("TZ");
    else
        qputenv("TZ", zone);
    tzset();
    SetClockForTests({});
}

TEST(DateTime, DayCountsOfKnownMoments) {
    EXPECT_DOUBLE_EQ(DateTimeToDays(At(1899, 12, 30)), 0.0);
    EXPECT_DOUBLE_EQ(DateTimeToDays(At(1900, 1, 1)), 2.0);
    EXPECT_DOUBLE_EQ(DateTimeToDays(At(2000, 1, 1)), 36526.0);
    EXPECT_DOUBLE_EQ(DateTimeToDays(At(2000, 1, 1, 12)), 36526.5);
    EXPECT_DOUBLE_EQ(DateTimeToDays(At(2000, 1, 1, 6)), 36526.25);
    EXPECT_DOUBLE_EQ(DateTimeToDays(At(2000, 1, 1, 18)), 36526.75);
    // Before the epoch the whole part is the day and the fraction still the time of day.
    EXPECT_DOUBLE_EQ(DateTimeToDays(At(1899, 12, 29, 6)), -1.25);
    EXPECT_DOUBLE_EQ(DateTimeToDays(At(1899, 12, 29)), -1.0);
    EXPECT_DOUBLE_EQ(DateToDays(QDate(2079, 1, 1)), 65381.0);
    EXPECT_DOUBLE_EQ(DateTimeToDays(QDateTime()), 0.0);

    EXPECT_EQ(DaysToDateTime(0), At(1899, 12, 30));
    EXPECT_EQ(DaysToDateTime(36526.75), At(2000, 1, 1, 18));
    EXPECT_EQ(DaysToDateTime(-1.25), At(1899, 12, 29, 6));
    EXPECT_EQ(DaysToDateTime(-0.5), At(1899, 12, 30, 12));
    // A fraction a hair below a whole day is midnight of the next day, not 24:00.
    EXPECT_EQ(DaysToDateTime(36526.9999999999), At(2000, 1, 2));
    EXPECT_FALSE(DaysToDateTime(std::nan("")).isValid());
    EXPECT_FALSE(DaysToDateTime(INFINITY).isValid());

    for (const QDateTime& dt :
         {At(2024, 2, 29, 23, 59, 59, 999), At(1850, 6, 2, 1, 2, 3, 4), At(1899, 12, 30, 0, 0, 1)})
        EXPECT_EQ(DaysToDateTime(DateTimeToDays(dt)), dt) << dt.toString().toStdString();
}

TEST(DateTime, HhNnSsWrapsAfterADay) {
    const double hour = 1.0 / 24;
    const double second = 1.0 / 86400;
    EXPECT_EQ(FormatHhNnSs(0), "00:00:00");
    EXPECT_EQ(FormatHhNnSs(13 * hour + 5 * second), "13:00:05");
    EXPECT_EQ(FormatHhNnSs(1 - second), "23:59:59");
    EXPECT_EQ(FormatHhNnSs(25 * hour), "01:00:00");
    EXPECT_EQ(FormatHhNnSs(49 * hour + 61 * second), "01:01:01");
    EXPECT_EQ(FormatHhNnSs(DateTimeToDays(At(2024, 5, 6, 14, 30, 15))), "14:30:15");
    // A difference of two clock readings a hair under a second still shows the second.
    EXPECT_EQ(FormatHhNnSs((36526 + second) - 36526), "00:00:01");
    EXPECT_EQ(FormatHhNnSs(-0.25), "06:00:00");
}

TEST(DateTime, ClockCanBeReplacedAndRestored) {
    double fake = 36526.5;
    SetClockForTests([&] { return fake; });
    EXPECT_DOUBLE_EQ(Now(), 36526.5);
    fake += 25.0 / 24;
    EXPECT_EQ(FormatHhNnSs(Now() - 36526.5), "01:00:00");

    SetClockForTests({});
    const double before = DateTimeToDays(QDateTime::currentDateTime());
    const double now = Now();
    const double after = DateTimeToDays(QDateTime::currentDateTime());
    EXPECT_LE(before, now);
    EXPECT_LE(now, after);
}

} // namespace
