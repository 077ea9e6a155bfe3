// Type mapping and value readings of every type class, on every engine.
#include <QLocale>

#include "platform/Regional.h"
#include <algorithm>
#include <gtest/gtest.h>
#include <optional>

#include "fixtures/Engines.h"
#include "fixtures/Printers.h"
#include "fixtures/TestEnv.h"
#include "query/Database.h"

namespace {

using enum TFieldType;
using std::nullopt;

// One column of the value row. A reading given as nullopt must raise a conversion error.
struct TExpected {
    const char* column;
    TFieldType type;
    int size;
    QString raw;
    QString display;
    std::optional<double> number;
    std::optional<qint64> integer;
    std::optional<bool> boolean;
    std::optional<double> dateTime;
};

constexpr double march15 = 45366;                                  // 2024-03-15 as a day count
constexpr double afternoon = (13 * 3600 + 45 * 60 + 10) / 86400.0; // 13:45:10

// The readings that every type shares on the test row.
std::vector<TExpected> CommonColumns() {
    return {
        {"sm", ftSmallint, 0, "-12", "-12", -12, -12, true, -12},
        {"i", ftInteger, 0, "123456", "123456", 123456, 123456, true, 123456},
        {"b", ftBoolean, 0, "1", "True", 1, 1, true, nullopt},
        {"f", ftFloat, 0, "1234567.25", "1234567,25", 1234567.25, 1234567, true, 1234567.25},
        {"c", ftCurrency, 0, "12.34", "12,34", 12.34, 12, true, 12.34},
        {"n", ftBCD, 10, "123.45", "123,45", 123.45, 123, true, 123.45},
        {"d", ftDate, 0, "2024-03-15", "15.03.2024", march15, 45366, true, march15},
        {"t", ftTime, 0, "13:45:10", "13:45:10", afternoon, 0, true, afternoon},
        {"dt", ftDateTime, 0, "2024-03-15 13:45:10", "15.03.2024 13:45:10", march15 + afternoon, 45366, true,
         march15 + afternoon},
        {"s", ftString, 20, "abc", "abc", nullopt, nullopt, nullopt, nullopt},
        {"li", ftLargeint, 0, "9000000000", "9000000000", 9e9, 9000000000LL, true, 9e9},
        {"m", ftMemo, 0, "memo text", "memo text", nullopt, nullopt, nullopt, nullopt},
    };
}

template <typename T, typename Read>
void ExpectReading(const std::optional<T>& expected, Read read, const char* col) {
    if (expected)
        EXPECT_DOUBLE_EQ(double(read()), double(*expected)) << col;
    else
        EXPECT_THROW(read(), EDatabaseError) << col;
}

void CheckValueRow(TQuery& q, const std::vector<TExpected>& columns) {
    for (const TExpected& e : columns) {
        SCOPED_TRACE(e.column);
        TField& f = q.FieldByName(e.column);
        EXPECT_STREQ(FieldTypeName(f.DataType), FieldTypeName(e.type)) << f.TypeName.toStdString();
        EXPECT_EQ(f.Size, e.size);
        EXPECT_FALSE(f.IsNull());
        if (e.type == ftGuid) // drivers differ in letter case
            EXPECT_EQ(f.RawText().toLower(), e.raw.toLower());
        else
            EXPECT_EQ(f.RawText(), e.raw);
        EXPECT_EQ(f.AsString(), e.type == ftGuid ? f.RawText() : e.display);
        ExpectReading(
            e.number, [&] { return f.AsFloat(); }, e.column);
        ExpectReading(
            e.integer, [&] { return f.AsInteger(); }, e.column);
        ExpectReading(
            e.boolean, [&] { return f.AsBoolean(); }, e.column);
        ExpectReading(
            e.dateTime, [&] { return f.AsDateTime(); }, e.column);
    }
}

void CheckNullRow(TQuery& q, const std::vector<TExpected>& columns) {
    for (const TExpected& e : columns) {
        SCOPED_TRACE(e.column);
        TField& f = q.FieldByName(e.column);
        EXPECT_TRUE(f.IsNull());
        EXPECT_EQ(f.AsString(), QString());
        EXPECT_EQ(f.RawText(), QString());
        EXPECT_EQ(f.AsFloat(), 0);
        EXPECT_EQ(f.AsInteger(), 0);
        EXPECT_FALSE(f.AsBoolean());
        EXPECT_EQ(f.AsDateTime(), 0);
    }
}

class DatabaseTypes : public TEngineTest {
protected:
    void SetUp() override {
        TEngineTest::SetUp();
        SetRegionalLocaleForTests(QLocale(QLocale::German, QLocale::Germany));
    }
    void TearDown() override {
        ResetRegionalLocaleForTests();
        TEngineTest::TearDown();
    }
};

// Per engine: the table of every type class it has, the value row, the readings beyond the common ones,
// and the column that orders the value row before the null row.
struct TEngineTypes {
    QString ddl, insert, nullRow, order;
    std::vector<TExpected> extra;
    int fieldCount;
    QString intTypeName;
};

TEngineTypes TypesOf(TEngine engine) {
    const TExpected guid{"g",     ftGuid,  38,     "a0eebc99-9c0b-4ef8-bb6d-6bb9bd380a11", "", nullopt,
                         nullopt, nullopt, nullopt};
    const TExpected day{"dm",  ftDateTime, 0,      "2024-03-15 00:00:00", "15.03.2024", march15,
                        45366, true,       march15};
    const TExpected blob{"bl", ftBlob, 0, "0102FF", "0102FF", nullopt, nullopt, nullopt, nullopt};
    const TExpected word{"w", ftWord, 0, "65000", "65000", 65000, 65000, true, 65000};
    switch (engine) {
    case TEngine::SQLite:
        return {
            "sm smallint, i integer, w unsigned smallint, b boolean, f double, c money, n decimal(10,2), "
            "d date, t time, dt datetime, dm datetime, s varchar(20), ws nvarchar(30), fc char(5), g uuid, "
            "li bigint, m text, wm ntext, bl blob, bn binary(8), sr integer primary key autoincrement",
            "(sm, i, w, b, f, c, n, d, t, dt, dm, s, ws, fc, g, li, m, wm, bl, bn) values (-12, 123456, "
            "65000, 1, 1234567.25, 12.34, 123.45, '2024-03-15', '13:45:10', '2024-03-15 13:45:10', "
            "'2024-03-15 00:00:00', 'abc', 'Ωmega', 'ab', 'a0eebc99-9c0b-4ef8-bb6d-6bb9bd380a11', "
            "9000000000, 'memo text', 'wide memo', x'0102ff', x'0a0b')",
            "(sm) values (null)",
            "sr",
            {word,
             day,
             {"ws", ftWideString, 30, "Ωmega", "Ωmega", nullopt, nullopt, nullopt, nullopt},
             {"fc", ftFixedChar, 5, "ab", "ab", nullopt, nullopt, nullopt, nullopt},
             guid,
             {"wm", ftWideMemo, 0, "wide memo", "wide memo", nullopt, nullopt, nullopt, nullopt},
             blob,
             {"bn", ftBytes, 8, "0A0B", "0A0B", nullopt, nullopt, nullopt, nullopt}},
            21,
            "INTEGER"};
    case TEngine::PostgreSQL:
        return {
            "sm smallint, i integer, b boolean, f double precision, c money, n numeric(10,2), d date, "
            "t time, dt timestamp, dm timestamp, s varchar(20), fc char(5), g uuid, li bigint, m text, "
            "bl bytea, sr serial",
            "(sm, i, b, f, c, n, d, t, dt, dm, s, fc, g, li, m, bl) values (-12, 123456, true, 1234567.25, "
            "12.34, 123.45, '2024-03-15', '13:45:10', '2024-03-15 13:45:10', '2024-03-15', 'abc', 'ab', "
            "'a0eebc99-9c0b-4ef8-bb6d-6bb9bd380a11', 9000000000, 'memo text', '\\x0102ff')",
            "(sm) values (null)",
            "sr",
            {day, {"fc", ftFixedChar, 5, "ab   ", "ab", nullopt, nullopt, nullopt, nullopt}, guid, blob},
            17,
            "int4"};
    case TEngine::MariaDB:
        return {
            "sm smallint, i integer, w smallint unsigned, b boolean, f double, c decimal(19,4), "
            "n decimal(10,2), d date, t time, dt datetime, dm datetime, s varchar(20), fc char(5), g uuid, "
            "li bigint, m text, bl blob, bn binary(8), sr integer auto_increment primary key",
            "(sm, i, w, b, f, c, n, d, t, dt, dm, s, fc, g, li, m, bl, bn) values (-12, 123456, 65000, true, "
            "1234567.25, 12.34, 123.45, '2024-03-15', '13:45:10', '2024-03-15 13:45:10', '2024-03-15', "
            "'abc', 'ab', 'a0eebc99-9c0b-4ef8-bb6d-6bb9bd380a11', 9000000000, 'memo text', x'0102ff', "
            "x'0a0b')",
            "(sm) values (null)",
            "sr",
            // No boolean (tinyint(1)), money (a decimal) or uuid type (char(36)) of its own; binary pads.
            {{"b", ftSmallint, 0, "1", "1", 1, 1, true, 1},
             {"c", ftBCD, 19, "12.3400", "12,34", 12.34, 12, true, 12.34},
             word,
             day,
             {"fc", ftFixedChar, 5, "ab", "ab", nullopt, nullopt, nullopt, nullopt},
             {"g", ftFixedChar, 36, guid.raw, guid.raw, nullopt, nullopt, nullopt, nullopt},
             blob,
             {"bn", ftBytes, 8, "0A0B000000000000", "0A0B000000000000", nullopt, nullopt, nullopt, nullopt}},
            19,
            "integer"};
    }
    return {};
}

TEST_P(DatabaseTypes, ReportsEveryTypeClassAndReadsValuesAndNulls) {
    const TEngineTypes types = TypesOf(Engine());
    auto db = OpenTestDatabase(Dsn(), "Types");
    db->ExecDirect("create table types (" + types.ddl + ")");
    db->ExecDirect("insert into types " + types.insert);
    db->ExecDirect("insert into types " + types.nullRow);

    // The engine's own reading of a column replaces the common one.
    std::vector<TExpected> columns = CommonColumns();
    for (const TExpected& e : types.extra) {
        auto same = std::find_if(columns.begin(), columns.end(),
                                 [&](const TExpected& c) { return QString(c.column) == e.column; });
        if (same != columns.end())
            *same = e;
        else
            columns.push_back(e);
    }

    TQuery q;
    q.DatabaseName = "Types";
    q.SQL << "select * from types order by " + types.order;
    q.Open();
    ASSERT_EQ(q.FieldCount(), types.fieldCount);
    EXPECT_EQ(q.FieldByName("i").TypeName, types.intTypeName);
    EXPECT_EQ(q.FieldByName("sr").DataType, ftAutoInc);
    EXPECT_EQ(q.FieldByName("sr").AsInteger(), 1);
    if (Is(TEngine::SQLite)) {
        EXPECT_EQ(q.FieldByName("fc").TypeName, "char"); // reported as VARCHAR: the name decided
    }
    CheckValueRow(q, columns);
    q.Next();
    ASSERT_FALSE(q.Eof());
    CheckNullRow(q, columns);
}

KELVO_ON_EVERY_ENGINE(DatabaseTypes);

} // namespace
