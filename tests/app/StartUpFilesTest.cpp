#include <QAction>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QTimer>
#include <gtest/gtest.h>

#include "app/Data.h"
#include "app/ui/Main.h"
#include "app/ui/Properties.h"
#include "fixtures/KelvoIni.h"
#include "fixtures/ProgramStart.h"
#include "fixtures/ScriptedAnswerer.h"
#include "fixtures/TestEnv.h"
#include "query/SqlLog.h"
#include "support/ui/SortedListBox.h"
#include "transfer/ui/Transfer.h"

namespace {

// Makes a path unreadable the way the program sees it (also for root): no read permission at all.
void Unreadable(const QString& path) {
    QFile::setPermissions(path, QFile::WriteOwner | QFile::ExeOwner);
}

TEST(StartUpFiles, NoFileOfTheProgramDirectoryCrashesTheStartOrLosesAnything) {
    // What the start does: ends after a message naming the file (the mode is not guessed), reports the
    // login file and asks whether to end, or goes on quietly.
    enum TOutcome { Ends, AsksToEnd, Quiet };
    struct TCase {
        const char* name;
        std::function<void(TTempProgramDir&)> make;
        TOutcome outcome;
        const char* named; // the file the message names
    };
    const TCase cases[] = {
        {"settings a directory",
         [](TTempProgramDir& d) { QDir().mkpath(d.FilePath("TransferSettings.ini")); }, Ends,
         "TransferSettings.ini"},
        {"settings unreadable",
         [](TTempProgramDir& d) {
             d.WriteFile("TransferSettings.ini", "[GENERAL]\r\nSCRIPTING=N\r\n");
             Unreadable(d.FilePath("TransferSettings.ini"));
         },
         Ends, "TransferSettings.ini"},
        {"settings binary",
         [](TTempProgramDir& d) {
             d.WriteFile("TransferSettings.ini", QByteArray("\x7f"
                                                            "ELF\0\0[GENERAL]",
                                                            14));
         },
         Ends, "TransferSettings.ini"},
        {"login file a directory", [](TTempProgramDir& d) { QDir().mkpath(d.FilePath("KELVO.INI")); },
         AsksToEnd, "KELVO.INI"},
        {"Login.ini a directory", [](TTempProgramDir& d) { QDir().mkpath(d.FilePath("Login.ini")); }, Quiet,
         ""},
        {"Login.ini unreadable",
         [](TTempProgramDir& d) {
             d.WriteFile("Login.ini", "[SQL_LOG]\r\nPATH=/nowhere/\r\n");
             Unreadable(d.FilePath("Login.ini"));
         },
         Quiet, ""},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.name);
        TestEnv::ResetSqlite("XQ");
        TTempProgramDir dir;
        c.make(dir);
        const QByteArray before = dir.ReadFile("TransferSettings.ini");
        TScriptedAnswerer answers;
        if (c.outcome != Quiet)
            answers.AnswerPlain();
        if (c.outcome == AsksToEnd)
            answers.AnswerMessage(mrNo);
        std::unique_ptr<TD> data;
        ASSERT_NO_THROW(data = std::make_unique<TD>());
        EXPECT_EQ(data->TerminateRequested, c.outcome == Ends);
        if (c.outcome != Quiet) {
            ASSERT_GE(answers.AskedTexts().size(), 1);
            EXPECT_TRUE(answers.AskedTexts()[0].contains(dir.FilePath(c.named)))
                << answers.AskedTexts()[0].toStdString();
        }
        EXPECT_EQ(dir.ReadFile("TransferSettings.ini"), before);
        EXPECT_EQ(GetLogDir(), dir.Path() + "Log/"); // an unreadable Login.ini is the default folder
    }
}

