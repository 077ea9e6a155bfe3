// Connections, login, errors, the forward cursor, parameters and text fidelity on every engine.
#include <QLocale>

#include "platform/Regional.h"
#include <clocale>
#include <gtest/gtest.h>
#include <string>

#include "fixtures/Engines.h"
#include "fixtures/Printers.h"
#include "fixtures/ScriptedAnswerer.h"
#include "fixtures/TestEnv.h"
#include "query/Database.h"

namespace {

QString ErrorOf(const std::function<void()>& action) {
    try {
        action();
    } catch (const EDatabaseError& e) {
        return e.Message();
    }
    ADD_FAILURE() << "no EDatabaseError was raised";
    return {};
}

std::unique_ptr<TQuery> Query(const QString& databaseName, const QString& sql) {
    auto q = std::make_unique<TQuery>();
    q->DatabaseName = databaseName;
    q->SQL = sql.split('\n');
    return q;
}

// Records the user name the login prompt was opened with.
class TLoginRecorder : public TScriptedAnswerer {
public:
    bool Login(const QString& dataSource, QString& userName, QString& password) override {
        offeredUser = userName;
        return TScriptedAnswerer::Login(dataSource, userName, password);
    }
    QString offeredUser;
};

const QString letters = QStringLiteral("čšž ČŠŽ Привет Ωμέγα 日本語");

void CheckTextRoundTrip(const QString& dsn, const QString& memoType) {
    auto db = OpenTestDatabase(dsn, "Text");
    db->ExecDirect("create table u (s varchar(100), m " + memoType + ")");
    QString longText;
    for (int i = 0; i < 1500; ++i) // well past one read chunk
        longText += letters + QString::number(i);
    db->ExecDirect("insert into u values ('" + letters + "', '" + longText + "')");

    auto q = Query("Text", "select s, m from u where s = :S");
    ASSERT_EQ(q->Params().size(), 1u);
    q->Params()[0].Value = letters;
    q->Open();
    ASSERT_FALSE(q->Eof());
    EXPECT_EQ(q->FieldByName("s").AsString(), letters);
    EXPECT_EQ(q->FieldByName("m").RawText().size(), longText.size());
    EXPECT_EQ(q->FieldByName("m").AsString(), longText);
}

class DatabaseConnectionOn : public TEngineTest {};

TEST_P(DatabaseConnectionOn, TextWithNonAsciiLettersRoundTripsUnchanged) {
    CheckTextRoundTrip(Dsn(), Type("memo"));
}

TEST(Database, TextSurvivesAProcessLocaleThatIsNotUtf8) {
    TestEnv::ResetSqlite("KelvoLite2");
    const std::string saved = std::setlocale(LC_CTYPE, nullptr);
    std::setlocale(LC_CTYPE, "C");
    QString read;
    try {
        auto db = OpenTestDatabase("KelvoLite2", "Ascii");
        db->ExecDirect("create table u (s varchar(100))");
        db->ExecDirect("insert into u values ('" + letters + "')");
        auto q = Query("Ascii", "select s from u");
        q->Open();
        read = q->Fields(0).AsString();
    } catch (...) {
        std::setlocale(LC_CTYPE, saved.c_str());
        throw;
    }
    std::setlocale(LC_CTYPE, saved.c_str());
    EXPECT_EQ(read, letters);
}

TEST(Database, SqliteTextBytesThatAreNoUtf8KeepEveryByteAsACharacter) {
    TestEnv::ResetSqlite("KelvoLite2");
    auto db = OpenTestDatabase("KelvoLite2", "Bytes");
    db->ExecDirect("create table u (n integer, s text)");
    const struct {
        const char* hex;
        QString text;
    } cases[] = {
        {"41C48D42", QStringLiteral("AčB")},                        // valid: as it was
        {"41C32842", QStringLiteral("A\u00C3(B")},                  // a lead byte without its continuation
        {"FF41E8", QStringLiteral("\u00FFA\u00E8")},                // single bytes of a Latin-1 text
        {"C080F09F9880", QStringLiteral("\u00C0\u0080\U0001F600")}, // an overlong form before an emoji
        {"41F09F98", QStringLiteral("A\u00F0\u009F\u0098")},        // a sequence cut at the end
    };
    int n = 0;
    for (const auto& c : cases)
        db->ExecDirect(QString("insert into u values (%1, cast(X'%2' as text))").arg(++n).arg(c.hex));
    auto q = Query("Bytes", "select s from u order by n");
    q->Open();
    for (const auto& c : cases) {
        ASSERT_FALSE(q->Eof()) << c.hex;
        EXPECT_EQ(q->Fields(0).AsString(), c.text) << c.hex;
        q->Next();
    }
}

// What each engine says about a syntax error, a missing table and a duplicate key.
struct TEngineErrors {
    QString syntax, missingTable, duplicateKey;
};

TEngineErrors ErrorsOf(TEngine engine) {
    switch (engine) {
    case TEngine::SQLite:
        return {"syntax error", "no such table: nosuch", "UNIQUE constraint failed"};
    case TEngine::PostgreSQL:
        return {"syntax error at or near \"selec\"", "relation \"nosuch\" does not exist",
                "duplicate key value violates unique constraint"};
    case TEngine::MariaDB:
        return {"You have an error in your SQL syntax", ".nosuch' doesn't exist", "Duplicate entry '1'"};
    }
    return {};
}

TEST_P(DatabaseConnectionOn, ErrorsCarryTheEnginesMessage) {
    const TEngineErrors says = ErrorsOf(Engine());
    auto db = OpenTestDatabase(Dsn(), "Engine");
    auto q = Query("Engine", "selec 1");
    EXPECT_TRUE(ErrorOf([&] { q->Open(); }).contains(says.syntax));
    EXPECT_FALSE(q->Active());
    q->SQL = QStringList{"select * from nosuch"};
    EXPECT_TRUE(ErrorOf([&] { q->Open(); }).contains(says.missingTable));
    EXPECT_TRUE(ErrorOf([&] { q->ExecSQL(); }).contains(says.missingTable));
    EXPECT_TRUE(ErrorOf([&] { db->ExecDirect("insert into nosuch values (1)"); }).contains("nosuch"));

    // A statement without result set runs, then Open says why it cannot stand on a row.
    q->SQL = QStringList{"create table made (k int primary key)"};
    EXPECT_EQ(ErrorOf([&] { q->Open(); }), "The statement returned no result set.");
    db->ExecDirect("insert into made values (1)");
    q->SQL = QStringList{"insert into made values (1)"};
    const QString duplicate = ErrorOf([&] { q->ExecSQL(); });
    EXPECT_TRUE(duplicate.contains(says.duplicateKey)) << duplicate.toStdString();
    // The error left the statement handle usable.
    q->SQL = QStringList{"select count(*) as n from made"};
    q->Open();
    EXPECT_EQ(q->FieldByName("N").AsInteger(), 1);
}

TEST(Database, UnknownDataSourcesAndConnectionNamesAreRefused) {
    TDatabase missing;
    missing.DatabaseName = "Missing";
    missing.AliasName = "NoSuchDsn";
    // The engine's text, and what it leaves out: which data source, where it was looked for.
    const QString error = ErrorOf([&] { missing.Open(); });
    for (const QString& part : {QString("Data source name not found"), QString("data source NoSuchDsn "),
                                qEnvironmentVariable("ODBCINI") + " (named by ODBCINI)"})
        EXPECT_TRUE(error.contains(part)) << error.toStdString();
    EXPECT_FALSE(missing.Connected());
    EXPECT_EQ(ErrorOf([&] { Query("Nowhere", "select 1")->Open(); }),
              "No database connection is named 'Nowhere'.");
}

TEST(Database, QueriesOpenTheirConnectionOnDemandWithItsLoginBehaviour) {
    TestEnv::ResetSqlite("KelvoLite");
    auto db = std::make_unique<TDatabase>();
    db->DatabaseName = "Lazy";
    db->AliasName = "KelvoLite";
    EXPECT_EQ(FindDatabase("LAZY"), db.get());
    EXPECT_FALSE(db->Connected());

    auto q = Query("lazy", "select 1 as one");
    q->Open();
    EXPECT_TRUE(db->Connected());
    EXPECT_EQ(q->Fields(0).AsInteger(), 1);

    // Closing the connection ends its queries; the next use opens it again, asking for the login.
    db->Close();
    EXPECT_FALSE(q->Active());
    db->LoginPrompt = true;
    {
        TScriptedAnswerer answers;
        answers.AnswerLogin(std::pair<QString, QString>("someone", "secret"));
        q->Open();
        EXPECT_TRUE(db->Connected());
        ASSERT_EQ(answers.Asked().size(), 1u);
        EXPECT_EQ(answers.Asked()[0].kind, TScriptedAnswerer::TKind::Login);
        EXPECT_EQ(answers.Asked()[0].text, "KelvoLite");
    }
    db->Close();
    {
        TScriptedAnswerer answers;
        answers.AnswerLogin(std::nullopt);
        q->SQL = QStringList{"create table t (k int)"};
        EXPECT_EQ(ErrorOf([&] { q->ExecSQL(); }), "Login to database Lazy was cancelled.");
        EXPECT_FALSE(db->Connected());
    }
    db.reset();
    EXPECT_EQ(FindDatabase("Lazy"), nullptr);
}

TEST_P(DatabaseConnectionOn, LoginOffersTheDataSourceUserAndPassesCredentials) {
    if (Is(TEngine::SQLite))
        GTEST_SKIP() << "SQLite has no users";
    const QString user = qEnvironmentVariable(Is(TEngine::PostgreSQL) ? "KELVO_PG_USER" : "KELVO_MARIA_USER");
    TDatabase db;
    db.DatabaseName = "Login";
    db.AliasName = Dsn();
    db.LoginPrompt = true;
    {
        TLoginRecorder answers;
        answers.AnswerLogin(std::pair<QString, QString>(user, ""));
        db.Open();
        EXPECT_EQ(answers.offeredUser, user);
    }
    db.Close();

    // The user name parameter reaches the server.
    db.LoginPrompt = false;
    db.Params = QStringList{"USER NAME=nobody", "PASSWORD=x"};
    const QString refused = ErrorOf([&] { db.Open(); });
    EXPECT_TRUE(refused.contains(Is(TEngine::PostgreSQL) ? "\"nobody\"" : "'nobody'"))
        << refused.toStdString();
    EXPECT_FALSE(db.Connected());
}

TEST(Database, APasswordCannotAddConnectionAttributes) {
    TestEnv::ResetSqlite("KelvoLite");
    TestEnv::ResetSqlite("KelvoLite2");
    TDatabase db;
    db.DatabaseName = "Quoted";
    db.AliasName = "KelvoLite";
    db.Params = QStringList{"USER NAME=me", "PASSWORD=x;Database=" + TestEnv::SqliteFile("KelvoLite2")};
    db.ExecDirect("create table mine (k int)");
    db.Close();
    auto other = OpenTestDatabase("KelvoLite2", "Other");
    EXPECT_TRUE(ErrorOf([&] { other->ExecDirect("select * from mine"); }).contains("no such table"));
}

TEST(Database, ForwardCursorFlagsAndFieldLookup) {
    TestEnv::ResetSqlite("KelvoLite");
    auto db = OpenTestDatabase("KelvoLite", "Lite");
    db->ExecDirect("create table r (k integer, v varchar(10))");
    db->ExecDirect("insert into r values (1, 'one'), (2, 'two'), (3, 'three')");

    auto q = Query("Lite", "select k, v from r where k > 100");
    q->Open();
    EXPECT_TRUE(q->Active());
    EXPECT_TRUE(q->Bof());
    EXPECT_TRUE(q->Eof());
    EXPECT_EQ(q->FieldCount(), 2);

    q->SQL = QStringList{"select k, v", "from r order by k"};
    q->Open(); // reopening an open query runs the new text
    EXPECT_TRUE(q->Bof());
    EXPECT_FALSE(q->Eof());
    QStringList seen;
    for (; !q->Eof(); q->Next())
        seen << q->FieldByName("V").AsString();
    EXPECT_EQ(seen, QStringList({"one", "two", "three"}));
    EXPECT_FALSE(q->Bof());
    EXPECT_EQ(q->FieldByName("k").AsInteger(), 3); // the last row stays current
    q->Next();
    EXPECT_TRUE(q->Eof());

    q->Open();
    q->Last();
    EXPECT_TRUE(q->Eof());
    EXPECT_FALSE(q->Bof());
    q->Next();
    EXPECT_TRUE(q->Eof());

    EXPECT_EQ(q->FindField("K"), &q->Fields(0));
    EXPECT_EQ(q->FindField("nope"), nullptr);
    EXPECT_EQ(ErrorOf([&] { q->FieldByName("nope"); }), "Field 'nope' not found");
    EXPECT_THROW(q->Fields(2), EDatabaseError);

    q->Close();
    q->Close();
    EXPECT_FALSE(q->Active());
    EXPECT_EQ(q->FieldCount(), 0);
    EXPECT_TRUE(q->Bof() && q->Eof());
    EXPECT_THROW(q->Next(), EDatabaseError);

    q->ExecSQL(); // a statement with rows may be executed too
    EXPECT_FALSE(q->Active());
}

TEST(Database, ParametersAreBoundByNameOutsideQuotesCommentsAndCasts) {
    if (!TestEnv::PostgresConfigured())
        return;
    TestEnv::ResetPostgres();
    auto db = OpenTestDatabase("KelvoPg", "Pg");
    db->ExecDirect("create table r (k integer, v varchar(10))");
    db->ExecDirect("insert into r values (1, 'one'), (2, 'two')");

    auto q = Query("Pg", "select k from r -- :InComment\n"
                         "where v = :V and ':notParam' <> :Other and k::text = :v");
    std::vector<TParam>& params = q->Params();
    ASSERT_EQ(params.size(), 2u);
    EXPECT_EQ(params[0].Name, "V");
    EXPECT_EQ(params[1].Name, "Other");
    params[0].Value = "2";
    params[1].Value = "x";
    // The text is not what v holds, so no row; then the same value by name for both markers.
    q->Open();
    EXPECT_TRUE(q->Eof());

    q->SQL = QStringList{"select k from r where k::text = :V and v = :W"};
    ASSERT_EQ(q->Params().size(), 2u);
    EXPECT_EQ(q->Params()[0].Value, "2"); // carried over by name
    q->Params()[1].Value = "two";
    q->Open();
    ASSERT_FALSE(q->Eof());
    EXPECT_EQ(q->Fields(0).AsInteger(), 2);

    q->SQL = QStringList{"select k from r where v = :Missing"}; // an unset value is the empty text
    q->Open();
    EXPECT_TRUE(q->Eof());
}

TEST(Database, ConversionErrorsNameTheValue) {
    TestEnv::ResetSqlite("KelvoLite");
    auto db = OpenTestDatabase("KelvoLite", "Lite");
    SetRegionalLocaleForTests(QLocale(QLocale::German, QLocale::Germany));
    auto q = Query("Lite", "select 'abc' as s, '2,5' as regional, '15.03.2024' as day, '1.5' as f");
    q->Open();
    EXPECT_EQ(ErrorOf([&] { q->Fields(0).AsFloat(); }), "'abc' is not a valid floating point value");
    EXPECT_EQ(ErrorOf([&] { q->Fields(0).AsInteger(); }), "'abc' is not a valid integer value");
    EXPECT_EQ(ErrorOf([&] { q->Fields(0).AsDateTime(); }), "'abc' is not a valid date and time");
    // Text columns read numbers and dates in the engines' forms only, whatever the desktop's locale.
    EXPECT_EQ(ErrorOf([&] { q->Fields(1).AsFloat(); }), "'2,5' is not a valid floating point value");
    EXPECT_EQ(ErrorOf([&] { q->Fields(2).AsDateTime(); }), "'15.03.2024' is not a valid date and time");
    EXPECT_DOUBLE_EQ(q->Fields(3).AsFloat(), 1.5);
    ResetRegionalLocaleForTests();
}

KELVO_ON_EVERY_ENGINE(DatabaseConnectionOn);

} // namespace
