#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTest>
#include <gtest/gtest.h>

#include "app/Data.h"
#include "app/ui/Properties.h"
#include "fixtures/DialogDriver.h"
#include "fixtures/KelvoIni.h"
#include "fixtures/ProgramStart.h"
#include "fixtures/ScriptedAnswerer.h"
#include "fixtures/TestEnv.h"

namespace {

class Properties : public ::testing::Test {
protected:
    void Start(const QByteArray& settings) {
        dir.WriteFile("KELVO.INI", KelvoIniText("PRODDB", "operater", "skrivno"));
        dir.WriteFile("TransferSettings.ini", settings);
        start.Start(false);
    }
    // Opens the dialog, shows what it offers, types text (when given) and presses key.
    bool Edit(std::optional<QString> text, Qt::Key key, QString* offered = nullptr, int batchRows = 0) {
        WhenShown<TFProperties>([&](TFProperties& dialog) {
            if (offered)
                *offered = dialog.DateFormat->text();
            if (text)
                dialog.DateFormat->setText(*text);
            if (batchRows)
                dialog.BatchRows->setValue(batchRows);
            PressKey(&dialog, key);
        });
        return (new TFProperties())->EditProperties();
    }
    QByteArray Settings() const { return dir.ReadFile("TransferSettings.ini"); }

    TTempProgramDir dir;
    TProgramStart start;
};

TEST_F(Properties, OkStoresTheFormatAndRunsItOnTheDestinationCancelTouchesNothing) {
    Start("[GENERAL]\r\nSCRIPTING=Y\r\nMSSQL_DATEFORMAT=dmy\r\n");
    EXPECT_FALSE(D->DBD.Connected());
    {
        TScriptedAnswerer answers;
        QString offered;
        EXPECT_FALSE(Edit("ymd", Qt::Key_Escape, &offered));
        EXPECT_EQ(offered, "dmy");
        EXPECT_EQ(Settings(), "[GENERAL]\r\nSCRIPTING=Y\r\nMSSQL_DATEFORMAT=dmy\r\n");
        EXPECT_FALSE(D->DBD.Connected());
        EXPECT_TRUE(D->Qr.SQL.isEmpty());
    }
    {
        // In scripting mode too the destination is opened to run the statement; SQLite refuses it, and
        // the refusal is raised and the stored value stays as it was.
        TScriptedAnswerer answers;
        answers.AnswerLogin(std::pair<QString, QString>("", ""));
        EXPECT_THROW(Edit(std::nullopt, Qt::Key_Return), std::exception); // unchanged value: run again
        EXPECT_EQ(D->Qr.SQL, QStringList{"set dateformat dmy"});
        EXPECT_TRUE(D->DBD.Connected());
    }
    {
        TScriptedAnswerer answers;
        D->Qr.SQL.clear();
        EXPECT_TRUE(Edit("", Qt::Key_Return));
        EXPECT_EQ(Settings(), "[GENERAL]\r\nSCRIPTING=Y\r\nMSSQL_DATEFORMAT=\r\n");
        EXPECT_TRUE(D->Qr.SQL.isEmpty()); // an empty format runs nothing
    }
    {
        // The rows per INSERT: written when changed, in force for the next run at once.
        TScriptedAnswerer answers;
        EXPECT_TRUE(Edit(std::nullopt, Qt::Key_Return, nullptr, 500));
        EXPECT_EQ(Settings(), "[GENERAL]\r\nSCRIPTING=Y\r\nMSSQL_DATEFORMAT=\r\nBATCH_ROWS=500\r\n");
        EXPECT_EQ(D->BatchRows, 500);
    }
}

} // namespace
