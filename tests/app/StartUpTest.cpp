#include <QApplication>
#include <QTimer>
#include <gtest/gtest.h>

#include "app/Data.h"
#include "app/ui/Main.h"
#include "app/ui/StartUp.h"
#include "fixtures/ScriptedAnswerer.h"
#include "fixtures/TestEnv.h"

namespace {

TEST(StartUp, ShowsTheMainWindowWithTheDataModuleReadyAndEndsWhenItCloses) {
    TestEnv::ResetSqlite("XQ");
    TTempProgramDir dir;
    TScriptedAnswerer answers;
    bool checked = false;
    QTimer::singleShot(0, [&] {
        ASSERT_NE(FMain, nullptr);
        ASSERT_NE(D, nullptr);
        EXPECT_TRUE(FMain->isVisible());
        EXPECT_EQ(FMain->windowTitle(), "KELVO Data transfer");
        EXPECT_EQ(QApplication::applicationName(), "Kelvo data transfer");
        EXPECT_TRUE(D->Scripting);
        EXPECT_TRUE(D->DBS.Connected());
        checked = true;
        FMain->close();
    });
    EXPECT_EQ(RunProgram(*qApp), 0);
    EXPECT_TRUE(checked);
    EXPECT_EQ(D, nullptr);
    EXPECT_EQ(FMain, nullptr);
}

TEST(StartUp, AnsweringYesToTheConnectionQuestionEndsTheProgramWithoutShowingIt) {
    TTempProgramDir dir;
    dir.WriteFile("TransferSettings.ini", "[GENERAL]\r\nSCRIPTING=N\r\n");
    TScriptedAnswerer answers;
    answers.AnswerLogin(std::nullopt).AnswerPlain().AnswerMessage(mrYes);
    bool shown = false;
    QTimer::singleShot(0, [&] {
        shown = FMain && FMain->isVisible();
        if (FMain)
            FMain->close(); // keeps a wrong implementation from hanging the test
    });
    EXPECT_EQ(RunProgram(*qApp), 0);
    EXPECT_FALSE(shown);
}

} // namespace