TEST(StartUpFiles, AnUnreadableFilesFolderIsAnErrorAndNotAnEmptyList) {
    TestEnv::ResetSqlite("XQ");
    TTempProgramDir dir;
    dir.WriteFile("Files/Flows.ini", "[NAME]\r\nA=A.INI\r\n");
    QFile::setPermissions(dir.FilePath("Files"), QFile::WriteOwner);
    TScriptedAnswerer answers;
    answers.AnswerPlain();
    TD data;
    D = &data;
    TFMain main;
    main.show();
    D = nullptr;
    QFile::setPermissions(dir.FilePath("Files"), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    EXPECT_EQ(answers.AskedTexts(), QStringList{"Cannot read the folder \"" + dir.FilePath("Files") + "\""});
}

// A program in direct mode with its main window, for what the window does around a run.
class MainWindowAroundRun : public ::testing::Test {
protected:
    void SetUp() override {
        dir.WriteFile("KELVO.INI", KelvoIniText("PRODDB", "operater", "skrivno"));
        dir.WriteFile("TransferSettings.ini", "[GENERAL]\r\nSCRIPTING=N\r\nMSSQL_DATEFORMAT=\r\n");
        dir.WriteFile("Files/Flows.ini", "[NAME]\r\nA=A.INI\r\n");
        dir.WriteFile("Files/A.INI", "[DATA]\r\nNAME=A\r\n[SOURCE]\r\nNAME=TA\r\n[TARGET]\r\nNAME=TA_D\r\n"
                                     "[FIELDS]\r\nID=ID\r\n");
        QString inserts = "create table TA (ID integer);";
        for (int id = 1; id <= 30; ++id)
            inserts += QString("insert into TA values (%1);").arg(id);
        ExecOn("XQ", inserts);
        ExecOn("DnsDest", "create table TA_D (ID integer check (ID <> 5))");
        start.Start(true, TStartAnswers::Login);
        main->Filter->setText("X");
    }
    TTempProgramDir dir;
    TProgramStart start;
    std::unique_ptr<TD>& data = start.data;
    std::unique_ptr<TFMain>& main = start.main;
};

TEST_F(MainWindowAroundRun, TheStatusLineTellsTheLastRunAndExitDuringARunCancelsIt) {
    main->RunAll->trigger();
    EXPECT_EQ(main->LLastRun->toolTip(),
              "Data transfer ended with errors. 1 of 30 rows failed, see FailedData.sql. Flows 1/1, "
              "records copied 29, failed 1, export file none.");

    // Exit asks; No goes on, Yes cancels at the next record, writes the cancel line and closes.
    TScriptedAnswerer answers;
    answers.AnswerMessage(mrNo).AnswerMessage(mrYes);
    int asks = 0;
    auto* timer = new QTimer(main.get());
    QObject::connect(timer, &QTimer::timeout, [&] {
        if (FTransfer && asks < 2 && ++asks)
            main->BExit->trigger();
    });
    timer->start(0);
    main->RunAll->trigger();
    timer->stop();
    QCoreApplication::sendPostedEvents();
    EXPECT_EQ(answers.AskedTexts(), QStringList(2, "A transfer is running. Cancel it and exit?"));
    EXPECT_FALSE(main->isVisible());
    const QStringList log = QString::fromUtf8(dir.ReadFile("Transfer.log")).split("\r\n", Qt::SkipEmptyParts);
    EXPECT_TRUE(log[log.size() - 2].startsWith("A User canceled. Transfered: "))
        << log.join('\n').toStdString();
    EXPECT_EQ(log.last(), "Run ended: Data transfer cancelled by the user.");
    EXPECT_TRUE(main->LLastRun->toolTip().startsWith("Data transfer cancelled by the user. Flows "));
}

TEST_F(MainWindowAroundRun, PropertiesKeepsADateFormatOnlyWhenTheDestinationAcceptedIt) {
    EXPECT_THROW(StoreDateFormat("ymd"), std::exception); // SQLite takes no such statement
    EXPECT_EQ(dir.ReadFile("TransferSettings.ini"), "[GENERAL]\r\nSCRIPTING=N\r\nMSSQL_DATEFORMAT=\r\n");
    StoreDateFormat("");
    EXPECT_EQ(dir.ReadFile("TransferSettings.ini"), "[GENERAL]\r\nSCRIPTING=N\r\nMSSQL_DATEFORMAT=\r\n");
}

} // namespace
