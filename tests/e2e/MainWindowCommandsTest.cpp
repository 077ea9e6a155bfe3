#include <QAction>
#include <QFile>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>

#include "app/Data.h"
#include "app/ui/Main.h"
#include "fixtures/DialogDriver.h"
#include "fixtures/ProgramStart.h"
#include "fixtures/ScriptedAnswerer.h"
#include "fixtures/TestEnv.h"
#include "flows/ui/Flow.h"
#include "platform/IniFile.h"
#include "support/ui/SortedListBox.h"
#include "translations/ui/Translation.h"

namespace {

// A program in scripting mode with one flow A and one translation A, started to its main window.
class MainWindowCommands : public ::testing::Test {
protected:
    void SetUp() override {
        ExecOn("XQ", "create table TA (ID integer); create table TA_D (ID integer)");
        dir.WriteFile("Files/Flows.ini",
                      "[NAME]\r\nA=A.INI\r\n[TRANSLATION]\r\nA=A.ini\r\nzeta=zeta.ini\r\n");
        dir.WriteFile("Files/A.INI",
                      "[DATA]\r\nNAME=A\r\nSQL=N\r\n[SOURCE]\r\nNAME=TA\r\n[TARGET]\r\nNAME=TA_D\r\n"
                      "[FIELDS]\r\nID=ID\r\n");
        dir.WriteFile("Files/A.ini",
                      "[DATA]\r\nNAME=A\r\nTYPE=S\r\nDEFAULT=\r\n[SOURCE]\r\nTABLE=TA\r\nFIELD=ID\r\n"
                      "[TARGET]\r\nTABLE=TA_D\r\nFIELD=ID\r\n[TRANSLATIONS]\r\n1=one\r\n");
        Restart();
    }
    // Starts the program again on the same files.
    void Restart() { start.Start(true); }
    QAction* Command(const char* name) { return main->findChild<QAction*>(name); }
    QStringList Keys(const QString& section) {
        QStringList lines;
        IniReadSectionValues(D->FlowsIni, section, lines);
        for (QString& line : lines)
            line = line.section('=', 0, 0);
        return lines;
    }

    TTempProgramDir dir;
    TProgramStart start;
    std::unique_ptr<TD>& data = start.data;
    std::unique_ptr<TFMain>& main = start.main;
};

TEST_F(MainWindowCommands, RenamingATranslationMovesItsIndexKeyAndKeepsBothFiles) {
    EXPECT_EQ(main->TransList->Lines(), QStringList({"A", "zeta"}));
    TScriptedAnswerer answers;
    Command("Translations1")->trigger(); // nothing selected: nothing opens
    main->TransList->SelectLine("A");
    WhenShown<TFTranslation>([](TFTranslation& editor) {
        EXPECT_EQ(editor.ETranslationName->text(), "A");
        editor.ETranslationName->setText("B");
        QTest::mouseClick(editor.Button3, Qt::LeftButton);
    });
    Command("Translations1")->trigger(); // the filter is not needed
    EXPECT_EQ(main->TransList->Lines(), QStringList({"B", "zeta"}));
    EXPECT_EQ(main->TransList->SelectedLine(), "B");
    EXPECT_EQ(Keys("TRANSLATION"), QStringList({"zeta", "B"}));
    EXPECT_TRUE(QFile::exists(dir.FilePath("Files/A.ini")));
    EXPECT_NE(dir.ReadFile("Files/B.ini").indexOf("1=one"), -1);
}

TEST_F(MainWindowCommands, RenamingAFlowKeepsTheOldOneInTheIndexSoBothReturnAtTheNextStart) {
    TScriptedAnswerer answers;
    main->FlowList->SelectLine("A");
    answers.AnswerPlain();
    Command("EditFlow")->trigger();
    EXPECT_EQ(answers.AskedTexts(), QStringList{"Napaka filter za pogodbe je prazen."});

    main->Filter->setText("1");
    auto finishAs = [](const QString& name) {
        WhenShown<TFFlow>([name](TFFlow& wizard) {
            EXPECT_EQ(wizard.EFlowname->text(), "A");
            wizard.EFlowname->setText(name);
            for (QPushButton* button : {wizard.Button1, wizard.Button4, wizard.Button7})
                QTest::mouseClick(button, Qt::LeftButton);
        });
    };
    finishAs("A"); // saved under its own name: the list stays as it was
    Command("Editdataflow1")->trigger();
    EXPECT_EQ(main->FlowList->Lines(), QStringList{"A"});

    finishAs("B");
    QListWidget* list = main->FlowList;
    const QPoint at = list->visualItemRect(list->item(0)).center();
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, at); // a double click follows a click
    QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, at);
    EXPECT_EQ(main->FlowList->Lines(), QStringList{"B"});
    EXPECT_EQ(main->FlowList->SelectedLine(), "B");
    EXPECT_EQ(Keys("NAME"), QStringList({"A", "B"}));
    EXPECT_TRUE(QFile::exists(dir.FilePath("Files/A.INI")));
    EXPECT_TRUE(QFile::exists(dir.FilePath("Files/B.INI")));

    Restart();
    EXPECT_EQ(main->FlowList->Lines(), QStringList({"A", "B"}));
}

TEST_F(MainWindowCommands, NewFlowAndNewTranslationNeedNoFilterAndTakeTheirSortedPlace) {
    TScriptedAnswerer answers;
    WhenShown<TFFlow>([](TFFlow& wizard) {
        QTest::keyClicks(wizard.EFlowname, "a2");
        QTest::mouseClick(wizard.Button1, Qt::LeftButton); // the source is empty: its error keeps page 1
        wizard.done(QDialog::Rejected);
    });
    answers.AnswerPlain();
    Command("Newdataflow1")->trigger();
    EXPECT_EQ(main->FlowList->Lines(), QStringList{"A"});

    WhenShown<TFTranslation>([](TFTranslation& editor) {
        QTest::keyClicks(editor.ETranslationName, "mid");
        for (QLineEdit* field : {editor.ESTable, editor.ESFIeldname, editor.ETTable, editor.ETFieldName})
            field->setText("X");
        QTest::mouseClick(editor.Button3, Qt::LeftButton);
    });
    Command("Newtranslation1")->trigger();
    EXPECT_EQ(main->TransList->Lines(), QStringList({"A", "MID", "zeta"}));
    EXPECT_EQ(Command("Newtranslation1")->shortcut(), QKeySequence(Qt::Key_F4));
    EXPECT_EQ(Command("Newdataflow1")->shortcut(), QKeySequence(Qt::Key_F3));
}

} // namespace
