#include <QFile>
#include <QFileInfo>
#include <gtest/gtest.h>

#include "fixtures/Engines.h"
#include "fixtures/ScriptedAnswerer.h"
#include "fixtures/TestEnv.h"
#include "flows/FlowScripts.h"
#include "query/Database.h"
#include "query/LangQuery.h"
#include "fixtures/Printers.h"

namespace {

int CountRows(const QString& databaseName, const QString& table) {
    TQuery q;
    q.DatabaseName = databaseName;
    q.SQL << "select count(*) from " + table;
    q.Open();
    return int(q.Fields(0).AsInteger());
}

void RunsBatches(const QString& dsn) {
    auto db = OpenTestDatabase(dsn, "DBSource");
    TTempProgramDir dir;
    const QString path = ScriptPath("CUSTOMERS", SourceInitSuffix);
    EXPECT_EQ(path, dir.Path() + "Files/CUSTOMERS_sinit.txt");
    dir.WriteFile("Files/CUSTOMERS_sinit.txt", "/* set up the work table\r\n"
                                               "/* over two comment lines\r\n"
                                               "create table WORK (ID integer, NAME varchar(20))\r\n"
                                               "go\r\n"
                                               "insert into WORK values (1, 'ena')\r\n"
                                               "GO\r\n"
                                               "insert into MISSING values (1)\r\n"
                                               "Go\r\n"
                                               "insert into WORK values (2, 'dve')\r\n"
                                               "GO \r\n"
                                               "insert into WORK values (3, 'tri')\r\n"
                                               "GO\r\n"
                                               "insert into WORK values (4, 'never')\r\n");
    TLangQuery tbl;
    {
        TScriptedAnswerer answers;
        // The failing batch, and the batch whose "GO " (with a blank) did not end it.
        answers.AnswerMessage(mrOk).AnswerMessage(mrOk);
        EXPECT_TRUE(RunScript("DBSource", path, tbl));
        ASSERT_EQ(answers.Asked().size(), 2u);
        EXPECT_EQ(answers.Asked()[0].type, mtError);
        EXPECT_FALSE(answers.Asked()[0].text.isEmpty());
    }
    EXPECT_EQ(CountRows("DBSource", "WORK"), 1);
    EXPECT_EQ(dir.ReadFile("Files/CUSTOMERS_sinit.txt.log"),
              (path + "\r\nKončano kot uspešno...\r\n").toUtf8());

    // No GO at all: nothing runs, the log is still written (and replaces the old one).
    dir.WriteFile("Files/CUSTOMERS_sinit.txt", "insert into WORK values (9, 'x')\r\n");
    EXPECT_TRUE(RunScript("DBSource", path, tbl));
    EXPECT_EQ(CountRows("DBSource", "WORK"), 1);
    EXPECT_EQ(dir.ReadFile("Files/CUSTOMERS_sinit.txt.log"),
              (path + "\r\nKončano kot uspešno...\r\n").toUtf8());

    // A missing file: false, no message, no log.
    const QString missing = ScriptPath("OTHER", DestFinalSuffix);
    EXPECT_FALSE(RunScript("DBSource", missing, tbl));
    EXPECT_FALSE(QFile::exists(missing + ".log"));
}

class FlowScriptsOn : public TEngineTest {};

TEST_P(FlowScriptsOn, RunBatches) {
    RunsBatches(Dsn());
}
KELVO_ON_EVERY_ENGINE(FlowScriptsOn);

TEST(FlowScripts, EditCreatesAnEmptyFileAndOpensIt) {
    TTempProgramDir dir;
    EXPECT_EQ(ScriptPath("", DestInitSuffix), dir.Path() + "Files/_dinit.txt");
    const QString path = ScriptPath("ORDERS", DestInitSuffix);
    TScriptedAnswerer answers;
    answers.AnswerShellOpen().AnswerShellOpen();
    EditScript(path);
    ASSERT_TRUE(QFile::exists(path));
    EXPECT_EQ(QFileInfo(path).size(), 0);
    dir.WriteFile("Files/ORDERS_dinit.txt", "keep me");
    EditScript(path);
    EXPECT_EQ(dir.ReadFile("Files/ORDERS_dinit.txt"), "keep me");
    EXPECT_EQ(answers.AskedTexts(), QStringList({path, path}));
}

} // namespace
