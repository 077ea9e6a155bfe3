#include <QAction>
#include <QCoreApplication>
#include <QLabel>
#include <QLineEdit>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

#include "app/Data.h"
#include "app/ui/Main.h"
#include "fixtures/KelvoIni.h"
#include "fixtures/ProgramStart.h"
#include "fixtures/ScriptedAnswerer.h"
#include "fixtures/TestEnv.h"
#include "platform/Errors.h"
#include "query/Database.h"
#include "support/ui/SortedListBox.h"
#include "transfer/ui/Transfer.h"

namespace {

// A program started in direct mode on the test's SQLite source XQ and destination DnsDest, with its
// main window, so runs start from the window's commands as the operator starts them.
class MainWindowRun : public ::testing::Test {
protected:
    void SetUp() override {
        dir.WriteFile("KELVO.INI", KelvoIniText("PRODDB", "operater", "skrivno"));
        dir.WriteFile("TransferSettings.ini", "[GENERAL]\r\nSCRIPTING=N\r\n");
        dir.WriteFile("Files/Flows.ini", "[NAME]\r\nA=A.INI\r\n[CONSTANTS]\r\nCK=B\r\n");
        dir.WriteFile("Files/A.INI", "[DATA]\r\nNAME=A\r\n[SOURCE]\r\nNAME=TA\r\n[TARGET]\r\nNAME=TA_D\r\n"
                                     "[FIELDS]\r\nID=ID\r\nKIND=CONST(CK)\r\n");
        QString inserts = "create table TA (ID integer);";
        for (int id : {1, 2, 3, 4, 5, 6, 7, 8, 5})
            inserts += QString("insert into TA values (%1);").arg(id);
        ExecOn("XQ", inserts);
        ExecOn("DnsDest", "create table TA_D (ID integer check (ID <> 5), KIND varchar(5))");
        start.Start(true, TStartAnswers::Login);
    }
    // Calls action at each pass of the run's message processing, with the row the window shows.
    void DuringRun(std::function<void(int row)> action) {
        auto* timer = new QTimer(main.get());
        QObject::connect(timer, &QTimer::timeout, [action] {
            if (!FTransfer)
                return;
            const QString records = FTransfer->findChild<QLabel*>("LRecords")->text();
            action(records.section(' ', 1).section('/', 0, 0).toInt());
        });
        timer->start(0);
    }
    QStringList DestRows() {
        TQuery q;
        q.DatabaseName = "DBDest";
        q.SQL << "select ID, KIND from TA_D order by rowid";
        q.Open();
        QStringList rows;
        for (; !q.Eof(); q.Next())
            rows << q.Fields(0).AsString() + q.Fields(1).AsString();
        return rows;
    }

