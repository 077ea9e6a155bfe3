#include <QDate>
#include <gtest/gtest.h>

#include "platform/DateTime.h"
#include "transfer/ValueFormat.h"
#include "transfer/ValueRules.h"
#include "translations/Translate.h"

namespace {

// A source value with every reading given, as a column of the current row would give them.
struct TValue : TValueSource {
    TFieldType type = TFieldType::ftString;
    QString text;
    double number = 0;
    bool boolean = false;
    double days = 0;
    QString raw;
    TFieldType Type() const override { return type; }
    QString Text() const override { return text; }
    double Number() const override { return number; }
    bool Boolean() const override { return boolean; }
    double DateTime() const override { return days; }
    QString Raw() const override { return raw; }
};

TValue Decimal(double v) {
    TValue s;
    s.type = TFieldType::ftFloat;
    s.number = v;
    s.text = QString::number(v);
    return s;
}

TValue Text(const QString& t) {
    TValue s;
    s.text = t;
    return s;
}

const TColumnDesc IntDest{"N", TFieldType::ftInteger, 0};

TEST(ValueRules, IntegerDestinationsRoundHalvesToEven) {
    EXPECT_EQ(PlainValueText(IntDest, Decimal(2.5)), "2");
    EXPECT_EQ(PlainValueText(IntDest, Decimal(3.5)), "4");
    EXPECT_EQ(PlainValueText(IntDest, Decimal(-2.5)), "-2");
    EXPECT_EQ(PlainValueText(IntDest, Decimal(2.51)), "3");
    EXPECT_EQ(PlainValueText(IntDest, Decimal(-0.4)), "0");
    TValue flag;
    flag.type = TFieldType::ftBoolean;
    flag.boolean = true;
    EXPECT_EQ(PlainValueText(IntDest, flag), "1");
    EXPECT_EQ(PlainValueText(IntDest, Text("17")), "17");
    EXPECT_EQ(PlainValueText(IntDest, Text("")), ""); // NULL stays NULL
    EXPECT_EQ(PlainValueText(IntDest, Decimal(0)), "0");
}

TEST(ValueRules, BooleanAndDecimalDestinations) {
    const TColumnDesc boolDest{"B", TFieldType::ftBoolean, 0};
    const TColumnDesc decDest{"D", TFieldType::ftBCD, 2};
    TValue t;
    t.boolean = true;
    EXPECT_EQ(PlainValueText(boolDest, t), "1");
    EXPECT_EQ(PlainValueText(boolDest, Text("")), "0");
    EXPECT_EQ(PlainValueText(decDest, Decimal(1234.5)), "1234.5000");
    EXPECT_EQ(PlainValueText(decDest, Text("")), "0.0000");
    EXPECT_EQ(TranslationInputText(decDest, Decimal(12.5)), "12.5000");
    EXPECT_EQ(TranslationInputText(decDest, Text("12,5")), "12,5");
    EXPECT_EQ(TranslationInputText({"S", TFieldType::ftString, 5}, Decimal(12.5)), "12.5");
}

TEST(ValueRules, DatesOutsideTheBoundsFoldIntoTheTwentiethCentury) {
    const TColumnDesc dateDest{"D", TFieldType::ftDateTime, 0};
    auto at = [](QDate d, QTime t = QTime(0, 0)) {
        TValue s;
        s.type = TFieldType::ftDateTime;
        s.days = DateTimeToDays(QDateTime(d, t));
        s.text = "regional text";
        return s;
    };
    // Dates enter in ISO form whatever the regional text reads.
    EXPECT_EQ(PlainValueText(dateDest, at(QDate(2079, 1, 1))), "2079-01-01T00:00:00");
    EXPECT_EQ(PlainValueText(dateDest, at(QDate(2079, 1, 1), QTime(0, 0, 1))), "1979-01-01T00:00:00");
    EXPECT_EQ(PlainValueText(dateDest, at(QDate(1900, 1, 1))), "1900-01-01T00:00:00");
    EXPECT_EQ(PlainValueText(dateDest, at(QDate(1899, 12, 31))), "1999-12-31T00:00:00");
    EXPECT_EQ(PlainValueText(dateDest, at(QDate(2085, 3, 15))), "1985-03-15T00:00:00");
    EXPECT_EQ(PlainValueText({"D", TFieldType::ftDate, 0}, at(QDate(1850, 6, 2))), "1950-06-02");
    EXPECT_EQ(PlainValueText(dateDest, Text("")), ""); // NULL reads as day 0
}

TEST(ValueRules, OnlyCharacterDestinationsAreCutAndTheCutComesBeforeEscaping) {
    const TColumnDesc name{"NAME", TFieldType::ftString, 10};
    EXPECT_EQ(PlainValueText(name, Text("Kovač in sinovi d.o.o.")), "Kovač in s");
    // Ten characters ending in an apostrophe: escaping after the cut keeps the literal closed.
    const TStatementValue v = EnterValue(name, "abcdefghi'xyz");
    EXPECT_EQ(v.Text, "abcdefghi''");
    EXPECT_EQ(v.Kind, 1);
    EXPECT_EQ(EnterValue(name, "O'Neil").Text, "O''Neil");
    EXPECT_EQ(EnterValue({"Q", TFieldType::ftString, 40}, "He said \"hi\"").Text, "He said \"hi\"");

    // Large objects, large integers and time stamps keep their whole text.
    const QString longText(5000, 'x');
    EXPECT_EQ(PlainValueText({"M", TFieldType::ftMemo, 0}, Text(longText)), longText);
    EXPECT_EQ(PlainValueText({"L", TFieldType::ftLargeint, 0}, Text("9000000000")), "9000000000");
    TValue time = Text("13:45:10");
    time.raw = time.text;
    EXPECT_EQ(PlainValueText({"T", TFieldType::ftTime, 0}, time), "13:45:10");
    EXPECT_EQ(PlainValueText({"F", TFieldType::ftFixedChar, 2}, Text("abc")), "ab");
}

TEST(ValueRules, HowValuesEnterTheStatement) {
    EXPECT_EQ(EnterValue({"M", TFieldType::ftMemo, 0}, "it's long").Text, "it''s long");
    EXPECT_EQ(EnterValue({"M", TFieldType::ftMemo, 0}, "text").Kind, 1);
    EXPECT_EQ(EnterValue({"W", TFieldType::ftWideMemo, 0}, "x").Kind, 1);
    EXPECT_EQ(EnterValue({"TS", TFieldType::ftTimeStamp, 0}, "1.3.2024").Kind, 1);
    EXPECT_EQ(EnterValue({"L", TFieldType::ftLargeint, 0}, "9000000000").Kind, 0);
    EXPECT_EQ(EnterValue({"A", TFieldType::ftAutoInc, 0}, "5").Kind, 0);
    EXPECT_EQ(EnterValue({"D", TFieldType::ftDate, 0}, "1.3.2024").Kind, 1);
    EXPECT_EQ(EnterValue({"G", TFieldType::ftGuid, 38}, "{a'b}").Text, "{a''b}");
    EXPECT_EQ(EnterValue({"N", TFieldType::ftFloat, 0}, "1234.5000").Kind, 0);
    EXPECT_EQ(FillGenId("(SELECT MAX(%s)+1 FROM %s)", "ID", "CUSTOMER"), "(SELECT MAX(ID)+1 FROM CUSTOMER)");
    EXPECT_EQ(FillGenId(GenIdPattern, "ID", "CUSTOMER"), "(SELECT COALESCE(MAX(ID), 0)+1 FROM CUSTOMER)");
    EXPECT_EQ(EscapeQuotes("O'Neil's"), "O''Neil''s");
}

} // namespace
