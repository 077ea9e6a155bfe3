#include <QDir>
#include <QFile>
#include <gtest/gtest.h>

#include "fixtures/FileText.h"
#include "fixtures/TestEnv.h"
#include "flows/FlowScripts.h"
#include "query/Database.h"
#include "query/LangQuery.h"
#include "query/SqlLog.h"
#include "transfer/TransferFiles.h"

namespace {

// The transfer-time script runner's rules, one case a line: the script, where it runs, what reached the
// table T of that connection, the export file and the script log.
struct TScriptCase {
    const char* name;
    QByteArray script;
    bool onDest;      // the destination connection, else the source
    bool scripting;   // scripting mode with an export file
    QStringList rows; // T afterwards
    QByteArray exported;
    int failed; // statements counted as failed, each a line of the script log
};

TEST(TransferScripts, TheRunnersRulesOneCaseALine) {
    const std::vector<TScriptCase> cases = {
        {"two lines make one statement; the second arrives trimmed",
         "insert into T\r\nvalues ('a')  ;  \r\n",
         false,
         false,
         {"a"},
         "",
         0},
        {"a last statement without ';' never runs",
         "insert into T values ('a');\r\ninsert into T values ('b')\r\n",
         false,
         false,
         {"a"},
         "",
         0},
        {"'/*' lines go; one after blanks stays in the next statement",
         "/* gone ; */\r\n  /* stays */\r\ninsert into T values ('c');\r\n",
         false,
         false,
         {"c"},
         "",
         0},
        {"a failing statement is logged and the script goes on",
         "insert into NOPE values (1);\r\ninsert into T values ('d');\r\n",
         false,
         false,
         {"d"},
         "",
         1},
        {"a GO line is an ordinary line of the next statement",
         "GO\r\ninsert into T values ('e');\r\n",
         false,
         false,
         {},
         "",
         1},
        {"the placeholder is replaced in exported statements",
         "insert into T values ('%filterpog%');\r\n",
         true,
         true,
         {},
         Block({"insert into T values ('X')"}),
         0},
        {"and left as written in executed ones",
         "insert into T values ('%FILTERPOG%');\r\n",
         false,
         true,
         {"%FILTERPOG%"},
         "",
         0},
    };
    TestEnv::ResetSqlite("KelvoLite");
    TestEnv::ResetSqlite("KelvoLite2");
    auto source = OpenTestDatabase("KelvoLite", "DBSource");
    auto dest = OpenTestDatabase("KelvoLite2", "DBDest");
    for (const TScriptCase& c : cases) {
        SCOPED_TRACE(c.name);
        TTempProgramDir dir;
        for (const char* dsn : {"KelvoLite", "KelvoLite2"})
            ExecOn(dsn, "drop table if exists T; create table T (V varchar(20))");
        dir.WriteFile("Files/F_x.txt", c.script);
        const QString path = dir.FilePath("Files/F_x.txt");
        const TScriptTarget target{c.scripting, dir.FilePath("export.sql"), "X", "DBDest"};
        TLangQuery tbl;
        int failed = -1;
        EXPECT_TRUE(RunTransferScript(c.onDest ? "DBDest" : "DBSource", path, tbl, target, &failed));
        EXPECT_EQ(failed, c.failed);
        EXPECT_EQ(QueryRows(c.onDest ? "DBDest" : "DBSource", "select V from T"), c.rows);
        EXPECT_EQ(dir.ReadFile("export.sql"), c.exported);
        const QStringList log = QString::fromUtf8(dir.ReadFile("Files/F_x.txt.log")).split("\r\n");
        ASSERT_EQ(log.size(), c.failed + 3); // path, one line per failure, done line, the final line end
        EXPECT_EQ(log.first(), path);
        EXPECT_EQ(log[log.size() - 2], ScriptDoneText);
        for (int i = 1; i <= c.failed; ++i)
            EXPECT_FALSE(log[i].isEmpty()) << "the engine's message";
        CloseStatementLogs();
    }
}

TEST(TransferScripts, InitialScriptsRunSourceFirstFinalScriptsTooAndAnUnusableLogRunsNothing) {
    TestEnv::ResetSqlite("KelvoLite");
    TestEnv::ResetSqlite("KelvoLite2");
    auto source = OpenTestDatabase("KelvoLite", "DBSource");
    auto dest = OpenTestDatabase("KelvoLite2", "DBDest");
    for (const char* dsn : {"KelvoLite", "KelvoLite2"})
        ExecOn(dsn, "create table T (V varchar(20))");
    TTempProgramDir dir;
    for (const char* suffix : {SourceInitSuffix, DestInitSuffix, SourceFinalSuffix, DestFinalSuffix})
        dir.WriteFile(QString("Files/F") + suffix,
                      QString("insert into T values ('%1');\r\n").arg(suffix).toUtf8());
    const TScriptTarget target{false, QString(), "X", "DBDest"};
    TLangQuery tbl;
    EXPECT_TRUE(RunInitScripts("F", "DBSource", tbl, target).empty());
    EXPECT_TRUE(RunFinalScripts("F", "DBSource", tbl, target).empty());
    CloseStatementLogs();
    // Modify.log holds every executed statement in the order it ran.
    EXPECT_EQ(dir.ReadFile("Log/Modify.log"), Block({"insert into T values ('_sinit.txt')"}) +
                                                  Block({"insert into T values ('_dinit.txt')"}) +
                                                  Block({"insert into T values ('_sfin.txt')"}) +
                                                  Block({"insert into T values ('_dfin.txt')"}));

    // A statement whose log cannot be written is not run, and says so.
    QFile::remove(dir.FilePath("Log/Modify.log"));
    QFile::remove(dir.FilePath("Log/Query.log"));
    QDir(dir.FilePath("Log")).removeRecursively();
    dir.WriteFile("Log", "a file where the log folder belongs");
    const std::vector<TScriptFailure> failures = RunInitScripts("F", "DBSource", tbl, target);
    ASSERT_EQ(failures.size(), 2u);
    EXPECT_EQ(failures[1].Path, dir.FilePath("Files/F_dinit.txt"));
    EXPECT_EQ(failures[1].Failed, 1);
    EXPECT_EQ(QueryRows("DBDest", "select V from T"), QStringList({"_dinit.txt", "_dfin.txt"}));
    EXPECT_EQ(QString::fromUtf8(dir.ReadFile("Files/F_dinit.txt.log")).split("\r\n").size(), 4);
}

} // namespace