    TTempProgramDir dir;
    TProgramStart start;
    std::unique_ptr<TD>& data = start.data;
    std::unique_ptr<TFMain>& main = start.main;
};

TEST_F(MainWindowRun, TheRunReadsOptionsAndConstantsFromTheWindowAtEachUse) {
    EXPECT_EQ(main->FlowList->Lines(), QStringList{"A"});
    EXPECT_EQ(main->ConstList->Lines(), QStringList{"CK=B"});
    for (QAction* option : {main->Stoponerror1, main->Showtransfersummary1, main->ReduceProcessMessages1})
        EXPECT_FALSE(option->isChecked());
    main->Filter->setText("X");
    EXPECT_EQ(D->ContractFilter, "X");

    bool switched = false, refused = false, enabledDuringRun = true;
    DuringRun([&](int row) {
        enabledDuringRun = enabledDuringRun && main->RunAll->isEnabled();
        if (row >= 6 && !switched) {
            // The operator turns both options on and changes the constant while the run goes on.
            main->Stoponerror1->trigger();
            main->Showtransfersummary1->trigger();
            main->ConstList->SetLines({"CK=C"});
            switched = true;
            main->RunAll->trigger(); // disabled: nothing happens
            try {
                (new TFTransfer(TFMain::RunSettings(), main->RunOptions()))->RunTransfer({"A"});
            } catch (const EKelvoError& e) {
                refused = e.Message() == "A transfer is already running.";
            }
        }
    });
    TScriptedAnswerer answers;
    // The failure of the first 5 passes unasked; the second one asks, and both summaries show.
    answers.AnswerMessage(mrYes).AnswerMessage(mrOk).AnswerMessage(mrOk);
    main->RunAll->trigger();
    EXPECT_TRUE(switched);
    EXPECT_TRUE(refused);
    EXPECT_FALSE(enabledDuringRun);
    EXPECT_TRUE(main->RunAll->isEnabled());
    EXPECT_FALSE(TFTransfer::RunActive());
    ASSERT_EQ(answers.Asked().size(), 3u);
    EXPECT_TRUE(answers.Asked()[0].text.endsWith("\rContinue?"));
    EXPECT_EQ(answers.Asked()[1].text, "A - Failed insert on 2 records.");
    EXPECT_EQ(answers.Asked()[2].text,
              "Data transfer ended with errors. 2 of 9 rows failed, see FailedData.sql.");

    // The window shows row 6 while it processes messages after copying row 7: the next record takes
    // the new constant.
    EXPECT_EQ(DestRows(), QStringList({"1B", "2B", "3B", "4B", "6B", "7B", "8C"}));
}

TEST_F(MainWindowRun, StartFlowRunsTheSelectedFlowAndNeedsTheFilter) {
    TScriptedAnswerer answers;
    main->RunFlow->trigger(); // nothing selected: nothing at all
    EXPECT_TRUE(answers.Asked().empty());
    main->FlowList->SelectLine("A");
    answers.AnswerPlain();
    main->RunFlow->trigger();
    EXPECT_EQ(answers.AskedTexts(), QStringList{"Napaka filter za pogodbe je prazen."});
    EXPECT_TRUE(DestRows().isEmpty());

    main->Filter->setText(" "); // a blank counts as a filter
    main->RunFlow->trigger();
    EXPECT_EQ(DestRows().size(), 7);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(FTransfer, nullptr);
}

TEST_F(MainWindowRun, TheWindowResizesKeepsItsPlaceAndTellsTheLastRunElided) {
    main->Filter->setText("X");
    TScriptedAnswerer answers;
    main->RunAll->trigger();
    EXPECT_TRUE(answers.Asked().empty());
    const QString whole =
        "Data transfer ended with errors. 2 of 9 rows failed, see FailedData.sql. Flows 1/1, "
        "records copied 7, failed 2, export file none.";
    EXPECT_EQ(main->LLastRun->toolTip(), whole);

    const int filterX = main->Filter->mapTo(main.get(), QPoint()).x();
    const int twentyCharacters = main->Filter->fontMetrics().horizontalAdvance(QString(20, QLatin1Char('0')));
    const struct {
        int width;
        bool elided;
    } cases[] = {{560, true}, {2400, false}, {700, true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.width);
        main->resize(c.width, 400);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
        EXPECT_EQ(main->width(), c.width);
        const QString shown = main->LLastRun->text();
        EXPECT_EQ(shown != whole, c.elided) << shown.toStdString();
        EXPECT_TRUE(shown.startsWith("Data transfer ended")) << shown.toStdString();
        EXPECT_EQ(shown.contains(QChar(0x2026)), c.elided);
        EXPECT_TRUE(shown.endsWith("export file none."));
        EXPECT_GE(main->Filter->width(), twentyCharacters);
        EXPECT_EQ(main->Filter->mapTo(main.get(), QPoint()).x(), filterX);
    }

    // Ctrl+Q closes the window, which leaves its place beside the other settings for the next start.
    main->setGeometry(40, 50, 900, 480);
    main->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(main.get()));
    QTest::keyClick(main.get(), Qt::Key_Q, Qt::ControlModifier);
    EXPECT_FALSE(main->isVisible());
    EXPECT_EQ(dir.ReadFile("TransferSettings.ini"),
              "[GENERAL]\r\nSCRIPTING=N\r\n[WINDOW]\r\nLEFT=40\r\nTOP=50\r\n"
              "WIDTH=900\r\nHEIGHT=480\r\nMAXIMIZED=N\r\n");
    TFMain next;
    next.show();
    EXPECT_EQ(next.geometry(), QRect(40, 50, 900, 480));
}

} // namespace
