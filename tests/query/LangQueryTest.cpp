#include <QFile>
#include <gtest/gtest.h>

#include "fixtures/Engines.h"
#include "fixtures/FileText.h"
#include "fixtures/Printers.h"
#include "fixtures/TestEnv.h"
#include "query/Database.h"
#include "query/LangQuery.h"

namespace {

TFd Join(const QString& table, qint32 type, const QString& condition) {
    TFd fd;
    fd.JoinTable = table;
    fd.JoinType = type;
    fd.JoinCondition = condition;
    return fd;
}

TEST(LangQuery, StandardSelectTexts) {
    TTempProgramDir dir;
    TLangQuery q;
    EXPECT_EQ(q.DataType, dtStandardSQL);
    EXPECT_TRUE(q.EmptyResult());
    EXPECT_FALSE(q.Scripting());

    q.Columns = "Count(*) as RecNr";
    q.BuildStandardSelect();
    EXPECT_EQ(q.SQL, QStringList({"Select Count(*) as RecNr", "From "}));
    EXPECT_EQ(dir.ReadFile("Log/Query.log"), "Select Count(*) as RecNr\r\nFrom \r\n");

    // Present clauses are written untrimmed; blank ones (blanks, tabs, line breaks) are left out.
    q.Columns = " A, B ";
    q.FromClause = " T ";
    q.WhereClause = " A = 1 ";
    q.GroupByClause = "A, B";
    q.HavingClause = "Count(*) > 1 ";
    q.OrderByClause = " B desc";
    q.BuildStandardSelect();
    const QStringList full{"Select  A, B ",        "From  T ",        "Where ( A = 1 )", "Group by A, B",
                           "Having Count(*) > 1 ", "Order By  B desc"};
    EXPECT_EQ(q.SQL, full);
    EXPECT_EQ(dir.ReadFile("Log/Query.log"), Crlf(full));

    q.WhereClause = "  \t ";
    q.GroupByClause = "\r\n";
    q.HavingClause = " ";
    q.OrderByClause = "";
    q.BuildStandardSelect();
    EXPECT_EQ(q.SQL, QStringList({"Select  A, B ", "From  T "}));
    EXPECT_EQ(q.WhereClause, "  \t "); // composing changes no property in this dialect
}

TEST(LangQuery, DialectSelectTexts) {
    TTempProgramDir dir;
    TestEnv::ResetSqlite("KelvoLite");
    ExecOn("KelvoLite", "create table A (ID integer, X varchar(10));"
                        "create table B (ID integer, NAME varchar(10));"
                        "create table C (ID integer, Y varchar(10));"
                        "insert into A values (1, 'a1');"
                        "insert into A values (2, 'a2');"
                        "insert into B values (1, 'b1');"
                        "insert into B values (2, 'b2');"
                        "insert into C values (2, 'c2')");
    auto db = OpenTestDatabase("KelvoLite", "KelvoQ");
    TLangQuery q;
    q.DatabaseName = "KelvoQ";
    q.Columns = "A.ID, B.NAME, C.Y";

    // dtMSSql7: the four From lines, then one join line per entry.
    q.DataType = dtMSSql7;
    q.FromClause = "A";
    q.MasterTable = "B";
    q.WhereClause = "A.ID = B.ID";
    q.OrderByClause = "A.ID";
    q.FieldValues().push_back(Join("C", 2, "C.ID = A.ID"));
    q.OpenSelect();
    EXPECT_EQ(q.SQL,
              QStringList({"Select A.ID, B.NAME, C.Y", "From A, B", " LEFT OUTER JOIN C ON C.ID = A.ID",
                           "Where (A.ID = B.ID)", "Order By A.ID"}));
    EXPECT_EQ(dir.ReadFile("Log/Query.log"), Crlf(q.SQL));
    ASSERT_FALSE(q.EmptyResult());
    EXPECT_EQ(q.FieldByName("NAME").AsString(), "b1");
    EXPECT_TRUE(q.FieldByName("Y").IsNull());
    q.Next();
    EXPECT_EQ(q.FieldByName("Y").AsString(), "c2");
    q.Next();
    EXPECT_TRUE(q.Eof());

    q.FieldValues() = {Join("C", 3, "c1"), Join("D", 0, "c2"), Join("E", 7, "c3")};
    q.Columns = "*";
    q.WhereClause = "";
    q.OrderByClause = "";
    q.FromClause = " ";
    q.MasterTable = "B";
    EXPECT_THROW(q.OpenSelect(), EDatabaseError);
    EXPECT_TRUE(q.EmptyResult());
    EXPECT_EQ(q.SQL, QStringList({"Select *", "From B", " RIGHT OUTER JOIN C ON c1", " JOIN D ON c2",
                                  " JOIN E ON c3"}));
    EXPECT_EQ(dir.ReadFile("Log/Query.log"), Crlf(q.SQL)); // logged before the engine saw it
    q.FieldValues().clear();
    q.FromClause = "A";
    q.MasterTable = "\t";
    q.OpenSelect();
    EXPECT_EQ(q.SQL, QStringList({"Select *", "From A"}));
    EXPECT_FALSE(q.EmptyResult());
    q.FromClause = "";
    q.MasterTable = "";
    EXPECT_THROW(q.OpenSelect(), EDatabaseError);
    EXPECT_EQ(q.SQL, QStringList({"Select *"}));

    // dtInformix: "From F, M" even with M empty, join tables listed, and the join conditions moved into
    // WhereClause for good.
    q.DataType = dtInformix;
    q.FromClause = "A";
    q.MasterTable = "B";
    q.WhereClause = " A.ID = B.ID ";
    q.OpenSelect(); // executed, not opened
    EXPECT_EQ(q.SQL, QStringList({"Select *", "From A, B", "Where ( A.ID = B.ID )"}));
    EXPECT_EQ(q.WhereClause, " A.ID = B.ID ");
    EXPECT_FALSE(q.Active());

    q.MasterTable = "";
    q.FieldValues() = {Join("C", 2, "C.ID = A.ID"), Join("D", 3, "D.ID = A.ID"), Join("E", 0, "E.ID = A.ID")};
    EXPECT_THROW(q.OpenSelect(), EDatabaseError);
    EXPECT_EQ(q.SQL, QStringList({"Select *", "From A, ", " OUTER C, ", " RIGHT OUTER D, ", " E",
                                  "Where (E.ID = A.ID AND D.ID = A.ID AND C.ID = A.ID AND A.ID = B.ID)"}));
    EXPECT_EQ(q.WhereClause, "E.ID = A.ID AND D.ID = A.ID AND C.ID = A.ID AND A.ID = B.ID");
    q.FromClause = "";
    q.MasterTable = "B";
    q.WhereClause = "";
    q.FieldValues() = {Join("C", 0, "C.ID = B.ID")};
    EXPECT_THROW(q.OpenSelect(), EDatabaseError);
    EXPECT_EQ(q.SQL, QStringList({"Select *", "From B", " C", "Where (C.ID = B.ID)"}));
    EXPECT_EQ(q.WhereClause, "C.ID = B.ID");

    // dtMsAccess: the From line of dtMSSql7, no join lines, parameters from ParamValues by name.
    q.DataType = dtMsAccess;
    q.Columns = "NAME";
    q.FromClause = "";
    q.MasterTable = "B";
    q.WhereClause = "ID = :WANTED or NAME = :OTHER";
    q.ParamValues() = QStringList({"other=never", "wanted=2", "WANTED=1"});
    q.OpenSelect();
    EXPECT_EQ(q.SQL, QStringList({"Select NAME", "From B", "Where (ID = :WANTED or NAME = :OTHER)"}));
    ASSERT_FALSE(q.EmptyResult());
    EXPECT_EQ(q.Fields(0).AsString(), "b2");
    q.Next();
    EXPECT_TRUE(q.Eof());
    q.ParamValues() = QStringList({"WANTED=7"}); // OTHER missing: empty text
    q.OpenSelect();
    EXPECT_TRUE(q.EmptyResult());
    q.FromClause = "A";
    q.WhereClause = "";
    q.Columns = "Count(*) as RecNr";
    q.OpenSelect();
    EXPECT_EQ(q.SQL, QStringList({"Select Count(*) as RecNr", "From A, B"}));
    EXPECT_EQ(q.Fields(0).AsInteger(), 4);
}

TEST(LangQuery, InsertTexts) {
    TTempProgramDir dir;
    TLangQuery q;
    q.Tables = "T";
    q.AddFieldValue("A", "x", 1);
    q.AddFieldValue("B", "5", 0);
    q.AddFieldValue("C", "", 1);
    q.BuildInsert();
    const QStringList example{"Insert into T ", "   (A, B, C)", "values ", "('x', 5, NULL) "};
    EXPECT_EQ(q.SQL, example);
    ASSERT_EQ(q.FieldValues().size(), 3u);
    EXPECT_EQ(q.FieldValues()[2].Value, "NULL");
    EXPECT_EQ(q.FieldValues()[2].ValueKind, 0);
    EXPECT_EQ(dir.ReadFile("Log/Query.log"), Crlf(example));
    EXPECT_EQ(dir.ReadFile("Log/Modify.log"), Block(example));

    // Blank values are trimmed to empty and keep their kind; values are trimmed, apostrophes kept.
    q.ClearFieldValues();
    EXPECT_TRUE(q.FieldValues().empty());
    q.AddFieldValue("A", "   ", 1);
    q.AddFieldValue("B", " \t ", 0);
    q.AddFieldValue("C", "  O'Neil ", 1);
    q.AddFieldValue("A", " 2", 5);
    q.AddFieldValue("D", "  ", 0);
    q.BuildInsert();
    EXPECT_EQ(q.SQL,
              QStringList({"Insert into T ", "   (A, B, C, A, D)", "values ", "('', , 'O'Neil', 2, ) "}));

    q.ClearFieldValues();
    q.AddFieldValue("ONLY", "7", 0);
    q.BuildInsert();
    EXPECT_EQ(q.SQL, QStringList({"Insert into T ", "   (ONLY)", "values ", "(7) "}));
    q.ClearFieldValues();
    q.AddFieldValue("ONLY", "seven", 1);
    q.BuildInsert();
    EXPECT_EQ(q.SQL[1], "   (ONLY)");
    EXPECT_EQ(q.SQL[3], "('seven')");
    q.ClearFieldValues();
    q.AddFieldValue("ONLY", " ", 1);
    q.BuildInsert();
    EXPECT_EQ(q.SQL[3], "('')");

    // Missing table: nothing else happens, not even the event.
    int events = 0;
    q.OnInsert = [&](TLangQuery* sender) {
        EXPECT_EQ(sender, &q);
        EXPECT_EQ(q.SQL, QStringList({"left alone"})); // before composition
        ++events;
        sender->AddFieldValue("ADDED", "by event", 1);
    };
    q.Tables = "";
    q.SQL = QStringList({"left alone"});
    const QByteArray modifyLog = dir.ReadFile("Log/Modify.log");
    try {
        q.ExecInsert();
        ADD_FAILURE() << "no error";
    } catch (const ESQLError& error) {
        EXPECT_EQ(error.Message(), "Table name missing.");
    }
    EXPECT_EQ(events, 0);
    EXPECT_EQ(q.SQL, QStringList({"left alone"}));
    EXPECT_EQ(dir.ReadFile("Log/Modify.log"), modifyLog);

    // The event fires once per insert, after the table check, and may still add values.
    q.Tables = "T";
    q.SetScripting(true);
    q.SetScriptFile(dir.FilePath("script.sql"));
    q.ExecInsert();
    EXPECT_EQ(events, 1);
    const QStringList withEvent{"Insert into T ", "   (ONLY, ADDED)", "values ", "('', 'by event')"};
    EXPECT_EQ(q.SQL, withEvent);
    EXPECT_EQ(dir.ReadFile("script.sql"), Block(withEvent));

    // No values: a clear error after the statement text was emptied; nothing written anywhere.
    q.OnInsert = [&](TLangQuery* sender) { sender->ClearFieldValues(); };
    EXPECT_THROW(q.ExecInsert(), ESQLError);
    EXPECT_TRUE(q.SQL.isEmpty());
    EXPECT_EQ(dir.ReadFile("script.sql"), Block(withEvent));
    EXPECT_EQ(dir.ReadFile("Log/Query.log"), Crlf(withEvent));
    q.OnInsert = nullptr;

    // dtMsAccess: no composition, no log, no script, only EmptyResult.
    q.DataType = dtMsAccess;
    q.AddFieldValue("A", "1", 0);
    q.SQL = QStringList({"kept"});
    q.ExecInsert();
    EXPECT_EQ(q.SQL, QStringList({"kept"}));
    EXPECT_TRUE(q.EmptyResult());
    EXPECT_EQ(dir.ReadFile("script.sql"), Block(withEvent));
    EXPECT_EQ(dir.ReadFile("Log/Query.log"), Crlf(withEvent));
}

int CountRows(const QString& databaseName, const QString& table) {
    TLangQuery q;
    q.DatabaseName = databaseName;
    q.Columns = "Count(*) as RecNr";
    q.FromClause = table;
    q.OpenSelect();
    EXPECT_FALSE(q.EmptyResult());
    const int n = int(q.Fields(0).AsInteger());
    q.Close();
    return n;
}

void RoundTrip(const QString& dsn) {
    TTempProgramDir dir;
    ExecOn(dsn, "create table PARTNER (ID integer, NAME varchar(40), RATE numeric(10,2));"
                "create table EMPTYT (ID integer)");
    auto db = OpenTestDatabase(dsn, "DBDest");

    TLangQuery q;
    q.DatabaseName = "DBDest";
    q.Columns = "*";
    q.FromClause = "EMPTYT";
    q.OpenSelect();
    EXPECT_TRUE(q.EmptyResult());
    q.Close();
    EXPECT_EQ(CountRows("DBDest", "PARTNER"), 0);

    // Insert rows, read them back through a composed select.
    q.Tables = "PARTNER";
    const QStringList names{"Kovač", "O''Neil", "Šimek"};
    for (int i = 0; i < names.size(); ++i) {
        q.ClearFieldValues();
        q.AddFieldValue("ID", QString::number(i + 1), 0);
        q.AddFieldValue("NAME", names[i], 1);
        q.AddFieldValue("RATE", i == 1 ? "" : " 2.50 ", 0);
        q.ExecInsert();
        EXPECT_TRUE(q.EmptyResult());
    }
    const QStringList last{"Insert into PARTNER ", "   (ID, NAME, RATE)", "values ", "(3, 'Šimek', 2.50) "};
    EXPECT_EQ(dir.ReadFile("Log/Query.log"), Crlf(last));
    EXPECT_TRUE(dir.ReadFile("Log/Modify.log").endsWith(Block(last)));

    // The columns of a table with rows, without its rows; the condition set stays.
    q.FromClause = "PARTNER";
    q.WhereClause = "ID >= 1";
    q.OpenColumns();
    EXPECT_TRUE(q.EmptyResult());
    EXPECT_EQ(q.FieldCount(), 3);
    EXPECT_EQ(q.FieldByName("rate").FieldName.toUpper(), "RATE");
    EXPECT_EQ(q.WhereClause, "ID >= 1");
    EXPECT_EQ(dir.ReadFile("Log/Query.log"), Crlf({"Select *", "From PARTNER", "Where (1=0)"}));

    q.Columns = "ID, NAME, RATE";
    q.FromClause = "PARTNER";
    q.WhereClause = "ID >= 1";
    q.OrderByClause = "ID";
    q.OpenSelect();
    ASSERT_FALSE(q.EmptyResult());
    QStringList read;
    for (; !q.Eof(); q.Next())
        read << q.FieldByName("name").AsString() + (q.FieldByName("RATE").IsNull() ? "|null" : "|rate");
    EXPECT_EQ(read, QStringList({"Kovač|rate", "O'Neil|null", "Šimek|rate"}));
    q.WhereClause = "ID > 3";
    q.OpenSelect();
    EXPECT_TRUE(q.EmptyResult());
    q.Close();

    // Scripting: the insert reaches only the script file.
    const QByteArray modifyLog = dir.ReadFile("Log/Modify.log");
    q.SetScripting(true);
    q.SetScriptFile(dir.FilePath("export.sql"));
    q.ClearFieldValues();
    q.AddFieldValue("ID", "4", 0);
    q.AddFieldValue("NAME", "scripted", 1);
    q.ExecInsert();
    const QStringList scripted{"Insert into PARTNER ", "   (ID, NAME)", "values ", "(4, 'scripted')"};
    EXPECT_EQ(dir.ReadFile("export.sql"), Block(scripted));
    EXPECT_EQ(dir.ReadFile("Log/Query.log"), Crlf(scripted));
    EXPECT_EQ(dir.ReadFile("Log/Modify.log"), modifyLog);
    q.SQL = QStringList({"delete from PARTNER"});
    q.ExecModify();
    EXPECT_EQ(dir.ReadFile("export.sql"), Block(scripted) + Block({"delete from PARTNER"}));
    q.SQL.clear();
    q.ExecModify(); // an empty statement writes nothing
    EXPECT_EQ(dir.ReadFile("export.sql"), Block(scripted) + Block({"delete from PARTNER"}));
    EXPECT_EQ(dir.ReadFile("Log/Modify.log"), modifyLog);
    EXPECT_EQ(CountRows("DBDest", "PARTNER"), 3);

    // ExecModify executes after logging...
    q.SetScripting(false);
    q.SQL = QStringList({"delete from PARTNER", "where ID = 2"});
    q.ExecModify();
    EXPECT_EQ(CountRows("DBDest", "PARTNER"), 2);
    EXPECT_TRUE(dir.ReadFile("Log/Modify.log").endsWith(Block({"delete from PARTNER", "where ID = 2"})));

    // ...and not at all when the log cannot be written.
    dir.WriteFile("blocker", "a file, not a directory");
    dir.WriteFile("Login.ini", "[SQL_LOG]\r\nPATH=" + dir.FilePath("blocker/Log/").toUtf8() + "\r\n");
    q.SQL = QStringList({"delete from PARTNER"});
    EXPECT_THROW(q.ExecModify(), EKelvoError);
    EXPECT_EQ(CountRows("DBDest", "PARTNER"), 2);
    EXPECT_EQ(dir.ReadFile("blocker"), "a file, not a directory");

    // A database error propagates unchanged; after a failed select EmptyResult is true.
    q.SQL = QStringList({"select * from PARTNER"});
    q.Open();
    EXPECT_FALSE(q.Bof() && q.Eof());
    q.FromClause = "NO_SUCH_TABLE";
    q.WhereClause = "";
    q.OrderByClause = "";
    EXPECT_THROW(q.OpenSelect(), EDatabaseError);
    EXPECT_TRUE(q.EmptyResult());
}

class LangQueryOn : public TEngineTest {};

TEST_P(LangQueryOn, RoundTrip) {
    RoundTrip(Dsn());
}

KELVO_ON_EVERY_ENGINE(LangQueryOn);

} // namespace
