#include <QDate>
#include <functional>
#include <gtest/gtest.h>

#include "fixtures/Engines.h"
#include "fixtures/ScriptedAnswerer.h"
#include "fixtures/TestEnv.h"
#include "platform/DateTime.h"
#include "platform/Regional.h"
#include "query/Database.h"

namespace {

// The message of the database error the action raises; empty when it raises none.
QString ErrorOf(const std::function<void()>& action) {
    try {
        action();
    } catch (const EDatabaseError& e) {
        return e.Message();
    }
    return {};
}

struct TExpected {
    const char* column;
    TFieldType type;
    int size;
};

void CheckTypes(const QString& dsn, const QString& ddl, const QString& values,
                const std::vector<TExpected>& expected) {
    SetRegionalLocaleForTests(QLocale("sl_SI"));
    ExecOn(dsn, "create table ALLTYPES (" + ddl + ");insert into ALLTYPES values (" + values + ")");
    auto db = OpenTestDatabase(dsn, "Types");
    TQuery q;
    q.DatabaseName = "Types";
    q.SQL << "select * from ALLTYPES";
    q.Open();
    ASSERT_FALSE(q.Eof());
    for (const TExpected& e : expected) {
        TField& f = q.FieldByName(e.column);
        EXPECT_EQ(FieldTypeName(f.DataType), std::string(FieldTypeName(e.type)))
            << e.column << " reported as " << f.TypeName.toStdString();
        EXPECT_EQ(f.Size, e.size) << e.column;
        EXPECT_FALSE(f.IsNull()) << e.column;
    }
    EXPECT_EQ(q.FieldByName("SI").AsInteger(), 12);
    EXPECT_EQ(q.FieldByName("I").AsString(), "123456");
    EXPECT_TRUE(q.FieldByName("B").AsBoolean());
    // MariaDB keeps a boolean in a tinyint, which reads as the number.
    EXPECT_EQ(q.FieldByName("B").AsString(),
              q.FieldByName("B").DataType == TFieldType::ftBoolean ? "True" : "1");
    EXPECT_DOUBLE_EQ(q.FieldByName("F").AsFloat(), 1234.5);
    EXPECT_EQ(q.FieldByName("F").AsString(), "1234,5"); // regional decimal comma, no grouping
    EXPECT_DOUBLE_EQ(q.FieldByName("N").AsFloat(), 3.5);
    EXPECT_EQ(q.FieldByName("N").AsString(), "3,5");
    EXPECT_DOUBLE_EQ(q.FieldByName("D").AsDateTime(), DateToDays(QDate(2024, 3, 1)));
    EXPECT_EQ(q.FieldByName("D").AsString(), FormatDisplayDate(QDate(2024, 3, 1)));
    EXPECT_EQ(q.FieldByName("TM").AsString(), FormatDisplayTime(QTime(13, 45, 10)));
    EXPECT_NEAR(q.FieldByName("DT").AsDateTime(),
                DateTimeToDays(QDateTime(QDate(2024, 3, 1), QTime(13, 45, 10))), 1e-9);
    EXPECT_EQ(q.FieldByName("S").AsString(), "Kovač");
    EXPECT_EQ(q.FieldByName("C").AsString().trimmed(), "ab");
    EXPECT_EQ(q.FieldByName("LI").AsInteger(), 9000000000LL);
    EXPECT_EQ(q.FieldByName("TX").AsString(), QString("dolgo besedilo ž ").repeated(500));
    q.Next();
    EXPECT_TRUE(q.Eof());
    ResetRegionalLocaleForTests();
}

void NullsAndUnicode(const QString& dsn) {
    ExecOn(dsn, "create table NULLS (I integer, F float, D date, S varchar(30), B boolean)");
    ExecOn(dsn, "insert into NULLS values (NULL, NULL, NULL, NULL, NULL)");
    const QString letters = "čšž ČŠŽ ђљњ Ωμέγα 漢字 עברית";
    ExecOn(dsn, "create table TEXTS (S varchar(60))");
    ExecOn(dsn, "insert into TEXTS values ('" + letters + "')");
    auto db = OpenTestDatabase(dsn, "Nulls");
    TQuery q;
    q.DatabaseName = "Nulls";
    q.SQL << "select * from NULLS";
    q.Open();
    for (int i = 0; i < q.FieldCount(); ++i) {
        TField& f = q.Fields(i);
        EXPECT_TRUE(f.IsNull()) << i;
        EXPECT_EQ(f.AsString(), "") << i;
        EXPECT_EQ(f.AsFloat(), 0) << i;
        EXPECT_EQ(f.AsInteger(), 0) << i;
        EXPECT_FALSE(f.AsBoolean()) << i;
        EXPECT_EQ(f.AsDateTime(), 0) << i;
    }
    q.Close();
    q.SQL.clear();
    q.SQL << "select S from TEXTS where S = '" + letters + "'";
    q.Open();
    ASSERT_FALSE(q.Eof());
    EXPECT_EQ(q.Fields(0).AsString(), letters);
}

void CursorAndErrors(const QString& dsn) {
    ExecOn(dsn, "create table ROWS3 (ID integer primary key, NAME varchar(10))");
    ExecOn(dsn, "insert into ROWS3 values (1, 'a');insert into ROWS3 values (2, 'b');insert into ROWS3 "
                "values (3, 'c')");
    auto db = OpenTestDatabase(dsn, "Cursor");
    db->Close();
    TQuery q;
    q.DatabaseName = "cursor"; // names match without regard to case; the closed connection opens on demand
    q.SQL << "select ID, NAME from ROWS3 where ID > :LOW"
          << "order by ID";
    ASSERT_EQ(q.Params().size(), 1u);
    q.Params()[0].Value = "1";
    q.Open();
    EXPECT_TRUE(db->Connected());
    EXPECT_TRUE(q.Active());
    EXPECT_TRUE(q.Bof());
    EXPECT_EQ(q.FieldByName("name").AsString(), "b");
    EXPECT_EQ(q.FindField("missing"), nullptr);
    EXPECT_THROW(q.FieldByName("missing"), EDatabaseError);
    q.Next();
    EXPECT_FALSE(q.Bof());
    EXPECT_FALSE(q.Eof());
    q.Last();
    EXPECT_TRUE(q.Eof());
    q.Close();
    q.Close(); // a closed query closes again without complaint
    EXPECT_FALSE(q.Active());

    q.SQL.clear();
    q.SQL << "select * from ROWS3 where ID > 10";
    q.Open();
    EXPECT_TRUE(q.Bof() && q.Eof());
    q.Close();

    q.SQL.clear();
    q.SQL << "select * from NO_SUCH_TABLE";
    try {
        q.Open();
        ADD_FAILURE() << "a missing table must fail";
    } catch (const EDatabaseError& e) {
        EXPECT_TRUE(e.Message().contains("NO_SUCH_TABLE", Qt::CaseInsensitive)) << e.Message().toStdString();
    }
    q.SQL.clear();
    q.SQL << "insert into ROWS3 values (1, 'dup')";
    try {
        q.ExecSQL();
        ADD_FAILURE() << "a duplicate key must fail";
    } catch (const EDatabaseError& e) {
        EXPECT_FALSE(e.Message().isEmpty());
    }
    q.SQL.clear();
    q.SQL << "update ROWS3 set NAME = 'x' where ID = 1";
    q.ExecSQL();
    EXPECT_THROW(q.Open(), EDatabaseError); // no result set
}

class DatabaseOn : public TEngineTest {};

// A statement's results after the first are read with it, so a failing later statement of a text is
// an error of the text. MariaDB's driver keeps its connection locked after such a text fails: the
// connection's calls all come from one thread, so the next ones still return.
TEST_P(DatabaseOn, TextsOfSeveralStatements) {
    ExecOn(Dsn(), "create table ROWS3 (ID integer primary key, NAME varchar(10))");
    ExecOn(Dsn(), "insert into ROWS3 values (1, 'a');insert into ROWS3 values (2, 'b')");
    auto db = OpenTestDatabase(Dsn(), "Batch");
    const QString both = "update ROWS3 set NAME = 'y' where ID = 1;update ROWS3 set NAME = 'z' where ID = 2";
    const QString laterFails = "update ROWS3 set NAME = 'w' where ID = 1;insert into ROWS3 values (1, 'dup')";
    TQuery q;
    q.DatabaseName = "Batch";
    for (const QString& text : {both, laterFails}) {
        q.SQL.clear();
        q.SQL << text;
        const QString viaQuery = ErrorOf([&] { q.ExecSQL(); });
        const QString direct = ErrorOf([&] { db->ExecDirect(text); });
        if (Is(TEngine::PostgreSQL)) {
            EXPECT_EQ(viaQuery.isEmpty(), text == both) << viaQuery.toStdString();
            EXPECT_EQ(direct.isEmpty(), text == both) << direct.toStdString();
        } else {
            // SQLite's driver takes one statement a text, and MariaDB's server one unless the data
            // source allows more: each says so.
            for (const QString& error : {viaQuery, direct})
                EXPECT_TRUE(error.contains(Is(TEngine::SQLite) ? "only one SQL statement" : "SQL syntax"))
                    << error.toStdString();
        }
    }
    // As a source: the first result's rows, or the driver's refusal.
    q.SQL.clear();
    q.SQL << "select NAME from ROWS3 where ID = 1;select NAME from ROWS3 where ID = 2";
    const QString source = ErrorOf([&] { q.Open(); });
    if (Is(TEngine::PostgreSQL))
        EXPECT_TRUE(source.isEmpty() && q.Fields(0).AsString() == "y") << source.toStdString();
    else
        EXPECT_FALSE(source.isEmpty());
    q.SQL.clear();
    q.SQL << "select NAME from ROWS3 order by ID";
    q.Open();
    QString names = q.Fields(0).AsString();
    q.Next();
    EXPECT_EQ(names + q.Fields(0).AsString(), Is(TEngine::PostgreSQL) ? "yz" : "ab");
}

TEST_P(DatabaseOn, TypeMapping) {
    using enum TFieldType;
    QString ddl = "SI smallint, I integer, B boolean, F " + Type("double") + ", M " + Type("money") +
                  ", N numeric(10,2), D date, TM time, DT " + Type("timestamp") +
                  ", S varchar(20), C char(5), G uuid, LI bigint, TX text, BL " + Type("blob");
    QString values = "12, 123456, true, 1234.5, 12.5, 3.5, '2024-03-01', '13:45:10', '2024-03-01 13:45:10', "
                     "'Kovač', 'ab', 'a0eebc99-9c0b-4ef8-bb6d-6bb9bd380a11', 9000000000, '" +
                     QString("dolgo besedilo ž ").repeated(500) + "', " +
                     Engines::BlobLiteral(Engine(), QByteArray::fromHex("00ff"));
    std::vector<TExpected> expected{{"SI", ftSmallint, 0}, {"I", ftInteger, 0},   {"B", ftBoolean, 0},
                                    {"F", ftFloat, 0},     {"M", ftCurrency, 0},  {"D", ftDate, 0},
                                    {"TM", ftTime, 0},     {"DT", ftDateTime, 0}, {"S", ftString, 20},
                                    {"C", ftFixedChar, 5}, {"G", ftGuid, 38},     {"LI", ftLargeint, 0},
                                    {"TX", ftMemo, 0},     {"BL", ftBlob, 0}};
    if (Is(TEngine::MariaDB)) { // boolean is tinyint(1), uuid is char(36), money is no type of its own
        expected[2].type = ftSmallint;
        expected[4] = {"M", ftBCD, 19};
        expected[10] = {"G", ftFixedChar, 36};
    }
    if (Is(TEngine::SQLite)) {
        ddl += ", WS nvarchar(20)";
        values += ", 'Šumi'";
        expected.push_back({"WS", ftWideString, 20});
    } else {
        ddl += ", ID " + Type("autoinc");
        values += ", default";
        expected.push_back({"ID", ftAutoInc, 0});
    }
    CheckTypes(Dsn(), ddl, values, expected);
}

TEST_P(DatabaseOn, NullsUnicodeCursorAndErrors) {
    NullsAndUnicode(Dsn());
    CursorAndErrors(Dsn());
}

// A result read in portions brings every row, in order, over several portions; on PostgreSQL through
// one cursor, while a statement beside it reads without one.
TEST_P(DatabaseOn, PortionsReadEveryRow) {
    ExecOn(Dsn(),
           "create table DIGIT (N integer);insert into DIGIT values (0),(1),(2),(3),(4),(5),(6),(7),(8),(9);"
           "create table MANY (N integer);"
           "insert into MANY select a.N * 1000 + b.N * 100 + c.N * 10 + d.N from DIGIT a, DIGIT b, "
           "DIGIT c, DIGIT d");
    auto db = OpenTestDatabase(Dsn(), "Portions");
    TQuery q;
    q.DatabaseName = "Portions";
    q.ReadInPortions = true;
    q.SQL << "select N from MANY order by N";
    q.Open();
    int rows = 0;
    for (; !q.Eof(); q.Next(), ++rows) {
        ASSERT_EQ(q.Fields(0).AsInteger(), rows);
        if (rows == 2500 && Is(TEngine::PostgreSQL)) {
            TQuery cursors;
            cursors.DatabaseName = "Portions";
            cursors.SQL << "select count(*) from pg_cursors";
            cursors.Open();
            EXPECT_EQ(cursors.Fields(0).AsInteger(), 1);
        }
    }
    EXPECT_EQ(rows, 10000);
}

// Rows read ahead arrive whole and in order over many portions, with values longer than a read-ahead
// buffer's first part and than a portion's byte cap; a query closed with a portion on its way leaves its
// connection free for a started statement.
TEST_P(DatabaseOn, RowsReadAheadArriveWholeAndInOrder) {
    const QString longText(300, 'l'), hugeText(1200000, 'h');
    ExecOn(Dsn(),
           "create table DIGIT (N integer);insert into DIGIT values (0),(1),(2),(3),(4),(5),(6),(7),(8),(9);"
           "create table MANY (N integer, T " +
               Type("memo") +
               ");"
               "insert into MANY select a.N * 100 + b.N * 10 + c.N, NULL from DIGIT a, DIGIT b, DIGIT c;"
               "update MANY set T = '" +
               longText +
               "' where N = 7;"
               "update MANY set T = '" +
               hugeText + "' where N in (300, 301)");
    auto db = OpenTestDatabase(Dsn(), "Ahead");
    const auto read = [](int stopAt) {
        TQuery q;
        q.DatabaseName = "Ahead";
        q.ReadInPortions = q.ReadAhead = true;
        q.SQL << "select N, T from MANY order by N";
        q.Open();
        int rows = 0;
        for (; !q.Eof() && rows != stopAt; q.Next(), ++rows) {
            EXPECT_EQ(q.Fields(0).AsInteger(), rows);
            const QString expected = rows == 7                    ? QString(300, 'l')
                                     : rows == 300 || rows == 301 ? QString(1200000, 'h')
                                                                  : QString();
            EXPECT_EQ(q.Fields(1).RawText(), expected) << rows;
        }
        return rows;
    };
    EXPECT_EQ(read(-1), 1000);
    EXPECT_EQ(read(100), 100); // closed with the next portion on its way
    TQuery started;
    started.DatabaseName = "Ahead";
    started.SQL << "insert into MANY values (-1, NULL)";
    started.StartExecSQL();
    started.FinishExecSQL();
    EXPECT_EQ(QueryRows("Ahead", "select count(*) from MANY"), QStringList{"1001"});
}

// Letters of several scripts and characters beyond the basic plane (which the driver manager cannot
// pass to a driver without wide-character entry points) arrive by every way a statement is sent, and
// read back whole.
TEST_P(DatabaseOn, EveryCharacterArrivesAndReadsBack) {
    const QString text = "čŠž Ωμέγα 漢字 עברית 😀 𝄞 👍🏽";
    ExecOn(Dsn(), "create table CHARS (ID integer, S varchar(60), T " + Type("memo") + ")");
    auto db = OpenTestDatabase(Dsn(), "Chars");
    db->ExecDirect("insert into CHARS values (1, '" + text + "', '" + text + "')");
    TQuery q;
    q.DatabaseName = "Chars";
    q.SQL << "insert into CHARS values (2, '" + text + "', '" + text + "')";
    q.ExecSQL();
    q.SQL = QStringList{"insert into CHARS values (3, :S, :T)"};
    for (TParam& p : q.Params())
        p.Value = text;
    q.ExecSQL();
    q.SQL = QStringList{"select ID, S, T from CHARS where S = '" + text + "' order by ID"};
    QStringList rows;
    for (q.Open(); !q.Eof(); q.Next())
        rows << q.Fields(0).AsString() + '|' + q.Fields(1).AsString() + '|' + q.Fields(2).AsString();
    EXPECT_EQ(rows,
              QStringList({"1|" + text + '|' + text, "2|" + text + '|' + text, "3|" + text + '|' + text}));
}

KELVO_ON_EVERY_ENGINE(DatabaseOn);

TEST(DatabaseLogin, PromptIsAnsweredOrCancelled) {
    TestEnv::ResetSqlite("KelvoLite");
    TDatabase db;
    db.DatabaseName = "Prompted";
    db.AliasName = "KelvoLite";
    db.LoginPrompt = true;
    {
        TScriptedAnswerer answers;
        answers.AnswerLogin(std::nullopt);
        EXPECT_THROW(db.Open(), EDatabaseError);
        EXPECT_FALSE(db.Connected());
        EXPECT_EQ(answers.AskedTexts(), QStringList{"KelvoLite"});
    }
    {
        TScriptedAnswerer answers;
        answers.AnswerLogin(std::pair<QString, QString>("ana", "geslo;{x}"));
        db.Open();
        EXPECT_TRUE(db.Connected());
        db.Open(); // already open: nothing asked again
    }
    TDatabase bad;
    bad.DatabaseName = "Bad";
    bad.AliasName = "NoSuchDataSource";
    try {
        bad.Open();
        ADD_FAILURE() << "an unknown data source must fail";
    } catch (const EDatabaseError& e) {
        EXPECT_FALSE(e.Message().isEmpty());
    }
}

} // namespace
