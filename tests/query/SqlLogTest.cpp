#include <QDir>
#include <QFile>
#include <gtest/gtest.h>

#include "fixtures/FileText.h"
#include "fixtures/Printers.h"
#include "fixtures/TestEnv.h"
#include "platform/ProgramDir.h"
#include "query/Database.h"
#include "query/LangQuery.h"
#include "query/SqlLog.h"

namespace {

void SetLogPath(const TTempProgramDir& dir, const QString& path) {
    dir.WriteFile("Login.ini", "[Other]\r\nPATH=wrong\r\n[sql_log]\r\npath = " + path.toUtf8() + "\r\n");
}

TEST(SqlLog, LogDirectoryFromLoginIni) {
    TTempProgramDir dir;
    EXPECT_EQ(GetLogDir(), dir.Path() + "Log/");
    LogStatement({"select 1"}, false);
    EXPECT_TRUE(QFileInfo(dir.FilePath("Log")).isDir());
    EXPECT_EQ(dir.ReadFile("Log/Query.log"), "select 1\r\n");
    EXPECT_FALSE(QFile::exists(dir.FilePath("Log/Modify.log")));

    // All missing parents are created; the value is taken as read, so without a trailing separator
    // the file names run into the directory name.
    SetLogPath(dir, dir.FilePath("deep/er/logs/"));
    EXPECT_EQ(GetLogDir(), dir.FilePath("deep/er/logs/"));
    LogStatement({"select 2"}, true);
    EXPECT_EQ(dir.ReadFile("deep/er/logs/Query.log"), "select 2\r\n");
    EXPECT_EQ(dir.ReadFile("deep/er/logs/Modify.log"), Block({"select 2"}));
    SetLogPath(dir, dir.FilePath("Logs"));
    LogStatement({"select 3"}, true);
    EXPECT_TRUE(QFileInfo(dir.FilePath("Logs")).isDir());
    EXPECT_EQ(dir.ReadFile("LogsQuery.log"), "select 3\r\n");
    EXPECT_EQ(dir.ReadFile("LogsModify.log"), Block({"select 3"}));

    // A change takes effect at the next statement, also one of the same length made right away.
    SetLogPath(dir, dir.FilePath("one/"));
    LogStatement({"to one"}, false);
    SetLogPath(dir, dir.FilePath("two/"));
    LogStatement({"to two"}, false);
    EXPECT_EQ(dir.ReadFile("one/Query.log"), "to one\r\n");
    EXPECT_EQ(dir.ReadFile("two/Query.log"), "to two\r\n");
    QFile::remove(dir.FilePath("Login.ini"));
    LogStatement({"default again"}, false);
    EXPECT_EQ(dir.ReadFile("Log/Query.log"), "default again\r\n");
    EXPECT_EQ(dir.ReadFile("two/Query.log"), "to two\r\n");

    // An empty value cannot name a directory.
    SetLogPath(dir, "");
    EXPECT_EQ(GetLogDir(), "");
    EXPECT_THROW(LogStatement({"nowhere"}, true), EKelvoError);
    EXPECT_EQ(dir.ReadFile("Log/Query.log"), "default again\r\n");
}

TEST(SqlLog, FileFormatsAndFallback) {
    TTempProgramDir dir;
    const QString query = dir.FilePath("Query.log");
    ReplaceFile(query, {"select a,", "  b from T", "Šumnik č", "values ('Ža😀')"});
    EXPECT_EQ(dir.ReadFile("Query.log"),
              "select a,\r\n  b from T\r\n" + QString("Šumnik č\r\nvalues ('Ža😀')\r\n").toUtf8());
    ReplaceFile(query, {"x"}); // a shorter statement leaves nothing of the longer one
    EXPECT_EQ(dir.ReadFile("Query.log"), "x\r\n");
    ReplaceFile(query, {});
    EXPECT_EQ(dir.ReadFile("Query.log"), "");
    EXPECT_TRUE(QFile::exists(query));

    const QString modify = dir.FilePath("Modify.log");
    AppendToFile(modify, {});
    EXPECT_FALSE(QFile::exists(modify)); // no lines: not even created
    AppendToFile(modify, {"insert 1", "values (1)"});
    AppendToFile(modify, {""});
    AppendToFile(modify, {"insert 2"});
    EXPECT_EQ(dir.ReadFile("Modify.log"),
              Block({"insert 1", "values (1)"}) + Block({""}) + Block({"insert 2"}));

    // Written by another program between our blocks: kept, ours follow.
    {
        QFile f(modify);
        ASSERT_TRUE(f.open(QIODevice::Append));
        f.write("foreign\r\n");
    }
    AppendToFile(modify, {"insert 3"});
    EXPECT_TRUE(
        dir.ReadFile("Modify.log").endsWith(Block({"insert 2"}) + "foreign\r\n" + Block({"insert 3"})));

    // Every character lands as UTF-8 wherever it stands in a line (ASCII goes a block at a time), and a
    // statement written to two files, or changed after the first, is written as it stands each time.
    QStringList lines;
    for (const qsizetype at : {0, 31, 32, 33, 63, 64, 65, 200})
        lines << QString(at, 'a') + QString::fromUtf8("č😀") + QString(40, 'b') + QChar(0xD800);
    for (int pass = 0; pass < 2; ++pass) {
        ReplaceFile(query, lines);
        AppendToFile(modify, lines);
        QByteArray expected;
        for (const QString& line : lines)
            expected += line.toUtf8() + "\r\n";
        EXPECT_EQ(dir.ReadFile("Query.log"), expected);
        EXPECT_TRUE(dir.ReadFile("Modify.log").endsWith(expected + ";\r\n\r\n"));
        lines[3].replace(33, 1, "x"); // the same list, changed in place
    }

    // A name that cannot be bound: the fallback file beside the program.
    AppendToFile("", {"lost?"});
    AppendToFile("", {"no"});
    EXPECT_EQ(dir.ReadFile("Datoteka.txt"), Block({"lost?"}) + Block({"no"}));

    // Input/output errors reach the caller.
    EXPECT_THROW(AppendToFile(dir.FilePath("Files"), {"into a directory"}), EKelvoError);
    EXPECT_THROW(ReplaceFile(dir.FilePath("Files"), {"into a directory"}), EKelvoError);
    EXPECT_THROW(AppendToFile(dir.FilePath("missing/dir/x.sql"), {"x"}), EKelvoError);
    dir.WriteFile("plain", "x");
    EXPECT_THROW(ForceLogDirectory(dir.FilePath("plain/sub/")), EKelvoError);
}

TEST(SqlLog, FilesDeletedMovedOrReplacedAreWrittenAnew) {
    TTempProgramDir dir;
    const QString query = dir.FilePath("Log/Query.log");
    const QString modify = dir.FilePath("Log/Modify.log");
    LogStatement({"first"}, true);

    ASSERT_TRUE(QFile::remove(query));
    ASSERT_TRUE(QFile::remove(modify));
    LogStatement({"second"}, true);
    EXPECT_EQ(dir.ReadFile("Log/Query.log"), "second\r\n");
    EXPECT_EQ(dir.ReadFile("Log/Modify.log"), Block({"second"}));

    ASSERT_TRUE(QFile::rename(query, dir.FilePath("moved-query")));
    ASSERT_TRUE(QFile::rename(modify, dir.FilePath("moved-modify")));
    LogStatement({"third"}, true);
    EXPECT_EQ(dir.ReadFile("Log/Query.log"), "third\r\n");
    EXPECT_EQ(dir.ReadFile("Log/Modify.log"), Block({"third"}));
    EXPECT_EQ(dir.ReadFile("moved-query"), "second\r\n");
    EXPECT_EQ(dir.ReadFile("moved-modify"), Block({"second"}));

    // Replaced by a new file of the same name (as editors save).
    dir.WriteFile("Log/new", "edited\r\n");
    ASSERT_TRUE(QFile::remove(modify));
    ASSERT_TRUE(QFile::rename(dir.FilePath("Log/new"), modify));
    LogStatement({"fourth"}, true);
    EXPECT_EQ(dir.ReadFile("Log/Modify.log"), "edited\r\n" + Block({"fourth"}));

    // The whole directory removed.
    ASSERT_TRUE(QDir(dir.FilePath("Log")).removeRecursively());
    LogStatement({"fifth"}, true);
    EXPECT_EQ(dir.ReadFile("Log/Query.log"), "fifth\r\n");
    EXPECT_EQ(dir.ReadFile("Log/Modify.log"), Block({"fifth"}));

    // Closing the kept files changes nothing that a reader sees.
    CloseStatementLogs();
    LogStatement({"sixth"}, true);
    EXPECT_EQ(dir.ReadFile("Log/Query.log"), "sixth\r\n");
    EXPECT_EQ(dir.ReadFile("Log/Modify.log"), Block({"fifth"}) + Block({"sixth"}));
}

TEST(SqlLog, ExistingSpellingsAreReused) {
    TTempProgramDir dir;
    dir.WriteFile("LOGIN.INI", "[sql_log]\r\npath=" + dir.FilePath("logs/").toUtf8() + "\r\n");
    dir.WriteFile("LOGS/QUERY.LOG", "an older and longer statement\r\n");
    dir.WriteFile("LOGS/modify.LOG", Block({"earlier"}));
    LogStatement({"now"}, true);
    EXPECT_EQ(dir.ReadFile("LOGS/QUERY.LOG"), "now\r\n");
    EXPECT_EQ(dir.ReadFile("LOGS/modify.LOG"), Block({"earlier"}) + Block({"now"}));
    EXPECT_FALSE(QFileInfo::exists(dir.FilePath("logs")));
}

int CountRows(const QString& table) {
    TLangQuery q;
    q.DatabaseName = "DBDest";
    q.SQL = QStringList({"select Count(*) from " + table});
    q.Open();
    return int(q.Fields(0).AsInteger());
}

// Which statement reaches which file, and which log failures stop the statement.
TEST(SqlLog, WhatEachTriggerWrites) {
    TTempProgramDir dir;
    TestEnv::ResetSqlite("KelvoLite");
    ExecOn("KelvoLite", "create table T (ID integer, NAME varchar(20));"
                        "insert into T values (1, 'one')");
    auto db = OpenTestDatabase("KelvoLite", "DBDest");
    const QString script = dir.FilePath("export.sql");
    TLangQuery q;
    q.DatabaseName = "DBDest";
    q.Tables = "T";
    q.SetScriptFile(script);
    auto fill = [&](int id) {
        q.ClearFieldValues();
        q.AddFieldValue("ID", QString::number(id), 0);
        q.AddFieldValue("NAME", "n", 1);
    };
    auto insertText = [](int id) {
        return QStringList({"Insert into T ", "   (ID, NAME)", "values ", QString("(%1, 'n')").arg(id)});
    };
    auto queryLog = [&] { return dir.ReadFile("Log/Query.log"); };
    auto modifyLog = [&] { return dir.ReadFile("Log/Modify.log"); };

    // OpenSelect: Query.log only.
    q.Columns = "*";
    q.FromClause = "T";
    q.OpenSelect();
    EXPECT_EQ(queryLog(), Crlf({"Select *", "From T"}));
    EXPECT_FALSE(QFile::exists(dir.FilePath("Log/Modify.log")));

    // ExecInsert: Query.log replaced, Modify.log appended; a run keeps only the last in Query.log.
    fill(2);
    q.ExecInsert();
    fill(3);
    q.ExecInsert();
    EXPECT_EQ(queryLog(), Crlf(insertText(3)));
    EXPECT_EQ(modifyLog(), Block(insertText(2)) + Block(insertText(3)));
    EXPECT_EQ(CountRows("T"), 3);

    // ExecInsert while scripting: Query.log and the script file.
    q.SetScripting(true);
    fill(4);
    q.ExecInsert();
    EXPECT_EQ(queryLog(), Crlf(insertText(4)));
    EXPECT_EQ(modifyLog(), Block(insertText(2)) + Block(insertText(3)));
    EXPECT_EQ(dir.ReadFile("export.sql"), Block(insertText(4)));

    // ExecModify while scripting: the script file only.
    q.SQL = QStringList({"update T set NAME = 'x'"});
    q.ExecModify();
    EXPECT_EQ(queryLog(), Crlf(insertText(4)));
    EXPECT_EQ(dir.ReadFile("export.sql"), Block(insertText(4)) + Block({"update T set NAME = 'x'"}));
    EXPECT_EQ(CountRows("T"), 3);

    // ExecModify: both logs, then executed.
    q.SetScripting(false);
    q.SQL = QStringList({"delete from T", "where ID = 3"});
    q.ExecModify();
    EXPECT_EQ(queryLog(), Crlf(q.SQL));
    EXPECT_TRUE(modifyLog().endsWith(Block(insertText(3)) + Block(q.SQL)));
    EXPECT_EQ(CountRows("T"), 2);

    // dtMsAccess inserts touch nothing.
    const QByteArray before = modifyLog();
    q.DataType = dtMsAccess;
    fill(5);
    q.ExecInsert();
    q.SetScripting(true);
    q.ExecInsert();
    EXPECT_EQ(queryLog(), Crlf({"delete from T", "where ID = 3"}));
    EXPECT_EQ(modifyLog(), before);
    EXPECT_EQ(dir.ReadFile("export.sql"), Block(insertText(4)) + Block({"update T set NAME = 'x'"}));
    q.DataType = dtStandardSQL;
    q.SetScripting(false);

    // With a log directory that cannot be created, the compositions still run...
    dir.WriteFile("blocker", "");
    SetLogPath(dir, dir.FilePath("blocker/"));
    q.OpenSelect();
    EXPECT_FALSE(q.EmptyResult());
    q.Close();
    fill(6);
    q.ExecInsert();
    EXPECT_EQ(CountRows("T"), 3);
    q.SetScripting(true);
    fill(7);
    q.ExecInsert();
    EXPECT_TRUE(dir.ReadFile("export.sql").endsWith(Block(insertText(7))));
    // ...a script file that cannot be written stops the statement...
    q.SetScriptFile(dir.FilePath("Files"));
    EXPECT_THROW(q.ExecInsert(), EKelvoError);
    q.SQL = QStringList({"delete from T"});
    EXPECT_THROW(q.ExecModify(), EKelvoError);
    // ...and ExecModify refuses to run unlogged.
    q.SetScripting(false);
    EXPECT_THROW(q.ExecModify(), EKelvoError);
    EXPECT_EQ(CountRows("T"), 3);
    EXPECT_EQ(queryLog(), Crlf({"delete from T", "where ID = 3"}));
}

} // namespace
