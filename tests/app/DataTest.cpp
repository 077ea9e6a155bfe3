#include <QDir>
#include <gtest/gtest.h>

#include "app/Data.h"
#include "app/SourceLogin.h"
#include "fixtures/KelvoIni.h"
#include "fixtures/ProgramStart.h"
#include "fixtures/ScriptedAnswerer.h"
#include "fixtures/TestEnv.h"
#include "platform/IniFile.h"
#include "support/DBgesloKELVO.h"

namespace {

class DataModule : public ::testing::Test {
protected:
    void Settings(const QByteArray& text) { dir.WriteFile("TransferSettings.ini", text); }
    // The data module, made with the test's answerer answering what it asks.
    TD& Start() { return start.Start(false, TStartAnswers::Test); }

    TTempProgramDir dir;
    TProgramStart start;
};

TEST_F(DataModule, NoSettingsFileStartsInScriptingModeWithOnlyTheSourceOpen) {
    dir.WriteFile("KELVO.INI", KelvoIniText("PRODDB", "operater", "skrivno"));
    TD& d = start.Start(false); // nothing may be asked: no login prompt, no date format
    EXPECT_TRUE(d.Scripting);
    EXPECT_TRUE(d.DBS.Connected());
    EXPECT_FALSE(d.DBD.Connected());
    EXPECT_EQ(d.UserName, "operater");
    EXPECT_EQ(d.Password, "skrivno");
    EXPECT_EQ(d.DBS.Params, QStringList({"USER NAME=operater", "PASSWORD=skrivno"}));
    EXPECT_EQ(d.FlowsIni, dir.Path() + "Files/Flows.ini");
    EXPECT_TRUE(d.ContractFilter.isEmpty());
    EXPECT_FALSE(d.TerminateRequested);
    EXPECT_TRUE(d.Qr.SQL.isEmpty());
}

TEST_F(DataModule, OnlyAnExactUpperCaseYMeansScripting) {
    for (const QByteArray value : {"y", "N", "yes", ""}) {
        Settings("[GENERAL]\r\nSCRIPTING=" + value + "\r\n");
        TScriptedAnswerer answers;
        answers.AnswerLogin(std::pair<QString, QString>("dest", "pw"));
        TD& d = Start();
        EXPECT_FALSE(d.Scripting) << value.constData();
        EXPECT_TRUE(d.DBD.Connected()) << value.constData();
        EXPECT_TRUE(d.DBS.Connected()) << value.constData();
        ASSERT_EQ(answers.Asked().size(), 1u);
        EXPECT_EQ(answers.Asked()[0].text, "DnsDest");
    }
    Settings("[general]\r\nscripting=Y\r\n");
    EXPECT_TRUE(start.Start(false).Scripting);
}

TEST_F(DataModule, DateFormatRunsOnlyInDirectModeWithTheDestinationConnected) {
    Settings("[GENERAL]\r\nSCRIPTING=Y\r\nMSSQL_DATEFORMAT=dmy\r\n");
    {
        TD& d = start.Start(false);
        EXPECT_TRUE(d.Qr.SQL.isEmpty());
        EXPECT_FALSE(d.DBD.Connected());
    }
    // SQLite does not know the statement: the engine's refusal reaches the general error handler and
    // start-up goes on with both connections.
    Settings("[GENERAL]\r\nSCRIPTING=N\r\nMSSQL_DATEFORMAT=dmy\r\n");
    TScriptedAnswerer answers;
    answers.AnswerLogin(std::pair<QString, QString>("", "")).AnswerPlain();
    TD& d = Start();
    EXPECT_EQ(d.Qr.SQL, QStringList({"set dateformat dmy"}));
    EXPECT_TRUE(d.DBS.Connected());
    EXPECT_TRUE(d.DBD.Connected());
    ASSERT_EQ(answers.Asked().size(), 2u);
    EXPECT_FALSE(answers.Asked()[1].text.isEmpty());
    EXPECT_FALSE(d.TerminateRequested);
}

TEST_F(DataModule, FailedDestinationAsksWhetherToEndAndLeavesTheSourceClosed) {
    Settings("[GENERAL]\r\nSCRIPTING=N\r\n");
    for (int answer : {mrNo, mrYes}) {
        TScriptedAnswerer answers;
        answers.AnswerLogin(std::nullopt).AnswerPlain().AnswerMessage(answer);
        TD& d = Start();
        EXPECT_FALSE(d.DBD.Connected());
        EXPECT_FALSE(d.DBS.Connected());
        EXPECT_EQ(d.TerminateRequested, answer == mrYes);
        ASSERT_EQ(answers.Asked().size(), 3u);
        EXPECT_FALSE(answers.Asked()[1].text.isEmpty()); // the engine's own message
        EXPECT_EQ(answers.Asked()[2].text, "No database connection. Do you want to end application?");
        EXPECT_EQ(answers.Asked()[2].type, mtConfirmation);
        EXPECT_EQ(d.FlowsIni, dir.Path() + "Files/Flows.ini");
    }
}

TEST_F(DataModule, FailedSourceShowsTheEngineTextThenAsks) {
    // A folder where the SQLite file should be makes the source refuse to open.
    QDir().mkpath(TestEnv::SqliteFile("XQ"));
    TScriptedAnswerer answers;
    answers.AnswerPlain().AnswerMessage(mrNo);
    TD& d = Start();
    QDir(TestEnv::SqliteFile("XQ")).removeRecursively();
    EXPECT_FALSE(d.DBS.Connected());
    EXPECT_TRUE(d.Scripting);
    EXPECT_FALSE(d.TerminateRequested);
    ASSERT_EQ(answers.Asked().size(), 2u);
    EXPECT_FALSE(answers.Asked()[0].text.isEmpty());
}

// Without its data source the start names it, the files unixODBC looked in and where to read how to
// define one, and then asks as before whether to end.
TEST_F(DataModule, AMissingDataSourceIsNamedWithTheFilesSearched) {
    const struct {
        const char* scripting;
        const char* defined;
        const char* missing;
    } cases[] = {{"Y", "DnsDest", "XQ"}, {"N", "XQ", "DnsDest"}};
    const QByteArray odbcIni = qgetenv("ODBCINI");
    for (const auto& c : cases) {
        SCOPED_TRACE(c.missing);
        Settings(QByteArray("[GENERAL]\r\nSCRIPTING=") + c.scripting + "\r\n");
        const QString ini = dir.FilePath("odbc.ini");
        dir.WriteFile("odbc.ini", QString("[%1]\nDriver=SQLite3\nDatabase=%2\n")
                                      .arg(c.defined, TestEnv::SqliteFile(c.defined))
                                      .toUtf8());
        qputenv("ODBCINI", ini.toLocal8Bit());
        TScriptedAnswerer answers;
        if (QString(c.scripting) == "N")
            answers.AnswerLogin(std::pair<QString, QString>("", ""));
        answers.AnswerPlain().AnswerMessage(mrYes);
        TD& d = Start();
        qputenv("ODBCINI", odbcIni);
        EXPECT_TRUE(d.TerminateRequested);
        const QStringList asked = answers.AskedTexts();
        ASSERT_GE(asked.size(), 2);
        const QString system = qEnvironmentVariableIsSet("ODBCSYSINI")
                                   ? qEnvironmentVariable("ODBCSYSINI") + "/odbc.ini"
                                   : "/etc/odbc.ini";
        for (const QString& part :
             {QString("The ODBC data source %1 is not defined").arg(c.missing),
              ini + " (named by ODBCINI) or " + system, QString("\"Pointing it at your databases\""),
              QString("Data source name not found")})
            EXPECT_TRUE(asked[asked.size() - 2].contains(part)) << asked[asked.size() - 2].toStdString();
        EXPECT_EQ(asked.constLast(), "No database connection. Do you want to end application?");
    }
}

// File > Source login stores what the prompt gave in KELVO.INI and opens the source that was not open.
TEST_F(DataModule, SourceLoginIsStoredAndOpensTheSource) {
    dir.WriteFile("KELVO.INI", KelvoIniText("PRODDB", "operater", "skrivno"));
    QDir().mkpath(TestEnv::SqliteFile("XQ")); // the source cannot open at the start
    TScriptedAnswerer starting;
    starting.AnswerPlain().AnswerMessage(mrNo);
    TD& d = Start();
    QDir(TestEnv::SqliteFile("XQ")).removeRecursively();
    TScriptedAnswerer answers;
    answers.AnswerLogin(std::pair<QString, QString>("novi", "geslo")).AnswerPlain();
    AskSourceLogin();
    ASSERT_EQ(answers.Asked().size(), 2u);
    EXPECT_EQ(answers.Asked()[0].text, "XQ");
    EXPECT_TRUE(answers.Asked()[1].text.endsWith("is now connected."))
        << answers.Asked()[1].text.toStdString();
    EXPECT_TRUE(d.DBS.Connected());
    QString database, user, password, mode;
    ReadLoginSettings(database, user, password, mode);
    EXPECT_EQ(QStringList({database, user, password, mode}),
              QStringList({"PRODDB", "novi", "geslo", "TEST"}));
}

TEST_F(DataModule, SettingsOperationsReadAndWriteThroughIniRules) {
    TD& d = start.Start(false);
    const QString file = d.FlowsIni;
    QStringList list{"stale"};
    EXPECT_TRUE(d.IniReadSectionValues(file, "NAME", list));
    EXPECT_TRUE(list.isEmpty());
    EXPECT_TRUE(d.IniWriteSection(file, "CONSTANTS", {"A=B=C", "FIRMA=Kelvo"}));
    EXPECT_EQ(d.IniReadString(file, "constants", "a", "x"), "B=C");
    d.IniReadSectionValues(file, "Constants", list);
    EXPECT_EQ(list, QStringList({"A=B=C", "FIRMA=Kelvo"}));
    d.IniWriteString(file, "NAME", "CUSTOMERS", "CUSTOMERS.INI");
    EXPECT_TRUE(d.IniDeleteKey(file, "CONSTANTS", "A"));
    d.IniReadSectionValues(file, "CONSTANTS", list);
    EXPECT_EQ(list, QStringList({"FIRMA=Kelvo"}));
    EXPECT_TRUE(d.IniWriteSection(file, "CONSTANTS", {}));
    d.IniReadSectionValues(file, "CONSTANTS", list);
    EXPECT_TRUE(list.isEmpty());
    EXPECT_EQ(d.IniReadString(file, "Name", "customers", ""), "CUSTOMERS.INI");
    EXPECT_TRUE(d.IniEraseSection(file, "NAME"));
    EXPECT_EQ(d.IniReadString(file, "NAME", "CUSTOMERS", "gone"), "gone");
    try {
        d.IniWriteString(dir.Path() + "Missing/x.ini", "A", "B", "C");
        ADD_FAILURE() << "a write into a missing folder must fail";
    } catch (const EKelvoError& e) {
        EXPECT_EQ(e.Message(), "Unable to write to " + dir.Path() + "Missing/x.ini");
    }
}

} // namespace
