#include <QDate>
#include <QRegularExpression>
#include <cmath>
#include <gtest/gtest.h>
#include <random>

#include "platform/DateTime.h"
#include "platform/IsoText.h"
#include "query/DatabaseValues.h"
#include "query/SqlLiteral.h"
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

TValue Raw(TFieldType type, const QString& raw, double number = 0) {
    TValue s;
    s.type = type;
    s.raw = raw;
    s.number = number;
    s.text = "regional " + raw; // never what a statement gets
    return s;
}

TEST(ValueRules, NumbersKeepEveryDigitTheDestinationHoldsAndNoValueTakesTheLocale) {
    using enum TFieldType;
    const TColumnDesc dec6{"D", ftBCD, 18, false, 6}, dec2{"D", ftBCD, 12, false, 2}, decAny{"D", ftBCD, 0},
        dbl{"F", ftFloat, 0}, text{"T", ftString, 40};
    const struct {
        TColumnDesc dest;
        TValue source;
        QString expected;
    } cases[] = {
        {dec6, Raw(ftBCD, "1.234567"), "1.234567"},
        {dec6, Raw(ftBCD, "0.000049"), "0.000049"},
        {dec6, Raw(ftBCD, "1234.5"), "1234.5000"}, // exact in today's form: kept
        {dec6, Raw(ftFloat, "1.2345000000000001e-05", 1.2345e-05), "0.000012"},
        {dec6, Raw(ftBCD, "9.9999995"), "10.0000"},
        {dec2, Raw(ftBCD, "1.234567"), "1.2346"}, // never fewer than four decimals
        {dec2, Raw(ftBCD, "-0.00001"), "0.0000"},
        {decAny, Raw(ftBCD, "1.23456789012"), "1.23456789012"},
        {decAny, Raw(ftLargeint, "9007199254740993"), "9007199254740993.0000"}, // beyond a double
        {decAny, Raw(ftString, " 4.9e-05 "), "0.000049"},
        {dbl, Raw(ftFloat, "1.2345e-05", 1.2345e-05), "1.2345e-05"},
        {dbl, Raw(ftFloat, "0.1", 0.1), "0.1000"},
        {dbl, Raw(ftFloat, "1e20", 1e20), "100000000000000000000.0000"},
        {dbl, Raw(ftBCD, "3.14159265358979"), "3.14159265358979"},
        {text, Raw(ftFloat, "1234.56", 1234.56), "1234.56"},
        {text, Raw(ftFloat, "1.2345e-05", 1.2345e-05), "0.000012345"},
        {text, Raw(ftFloat, "1.5e-07", 1.5e-07), "1.5E-7"},
        {text, Raw(ftBCD, "1234.5600"), "1234.56"},
        {text, Raw(ftDate, "2024-03-01", 45352), "2024-03-01"},
        {text, Raw(ftDateTime, "2024-03-01 13:45:10", 45352.5730324), "2024-03-01T13:45:10"},
        {text, Raw(ftTime, "13:45:10"), "13:45:10"},
        {text, Raw(ftDateTime, ""), ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(PlainValueText(c.dest, c.source), c.expected) << c.source.raw.toStdString();
    // Translations still look decimals up in the "0.0000" form.
    EXPECT_EQ(TranslationInputText(dec6, Raw(ftBCD, "1.234567", 1.234567)), "1.2346");
    for (const char* noNumber : {"", "-", ".", "1e", "1,5", "0x10", "1.2.3"})
        EXPECT_EQ(PlainDecimalText(QString(noNumber)), "") << noNumber;
    const std::pair<const char*, const char*> plain[] = {
        {"1.25", "1.25"}, {"5.0", "5"},       {"-0.0", "0"},   {"0.50", "0.5"},      {"007.5", "7.5"},
        {"-12", "-12"},   {"+3", "3"},        {"1e3", "1000"}, {"-.5", "-0.5"},      {"0", "0"},
        {"10", "10"},     {"100.000", "100"}, {"-0", "0"},     {"0.0001", "0.0001"}, {"12.", "12"}};
    for (const auto& [text, expected] : plain)
        EXPECT_EQ(PlainDecimalText(QString(text)), expected) << text;
}

// The engine's own text of an approximate number stands for its shortest text where that is provably the
// same: checked against the double's shortest text for the forms the engines write.
TEST(ValueRules, AnApproximateNumbersOwnTextIsTakenOnlyWhereItIsItsShortestText) {
    std::mt19937_64 random(7);
    int taken = 0;
    for (int i = 0; i < 20000; ++i) {
        const double v = std::ldexp(double(random() >> 11) / 9007199254740992.0, int(random() % 80) - 40) *
                         (i % 2 ? -1 : 1);
        for (const int digits : {3, 8, 15, 17}) {
            const QString text = QString::number(v, 'f', digits % 8 + (i % 7));
            const QString shortest = PlainDecimalText(ShortestNumberText(text.toDouble()));
            const QString own = ShortPlainNumberText(text);
            if (!own.isEmpty()) {
                ++taken;
                ASSERT_EQ(own, shortest) << qPrintable(text);
            }
            const QString g = QString::number(v, 'g', digits);
            const QString fromG = ShortPlainNumberText(g);
            if (!fromG.isEmpty()) {
                ASSERT_EQ(fromG, PlainDecimalText(ShortestNumberText(g.toDouble()))) << qPrintable(g);
            }
        }
    }
    EXPECT_GT(taken, 10000);
    // Too many digits, no plain form, zeros and far-off magnitudes go the long way.
    for (const char* text : {"0.30000000000000004", "1234567890123456", "1e5", "-0.0", "0", "0.000",
                             "0.00000000000000000000001", "+1.5", "1.5 ", ""})
        EXPECT_EQ(ShortPlainNumberText(QString(text)), "") << text;
    EXPECT_EQ(ShortPlainNumberText(QString("-12.50")), "-12.5");
    EXPECT_EQ(ShortPlainNumberText(QString("123456789012345")), "123456789012345");
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

TEST(ValueRules, EachDialectQuotesChecksAndWritesBytesItsOwnWay) {
    const TDialect plain{TEngineKind::SQLite, TBackslashes::Literal};
    const TDialect maria{TEngineKind::MariaDB, TBackslashes::Escape};
    const TDialect pgExport{TEngineKind::PostgreSQL, TBackslashes::Unknown};
    const TDialect mssql{TEngineKind::SqlServer, TBackslashes::Literal};
    const TDialect pgOn{TEngineKind::PostgreSQL, TBackslashes::Literal};
    const TDialect mariaNoEscapes{TEngineKind::MariaDB, TBackslashes::Literal};
    const TColumnDesc text{"T", TFieldType::ftString, 20}, integer{"I", TFieldType::ftInteger, 0},
        big{"L", TFieldType::ftLargeint, 0}, dec{"D", TFieldType::ftBCD, 12},
        flag{"B", TFieldType::ftBoolean, 0}, blob{"X", TFieldType::ftBlob, 0},
        unknown{"U", TFieldType::ftUnknown, 0};
    const struct {
        TColumnDesc dest;
        QString value;
        TDialect dialect;
        bool hex;
        QString text;
        int kind;
        QString refusal;
    } cases[] = {
        {text, "a\\'b", plain, false, "a\\''b", 1, ""},
        {text, "a\\'b", maria, false, "a\\\\''b", 1, ""},
        {text, " a\\ ", pgExport, false, "E'a\\\\'", 0, ""}, // read alike under either setting
        {text, "O'Neil", pgExport, false, "O''Neil", 1, ""},
        {text, "a\\", pgOn, false, "E'a\\\\'", 0, ""}, // a replay under standard_conforming_strings=off
        {text, "a\\", mariaNoEscapes, false, "_utf8mb4 X'615C'", 0, ""},
        {blob, QString(200000, 'F'), plain, true, "X'" + QString(200000, 'F') + "'", 0, ""},
        {text, QString("a") + QChar(0) + "b", plain, false, QString("a") + QChar(0) + "b", 1,
         "holds a NUL character, which no statement can carry"},
        {integer, " -17 ", plain, false, " -17 ", 0, ""},
        {integer, "17.0000", plain, false, "17.0000", 0, ""},
        {integer, "1); drop table V; --", maria, false, "1); drop table V; --", 1, "is not a whole number"},
        {big, "9e3", plain, false, "9e3", 1, "is not a whole number"},
        {dec, "-1.5e3", plain, false, "-1.5e3", 0, ""},
        {dec, "1,5", plain, false, "1,5", 1, "is not a number"},
        {dec, "nan", plain, false, "nan", 1, "is not a number"},
        {flag, "1", plain, false, "1", 0, ""},
        {flag, "1", pgExport, false, "true", 0, ""},
        {flag, "yes", plain, false, "yes", 1, "is not a boolean value"},
        {unknown, "{\"a\": 1}", plain, false, "{\"a\": 1}", 1, ""},
        {blob, "00FF", plain, true, "X'00FF'", 0, ""},
        {blob, "00FF", pgExport, true, "decode('00FF','hex')", 0, ""},
        {blob, "00FF", mssql, true, "0x00FF", 0, ""},
        {blob, "Ač", maria, false, "X'41C48D'", 0, ""}, // a text's UTF-8 bytes
        {blob, "0F'", plain, true, "0F''", 1, "is not a binary value"},
    };
    for (const auto& c : cases) {
        const TStatementValue v = EnterValue(c.dest, c.value, c.dialect, c.hex);
        EXPECT_EQ(v.Text, c.text) << c.value.toStdString();
        EXPECT_EQ(v.Kind, c.kind) << c.value.toStdString();
        EXPECT_EQ(v.Refusal, c.refusal) << c.value.toStdString();
    }
}

// A value too large for the statement's text is written, a part at a time, as the literal a short value
// of its kind gets: the short literal's body, repeated. An emoji lies across many part boundaries.
TEST(ValueRules, ALargeValueIsWrittenAsTheLiteralAShortOneGets) {
    const TColumnDesc memo{"T", TFieldType::ftMemo, 0, true}, blob{"X", TFieldType::ftBlob, 0};
    const struct {
        TColumnDesc dest;
        QString unit; // a text's, or
        QByteArray bytes;
        TDialect dialect;
    } cases[] = {
        {memo, "a'b\u00e8\U0001F600", {}, {TEngineKind::SQLite, TBackslashes::Literal}},
        {memo, "a'\\\U0001F600", {}, {TEngineKind::MariaDB, TBackslashes::Escape}},
        {memo, "a'\\\U0001F600", {}, {TEngineKind::MariaDB, TBackslashes::Literal}},
        {memo, "a'\\\U0001F600", {}, {TEngineKind::PostgreSQL, TBackslashes::Unknown}},
        {memo, "a'b", {}, {TEngineKind::PostgreSQL, TBackslashes::Literal}},
        {blob, {}, QByteArray("\x00\xff'", 3), {TEngineKind::PostgreSQL, TBackslashes::Literal}},
        {blob, {}, QByteArray("\x00\xff'", 3), {TEngineKind::SqlServer, TBackslashes::Literal}},
        {blob, {}, QByteArray("\x00\xff'", 3), {TEngineKind::MariaDB, TBackslashes::Escape}},
    };
    for (const auto& c : cases) {
        const bool binary = c.dest.Type == TFieldType::ftBlob;
        const QByteArray& unitBytes = c.bytes;
        const int times = int(LargeValueSize / (binary ? unitBytes.size() : c.unit.size())) + 1;
        const TStatementValue small =
            binary ? EnterBytes(c.dest, unitBytes, c.dialect) : EnterValue(c.dest, c.unit, c.dialect);
        const TStatementValue large = binary ? EnterBytes(c.dest, unitBytes.repeated(times), c.dialect)
                                             : EnterValue(c.dest, c.unit.repeated(times), c.dialect);
        ASSERT_TRUE(!small.Large && large.Large) << c.unit.toStdString();
        const QString shortLiteral = small.Kind == 1 ? "'" + small.Text + "'" : small.Text;
        const QString& prefix = large.Large->Prefix;
        const QString& suffix = large.Large->Suffix;
        ASSERT_TRUE(shortLiteral.startsWith(prefix) && shortLiteral.endsWith(suffix))
            << shortLiteral.toStdString();
        const QString body =
            shortLiteral.mid(prefix.size(), shortLiteral.size() - prefix.size() - suffix.size());
        const QStringList lines = ExpandedLines({"values ", "(1, ?, 2)"}, {{1, 4, large.Large}});
        EXPECT_EQ(lines[0], "values ");
        EXPECT_TRUE(lines[1] == "(1, " + prefix + body.repeated(times) + suffix + ", 2)")
            << shortLiteral.toStdString();
    }
}

TEST(ValueRules, CutsCountCharactersAndDatesAreIso) {
    const QString emoji = QString::fromUcs4(U"\U0001F600");
    EXPECT_EQ(CutToSize({"T", TFieldType::ftString, 3}, "ab" + emoji + "c"), "ab" + emoji);
    EXPECT_EQ(CutToSize({"T", TFieldType::ftString, 2}, "ab" + emoji), "ab");
    EXPECT_EQ(CutToSize({"T", TFieldType::ftString, 255, true}, QString(300, 'x')), QString(300, 'x'));
    const double day = DateTimeToDays(QDateTime(QDate(2024, 3, 5), QTime(13, 45, 10, 250)));
    EXPECT_EQ(IsoValueText(TFieldType::ftDateTime, day, "2024-03-05 13:45:10.123456"),
              "2024-03-05T13:45:10.123456");
    EXPECT_EQ(IsoValueText(TFieldType::ftDateTime, day, "5. 03. 2024 13:45:10"), "2024-03-05T13:45:10.25");
    EXPECT_EQ(IsoValueText(TFieldType::ftDate, day, "2024-03-05 13:45:10"), "2024-03-05");
    EXPECT_EQ(IsoValueText(TFieldType::ftTime, day, "13:45:10"), "13:45:10");
    EXPECT_EQ(IsoValueText(TFieldType::ftDateTime, day, "2024-03-05"), "2024-03-05T00:00:00");
}

// The engine's text is read by hand; the pattern it must agree with, on texts that test each step.
TEST(ValueRules, IsoTextsReadAsTheirPatternReadsThem) {
    static const QRegularExpression iso("^\\s*(?:([0-9]{4})-([0-9]{1,2})-([0-9]{1,2}))?[ T]?"
                                        "(?:([0-9]{1,2}):([0-9]{2})(?::([0-9]{2})(?:[.,]([0-9]+))?)?)?");
    auto pad = [](const QString& n, int w) { return QString("%1").arg(n.toInt(), w, 10, QChar('0')); };
    auto fraction = [](QString f) {
        while (f.endsWith('0'))
            f.chop(1);
        return f.isEmpty() ? f : '.' + f;
    };
    const double day = DateTimeToDays(QDateTime(QDate(2024, 3, 5), QTime(13, 45, 10, 250)));
    for (const QString raw : {"2024-3-5",
                              "2024-03-05T07:08",
                              " \t2024-12-31 23:59:59,5000",
                              "2024-123-05",
                              "2024-1-123",
                              "2024-01-",
                              "2024-01-5x",
                              "20240-01-05",
                              "7:05",
                              "123:45",
                              "12:345",
                              "12:34:5",
                              "12:34:56.",
                              "12:34:56.0700",
                              "2024-01-05  10:00",
                              "T10:00",
                              "x2024-01-05",
                              "",
                              "0000-00-00 00:00:00",
                              "2024-01-05T9:3"}) {
        const QRegularExpressionMatch m = iso.match(raw);
        QString date = m.capturedLength(1)
                           ? pad(m.captured(1), 4) + '-' + pad(m.captured(2), 2) + '-' + pad(m.captured(3), 2)
                           : "2024-03-05";
        QString time = m.capturedLength(4)
                           ? pad(m.captured(4), 2) + ':' + m.captured(5) + ':' +
                                 (m.captured(6).isEmpty() ? "00" : m.captured(6)) + fraction(m.captured(7))
                       : m.capturedLength(1) ? "00:00:00"
                                             : "13:45:10.25";
        EXPECT_EQ(IsoValueText(TFieldType::ftDateTime, day, raw), date + 'T' + time) << raw.toStdString();

        // The engines' date and time readers: a date that may carry a time, and a time alone.
        static const QRegularExpression dateThenTime(
            "^\\s*([0-9]{4})-([0-9]{1,2})-([0-9]{1,2})(?:[ "
            "T]([0-9]{1,2}):([0-9]{2})(?::([0-9]{2})(?:[.,]([0-9]+))?)?)?");
        static const QRegularExpression timeOnly(
            "^\\s*([0-9]{1,2}):([0-9]{2})(?::([0-9]{2})(?:[.,]([0-9]+))?)?");
        const QRegularExpressionMatch d = dateThenTime.match(raw), t = timeOnly.match(raw);
        const TIsoParts pd = ReadIsoText(raw, TIsoForm::DateThenTime),
                        pt = ReadIsoText(raw, TIsoForm::TimeOnly);
        EXPECT_EQ(QString("%1 %2-%3-%4 %5 %6:%7:%8.%9")
                      .arg(pd.hasDate)
                      .arg(pd.year)
                      .arg(pd.month)
                      .arg(pd.day)
                      .arg(pd.hasTime)
                      .arg(pd.hour)
                      .arg(pd.minute)
                      .arg(pd.second)
                      .arg(pd.fraction),
                  QString("%1 %2-%3-%4 %5 %6:%7:%8.%9")
                      .arg(d.hasMatch())
                      .arg(d.captured(1).toInt())
                      .arg(d.captured(2).toInt())
                      .arg(d.captured(3).toInt())
                      .arg(d.capturedLength(4) > 0)
                      .arg(d.captured(4).toInt())
                      .arg(d.captured(5).toInt())
                      .arg(d.captured(6).toInt())
                      .arg(d.captured(7)))
            << raw.toStdString();
        EXPECT_EQ(QString("%1 %2:%3:%4.%5")
                      .arg(pt.hasTime)
                      .arg(pt.hour)
                      .arg(pt.minute)
                      .arg(pt.second)
                      .arg(pt.fraction),
                  QString("%1 %2:%3:%4.%5")
                      .arg(t.hasMatch())
                      .arg(t.captured(1).toInt())
                      .arg(t.captured(2).toInt())
                      .arg(t.captured(3).toInt())
                      .arg(t.captured(4)))
            << raw.toStdString();
    }
}

TEST(ValueRules, EnginesAndTheirSettings) {
    EXPECT_EQ(EngineFromName("PostgreSQL Unicode"), TEngineKind::PostgreSQL);
    EXPECT_EQ(EngineFromName("/usr/lib/x86_64-linux-gnu/odbc/libmaodbc.so"), TEngineKind::MariaDB);
    EXPECT_EQ(EngineFromName("SQLite3"), TEngineKind::SQLite);
    EXPECT_EQ(EngineFromName("ODBC Driver 18 for SQL Server"), TEngineKind::SqlServer);
    EXPECT_EQ(EngineFromName("Oracle"), TEngineKind::Unknown);
    EXPECT_EQ(DialectFromSetting(TEngineKind::PostgreSQL, "off").Backslashes, TBackslashes::Escape);
    EXPECT_EQ(DialectFromSetting(TEngineKind::PostgreSQL, "on").Backslashes, TBackslashes::Literal);
    EXPECT_EQ(DialectFromSetting(TEngineKind::MariaDB, "STRICT_TRANS_TABLES").Backslashes,
              TBackslashes::Escape);
    EXPECT_EQ(DialectFromSetting(TEngineKind::MariaDB, "ANSI,NO_BACKSLASH_ESCAPES").Backslashes,
              TBackslashes::Literal);
    EXPECT_EQ(GenIdText({TEngineKind::PostgreSQL}, GenIdPattern, "ID", "C"),
              "(SELECT COALESCE(MAX(ID), 0)+1 FROM C)");
    EXPECT_EQ(
        GenIdText({TEngineKind::MariaDB}, GenIdPattern, "ID", "C"),
        "(SELECT COALESCE(MAX(KELVO_MAX), 0)+1 FROM (SELECT MAX(ID) AS KELVO_MAX FROM C) AS KELVO_GEN_ID)");
}

} // namespace

// Numbers are checked and read by hand; the patterns and the general reader they must agree with.
TEST(ValueRules, NumberTextsReadAsTheGeneralReaderReadsThem) {
    static const QRegularExpression whole("^[+-]?[0-9]+(\\.0*)?$");
    static const QRegularExpression number("^[+-]?([0-9]+\\.?[0-9]*|\\.[0-9]+)([eE][+-]?[0-9]+)?$");
    static const QRegularExpression flag("^([+-]?[0-9]+|true|false)$",
                                         QRegularExpression::CaseInsensitiveOption);
    const TColumnDesc integer{"I", TFieldType::ftInteger}, decimal{"F", TFieldType::ftFloat},
        boolean{"B", TFieldType::ftBoolean};
    // Separated by bars, so blanks and the empty text stand in the list.
    const QString texts =
        "0|-12|+7|12.|12.000|12.010|.5|-.5|5.|1e5|1E-5|1e|1e+|e5|+|-|.||1.2.3|--1|+-1|1-2|TRUE|False|truex|"
        "12a|１２|1e400|-0|00012.50|123456789012345678901234567890|4.9e-324|1e-400| 1|1 |0x1A|inf|-Inf|1,5";
    for (const QString& text : texts.split('|')) {
        EXPECT_EQ(UnquotedRefusal(integer, text).isEmpty(), whole.match(text).hasMatch())
            << text.toStdString();
        EXPECT_EQ(UnquotedRefusal(decimal, text).isEmpty(), number.match(text).hasMatch())
            << text.toStdString();
        EXPECT_EQ(UnquotedRefusal(boolean, text).isEmpty(), flag.match(text).hasMatch())
            << text.toStdString();

        bool ok = false;
        const double expected = text.trimmed().toDouble(&ok);
        if (ok)
            EXPECT_EQ(DatabaseValues::ReadFloat(TFieldType::ftFloat, text), expected) << text.toStdString();
        else
            EXPECT_THROW(DatabaseValues::ReadFloat(TFieldType::ftFloat, text), std::exception)
                << text.toStdString();
    }
}
