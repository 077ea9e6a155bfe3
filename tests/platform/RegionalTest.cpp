#include <gtest/gtest.h>

#include "platform/Regional.h"

namespace {

class Regional : public ::testing::Test {
protected:
    ~Regional() override { ResetRegionalLocaleForTests(); }
};

TEST_F(Regional, FormatStringsAreWidenedAndLoseTheTimeZone) {
    EXPECT_EQ(WidenTwoDigitYear("dd.MM.yy"), "dd.MM.yyyy");
    EXPECT_EQ(WidenTwoDigitYear("d. MM. yyyy"), "d. MM. yyyy");
    EXPECT_EQ(WidenTwoDigitYear("'yy' M/d/yy"), "'yy' M/d/yyyy");
    EXPECT_EQ(WidenTwoDigitYear("d 'o''yy' yy"), "d 'o''yy' yyyy");
    EXPECT_EQ(DropTimeZone("HH:mm:ss t"), "HH:mm:ss");
    EXPECT_EQ(DropTimeZone("h:mm:ss AP t"), "h:mm:ss AP");
    EXPECT_EQ(DropTimeZone("HH:mm:ss (t)"), "HH:mm:ss");
    EXPECT_EQ(DropTimeZone("HH:mm:ss [tttt]"), "HH:mm:ss");
    EXPECT_EQ(DropTimeZone("t HH:mm"), "HH:mm");
    EXPECT_EQ(DropTimeZone("HH 'at' mm"), "HH 'at' mm");
}

TEST_F(Regional, SlovenianSettings) {
    SetRegionalLocaleForTests(QLocale("sl_SI"));
    EXPECT_EQ(ShortDateFormat(), WidenTwoDigitYear(QLocale("sl_SI").dateFormat(QLocale::ShortFormat)));
    EXPECT_FALSE(ShortDateFormat().contains("yyyyyy"));
    EXPECT_TRUE(ShortDateFormat().contains("yyyy"));
    EXPECT_FALSE(LongTimeFormat().contains('t'));
    EXPECT_EQ(DecimalSeparator(), ",");
    EXPECT_EQ(DateSeparator(), ".");
    EXPECT_EQ(TimeSeparator(), ":");

    const QDate date(2024, 3, 5);
    EXPECT_TRUE(FormatDisplayDate(date).endsWith("2024")) << FormatDisplayDate(date).toStdString();
    EXPECT_EQ(FormatDisplayDate(date), QLocale("sl_SI").toString(date, ShortDateFormat()));
    EXPECT_EQ(FormatDisplayTime(QTime(13, 45, 10)), "13:45:10");
    EXPECT_EQ(FormatDisplayDateTime(QDateTime(date, QTime(0, 0))), FormatDisplayDate(date));
    EXPECT_EQ(FormatDisplayDateTime(QDateTime(date, QTime(0, 0, 1))), FormatDisplayDate(date) + " 00:00:01");
    EXPECT_EQ(FormatDisplayDateTime(QDateTime(date, QTime(0, 0, 0, 500))),
              FormatDisplayDate(date) + " 00:00:00");
    EXPECT_EQ(FormatDisplayDateTime(QDateTime()), "");
    EXPECT_EQ(FormatDisplayDate(QDate()), "");

    EXPECT_EQ(FormatDisplayFloat(1.5), "1,5");
    EXPECT_EQ(FormatDisplayFloat(100), "100");
    EXPECT_EQ(FormatDisplayFloat(-2.25), "-2,25");
    EXPECT_EQ(FormatDisplayFloat(1234567.25), "1234567,25");
    EXPECT_EQ(FormatDisplayFloat(0.1 + 0.2), "0,3");
    EXPECT_EQ(FormatDisplayFloat(0.00001), "0,00001");
    EXPECT_EQ(FormatDisplayFloat(0.0000015), "1,5E-6");
    EXPECT_EQ(FormatDisplayFloat(999999999999999.0), "999999999999999");
    EXPECT_EQ(FormatDisplayFloat(1e15), "1E15");
    EXPECT_EQ(FormatDisplayFloat(1e20), "1E20");
    EXPECT_EQ(FormatDisplayFloat(123456789012345678.0), "1,23456789012346E17");
    EXPECT_EQ(FormatDisplayFloat(0.0), "0");
    EXPECT_EQ(FormatDisplayFloat(-0.0), "0");
    EXPECT_EQ(FormatDisplayFloat(1.0 / 3.0), "0,333333333333333");
}

TEST_F(Regional, TwoDigitYearsAreWidenedAndZonesDroppedFromTheLocale) {
    SetRegionalLocaleForTests(QLocale("en_US"));
    EXPECT_EQ(ShortDateFormat(), WidenTwoDigitYear(QLocale("en_US").dateFormat(QLocale::ShortFormat)));
    EXPECT_EQ(FormatDisplayDate(QDate(1999, 12, 31)), "12/31/1999");
    EXPECT_EQ(FormatDisplayTime(QTime(13, 45, 10)), "1:45:10 PM");
    EXPECT_EQ(FormatDisplayDateTime(QDateTime(QDate(2001, 2, 3), QTime(4, 5, 6))), "2/3/2001 4:05:06 AM");
    EXPECT_EQ(DecimalSeparator(), ".");
    EXPECT_EQ(DateSeparator(), "/");
    EXPECT_EQ(FormatDisplayFloat(1234.5), "1234.5");

    SetRegionalLocaleForTests(QLocale("hr_HR"));
    EXPECT_FALSE(LongTimeFormat().contains('t'));
    EXPECT_FALSE(LongTimeFormat().contains('('));
    EXPECT_EQ(FormatDisplayTime(QTime(7, 8, 9)), "07:08:09");

    ResetRegionalLocaleForTests();
    EXPECT_EQ(RegionalLocale(), QLocale::system());
}

} // namespace
