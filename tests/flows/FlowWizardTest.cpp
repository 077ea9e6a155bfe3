#include <QCheckBox>
#include <QDir>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QStackedWidget>
#include <QTest>
#include <QToolButton>
#include <functional>
#include <gtest/gtest.h>

#include "app/Data.h"
#include "app/ui/Main.h"
#include "fixtures/DialogDriver.h"
#include "fixtures/Printers.h"
#include "fixtures/ProgramStart.h"
#include "fixtures/ScriptedAnswerer.h"
#include "fixtures/TestEnv.h"
#include "fixtures/WorkedFlow.h"
#include "flows/ui/Flow.h"
#include "platform/IniFile.h"
#include "query/Database.h"
#include "support/ui/SortedListBox.h"
#include "translations/ui/Translation.h"

inline void PrintTo(const QByteArray& bytes, std::ostream* os) {
    *os << '"' << bytes.toStdString() << '"';
}

namespace {

// A program directory, the data module on the SQLite test sources and a main window listing flows.
class FlowWizard : public ::testing::Test {
protected:
    void SetUp() override {
        start.Start(true);
        D->ContractFilter = "1=1";
        FMain->FlowList->SetLines({"REGIONS", "ORDERS", "CUSTOMERS"});
        ExecOn("XQ", "create table CUST (ID integer, NAME varchar(40), KIND varchar(10))");
        ExecOn("DnsDest", "create table CLIENT (CLIENT_ID integer, CLIENT_NAME varchar(40), "
                          "CLIENT_KIND varchar(10), REGION varchar(10))");
    }
    void TearDown() override { QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete); }
    // The destination opened, statements go to it instead of a script file.
    void DirectMode() {
        D->Scripting = false;
        D->DBD.LoginPrompt = false;
        D->DBD.Open();
    }
    // Runs a new wizard through OpenForNew or OpenForEdit and checks that it releases itself.
    bool Run(bool edit, QString& name, std::function<void(TFFlow&)> steps) {
        auto* wizard = new TFFlow(FMain->FlowWizardHost());
        QPointer<TFFlow> guard(wizard);
        WhenShown<TFFlow>(std::move(steps));
        const bool saved = edit ? wizard->OpenForEdit(name) : wizard->OpenForNew(name);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        EXPECT_TRUE(guard.isNull()) << "the wizard releases itself";
        return saved;
    }
    QByteArray FlowFileBytes(const QString& name) const { return dir.ReadFile("Files/" + name + ".INI"); }

    TTempProgramDir dir;
    TProgramStart start;
};

// The operator builds the worked example: a statement source, four kinds of mapping, one dependency.
void BuildCustomers(TFFlow& w) {
    Type(w.EFlowname, "customers");
    EXPECT_EQ(w.EFlowname->text(), "CUSTOMERS");
    TypeLines(w.MFromtable, {"SELECT ID, NAME, KIND FROM CUST", "WHERE %FILTERPOG%"});
    Click(w.CSql);
    Type(w.ETotable, "CLIENT");
    Click(w.Button1);
    ASSERT_EQ(w.Page(), 1);
    EXPECT_EQ(Lines(w.FieldListFrom), QStringList({"ID", "NAME", "KIND"}));
    EXPECT_EQ(Lines(w.FieldListTo), QStringList({"CLIENT_ID", "CLIENT_NAME", "CLIENT_KIND", "REGION"}));
    Select(w.FieldListFrom, "ID");
    Select(w.FieldListTo, "CLIENT_ID");
    Click(w.bId);
    Select(w.FieldListFrom, "NAME");
    Select(w.FieldListTo, "CLIENT_NAME");
    Click(w.BitBtn1);
    Select(w.FieldListFrom, "KIND");
    Select(w.FieldListTo, "CLIENT_KIND");
    Click(w.Button14);
    Select(w.FieldListTo, "REGION");
    Click(w.Button15);
    EXPECT_TRUE(Lines(w.FieldListTo).isEmpty());
    Click(w.Button4);
    ASSERT_EQ(w.Page(), 2);
    EXPECT_EQ(w.FKFlows->Lines(), QStringList({"CUSTOMERS", "ORDERS", "REGIONS"}));
    Select(w.FKFlows, "REGIONS");
    Click(w.Button11);
    Click(w.Button7);
}

TEST_F(FlowWizard, NewFlowIsSavedAsTheOperatorBuiltItAndReadsBackForEditing) {
    DirectMode();
    QString name = "ignored";
    {
        TScriptedAnswerer answers;
        answers.AnswerInput("KINDS").AnswerInput("DEFREGION");
        EXPECT_TRUE(Run(false, name, BuildCustomers));
        ASSERT_EQ(answers.Asked().size(), 2u);
        EXPECT_EQ(answers.Asked()[0].caption, "Translation");
        EXPECT_EQ(answers.Asked()[0].text, "Translation name");
        EXPECT_EQ(answers.Asked()[1].caption, "Supply constant");
        EXPECT_EQ(answers.Asked()[1].text, "Constand ID");
    }
    EXPECT_EQ(name, "CUSTOMERS");
    EXPECT_EQ(FlowFileBytes("CUSTOMERS"), CustomersFile);
    EXPECT_EQ(IniReadString(D->FlowsIni, "NAME", "CUSTOMERS", ""), "CUSTOMERS.INI");

    // Opened again: the controls show what was saved, and Finish writes the same file.
    TScriptedAnswerer nothingAsked;
    name = "customers";
    EXPECT_TRUE(Run(true, name, [](TFFlow& w) {
        EXPECT_EQ(w.Page(), 0);
        EXPECT_EQ(w.EFlowname->text(), "CUSTOMERS");
        EXPECT_EQ(w.MFromtable->toPlainText(), "SELECT ID, NAME, KIND FROM CUST WHERE %FILTERPOG%");
        EXPECT_TRUE(w.CSql->isChecked());
        EXPECT_EQ(w.ETotable->text(), "CLIENT");
        EXPECT_EQ(Lines(w.FieldListFrom), QStringList({"ID", "NAME", "KIND"}));
        EXPECT_TRUE(Lines(w.FieldListTo).isEmpty());
        EXPECT_EQ(Lines(w.MapFieldList), QStringList({"CLIENT_ID=ID", "CLIENT_NAME=NAME", "CLIENT_KIND=KIND",
                                                      "REGION=CONST(DEFREGION)"}));
        EXPECT_EQ(Lines(w.TransList), QStringList({"CLIENT_ID=GEN_ID", "CLIENT_KIND=KINDS"}));
        EXPECT_FALSE(w.TransList->isVisible());
        // The flow itself and its dependent flow are not offered.
        EXPECT_EQ(w.FKFlows->Lines(), QStringList({"ORDERS"}));
        EXPECT_EQ(w.FKDependentFlows->Lines(), QStringList({"REGIONS"}));
        Click(w.Button1);
        Click(w.Button4);
        Click(w.Button7);
    }));
    EXPECT_EQ(name, "CUSTOMERS");
    EXPECT_EQ(FlowFileBytes("CUSTOMERS"), CustomersFile);
}

TEST_F(FlowWizard, CancelEscapeAndTheCloseBoxSaveNothingAndEnterPressesThePagesDefault) {
    TScriptedAnswerer nothingAsked;
    QString name;
    EXPECT_FALSE(Run(false, name, [](TFFlow& w) {
        Type(w.EFlowname, "abc");
        Click(w.Button2);
    }));
    EXPECT_EQ(name, "ABC");
    EXPECT_FALSE(Run(false, name, [](TFFlow& w) {
        Type(w.EFlowname, "esc");
        Type(w.MFromtable, "CUST");
        Click(w.Button1);
        ASSERT_EQ(w.Page(), 1);
        QTest::keyClick(w.FieldListFrom, Qt::Key_Escape);
    }));
    EXPECT_EQ(name, "ESC");
    EXPECT_FALSE(Run(false, name, [](TFFlow& w) {
        Type(w.EFlowname, "x");
        Type(w.MFromtable, "CUST");
        Click(w.Button1);
        Click(w.Button4);
        ASSERT_EQ(w.Page(), 2);
        Click(w.Button8);
    }));
    EXPECT_FALSE(Run(false, name, [](TFFlow& w) {
        Type(w.EFlowname, "y");
        w.close();
    }));
    EXPECT_EQ(name, "Y");
    EXPECT_TRUE(QDir(dir.FilePath("Files")).entryList(QDir::Files).isEmpty());

    // Enter presses the page's default button: none on page 1, Next on page 2, Finish on page 3.
    EXPECT_TRUE(Run(false, name, [](TFFlow& w) {
        Type(w.EFlowname, "enter");
        QTest::keyClick(w.EFlowname, Qt::Key_Return);
        EXPECT_EQ(w.Page(), 0);
        TypeLines(w.MFromtable, {"CUST", ""});
        EXPECT_EQ(w.MFromtable->toPlainText(), "CUST\n") << "Enter in the memo starts a line";
        Click(w.Button1);
        ASSERT_EQ(w.Page(), 1);
        EXPECT_TRUE(w.Button4->isDefault());
        QTest::keyClick(w.FieldListFrom, Qt::Key_Return);
        ASSERT_EQ(w.Page(), 2);
        QTest::keyClick(w.FKFlows, Qt::Key_Return);
    }));
    EXPECT_EQ(name, "ENTER");
}

TEST_F(FlowWizard, FinishRefusesAnEmptyOrUnusableNameAndStaysOpen) {
    TScriptedAnswerer answers;
    answers.AnswerPlain().AnswerPlain();
    QString name;
    EXPECT_TRUE(Run(false, name, [](TFFlow& w) {
        Type(w.MFromtable, "CUST");
        Click(w.Button1);
        Click(w.Button4);
        Click(w.Button7);
        EXPECT_TRUE(w.isVisible());
        EXPECT_EQ(w.Page(), 2);
        Click(w.Button6);
        Click(w.Button3);
        Type(w.EFlowname, "a/b");
        Click(w.Button1);
        Click(w.Button4);
        Click(w.Button7);
        EXPECT_TRUE(w.isVisible());
        Click(w.Button6);
        Click(w.Button3);
        w.EFlowname->clear();
        Type(w.EFlowname, "ok");
        Click(w.Button1);
        Click(w.Button4);
        Click(w.Button7);
    }));
    EXPECT_EQ(name, "OK");
    const QStringList messages = answers.AskedTexts();
    ASSERT_EQ(messages.size(), 2);
    EXPECT_TRUE(messages[0].contains("name")) << messages[0].toStdString();
    EXPECT_TRUE(messages[1].contains("A/B")) << messages[1].toStdString();
    EXPECT_EQ(QDir(dir.FilePath("Files")).entryList(QDir::Files), QStringList({"Flows.ini", "OK.INI"}));
}

TEST_F(FlowWizard, ColumnListErrorsKeepPageOneAndANewFlowRefillsOnEveryNext) {
    DirectMode();
    TScriptedAnswerer answers;
    answers.AnswerPlain().AnswerPlain();
    QString name;
    EXPECT_TRUE(Run(false, name, [](TFFlow& w) {
        Type(w.EFlowname, "f");
        Type(w.MFromtable, "NO_SUCH");
        Type(w.ETotable, "CLIENT");
        Click(w.Button1);
        EXPECT_EQ(w.Page(), 0) << "a missing source table";
        w.MFromtable->setPlainText("CUST");
        w.ETotable->setText("NO_SUCH");
        Click(w.Button1);
        EXPECT_EQ(w.Page(), 0) << "a missing destination table";
        EXPECT_EQ(Lines(w.FieldListFrom), QStringList({"ID", "NAME", "KIND"})) << "filled before the error";
        w.ETotable->setText("CLIENT");
        Click(w.Button1);
        ASSERT_EQ(w.Page(), 1);
        Select(w.FieldListFrom, "NAME");
        Select(w.FieldListTo, "CLIENT_NAME");
        Click(w.BitBtn1);
        EXPECT_EQ(Lines(w.FieldListTo), QStringList({"CLIENT_ID", "CLIENT_KIND", "REGION"}));
        // Back and on again: both lists come anew, the mapping stays, the mapped column is offered again.
        Click(w.Button3);
        Click(w.Button1);
        EXPECT_EQ(Lines(w.FieldListTo), QStringList({"CLIENT_ID", "CLIENT_NAME", "CLIENT_KIND", "REGION"}));
        EXPECT_EQ(Lines(w.MapFieldList), QStringList({"CLIENT_NAME=NAME"}));
        Click(w.Button4);
        Click(w.Button7);
    }));
    ASSERT_EQ(answers.Asked().size(), 2u);
    EXPECT_TRUE(answers.Asked()[0].text.contains("NO_SUCH", Qt::CaseInsensitive))
        << answers.Asked()[0].text.toStdString();

    // Editing fills the lists once; a changed source on page 1 does not refill them.
    ExecOn("XQ", "create table OTHER (Z integer)");
    // Nothing more is scripted: a refill would fail on the empty destination and ask.
    EXPECT_TRUE(Run(true, name, [](TFFlow& w) {
        EXPECT_EQ(Lines(w.FieldListTo), QStringList({"CLIENT_ID", "CLIENT_KIND", "REGION"}));
        w.MFromtable->setPlainText("OTHER");
        w.ETotable->clear();
        Click(w.Button1);
        ASSERT_EQ(w.Page(), 1);
        EXPECT_EQ(Lines(w.FieldListFrom), QStringList({"ID", "NAME", "KIND"}));
        Click(w.Button4);
        Click(w.Button7);
    }));
    EXPECT_EQ(IniReadString(dir.FilePath("Files/F.INI"), "SOURCE", "NAME", ""), "OTHER");
}

TEST_F(FlowWizard, AFailingLoadRaisesToTheCallerWithoutShowingTheWindow) {
    TScriptedAnswerer nothingAsked;
    struct TShowSpy : QObject {
        bool shown = false;
        bool eventFilter(QObject*, QEvent* event) override {
            shown = shown || event->type() == QEvent::Show;
            return false;
        }
    } spy;
    auto* wizard = new TFFlow(FMain->FlowWizardHost());
    wizard->installEventFilter(&spy);
    QPointer<TFFlow> guard(wizard);
    QString name = "MISSING";
    EXPECT_THROW(wizard->OpenForEdit(name), EKelvoError) << "a flow missing from the index has no source";
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(guard.isNull());
    EXPECT_FALSE(spy.shown);
}

TEST_F(FlowWizard, ScriptingModeTakesTheDestinationColumnsFromTheSource) {
    ASSERT_TRUE(D->Scripting);
    TScriptedAnswerer nothingAsked;
    D->ContractFilter = "NAME";
    QString name;
    EXPECT_TRUE(Run(false, name, [](TFFlow& w) {
        Type(w.EFlowname, "s");
        Type(w.MFromtable, "select KIND, %filterpog% from CUST");
        Click(w.CSql);
        Type(w.ETotable, "NOT_ASKED");
        Click(w.Button1);
        ASSERT_EQ(w.Page(), 1);
        EXPECT_EQ(Lines(w.FieldListFrom), QStringList({"KIND", "NAME"}));
        EXPECT_EQ(Lines(w.FieldListTo), QStringList({"KIND", "NAME"}));
        Click(w.Button13);
        EXPECT_EQ(Lines(w.MapFieldList), QStringList({"NAME=NAME", "KIND=KIND"}));
        Click(w.Button4);
        Click(w.Button7);
    }));
    EXPECT_FALSE(D->DBD.Connected());
    EXPECT_EQ(IniReadString(dir.FilePath("Files/S.INI"), "SOURCE", "NAME", ""),
              "select KIND, %filterpog% from CUST")
        << "the file keeps the placeholder";
}

TEST_F(FlowWizard, MappingButtonsViewTransAndRemoveOnTheWindow) {
    DirectMode();
    ExecOn("DnsDest", "create table CUSTCOPY (kind varchar(10), Id integer, EXTRA integer)");
    TScriptedAnswerer answers;
    QString name;
    EXPECT_TRUE(Run(false, name, [&answers](TFFlow& w) {
        Type(w.EFlowname, "m");
        Type(w.MFromtable, "CUST");
        Type(w.ETotable, "CUSTCOPY");
        Click(w.Button1);
        ASSERT_EQ(w.Page(), 1);
        // "Translate" asks even without a selection, then does nothing.
        answers.AnswerInput("KINDS");
        Click(w.Button14);
        EXPECT_TRUE(Lines(w.MapFieldList).isEmpty());
        // "Constant" without a destination asks nothing.
        Click(w.Button15);
        Click(w.Button13);
        EXPECT_EQ(Lines(w.MapFieldList), QStringList({"kind=KIND", "Id=ID"}));
        EXPECT_EQ(Lines(w.FieldListTo), QStringList({"EXTRA"}));
        Select(w.FieldListFrom, "ID");
        Select(w.FieldListTo, "EXTRA");
        Click(w.bId);
        EXPECT_EQ(Lines(w.TransList), QStringList({"EXTRA=GEN_ID"}));

        EXPECT_FALSE(w.VTrans->isEnabled());
        Select(w.MapFieldList, "EXTRA=ID");
        EXPECT_TRUE(w.VTrans->isEnabled());
        answers.AnswerMessage(mrOk);
        Click(w.VTrans);
        Select(w.MapFieldList, "kind=KIND");
        EXPECT_FALSE(w.VTrans->isEnabled());
        Select(w.MapFieldList, "EXTRA=ID");
        Click(w.BitBtn2);
        EXPECT_TRUE(Lines(w.TransList).isEmpty());
        EXPECT_EQ(Lines(w.FieldListTo), QStringList({"EXTRA"}));
        EXPECT_FALSE(w.VTrans->isEnabled()) << "no line is selected after the removal";
        w.VTransClick(); // with nothing selected: no message, no error
        Click(w.BitBtn2);
        EXPECT_EQ(Lines(w.MapFieldList), QStringList({"kind=KIND", "Id=ID"}));

        // Dependent flows move both ways and stay sorted.
        Click(w.Button4);
        Select(w.FKFlows, "ORDERS");
        Click(w.Button11);
        Select(w.FKFlows, "CUSTOMERS");
        Click(w.Button11);
        Click(w.Button11); // nothing selected any more
        EXPECT_EQ(w.FKDependentFlows->Lines(), QStringList({"CUSTOMERS", "ORDERS"}));
        Select(w.FKDependentFlows, "ORDERS");
        Click(w.Button12);
        EXPECT_EQ(w.FKFlows->Lines(), QStringList({"ORDERS", "REGIONS"}));
        Click(w.Button7);
    }));
    ASSERT_EQ(answers.Asked().size(), 2u);
    EXPECT_EQ(answers.Asked()[1].type, mtInformation);
    EXPECT_EQ(answers.Asked()[1].text, "GEN_ID");
    EXPECT_EQ(FlowFileBytes("M"), "[DATA]\r\nNAME=M\r\nSQL=N\r\n[SOURCE]\r\nNAME= CUST\r\n[TARGET]\r\n"
                                  "NAME=CUSTCOPY\r\n[FIELDS]\r\nkind=KIND\r\nId=ID\r\n"
                                  "[DEPENDENT]\r\nCUSTOMERS=CUSTOMERS\r\n");
}

TEST_F(FlowWizard, NewConstGoesToTheMainWindowAndTheStore) {
    TScriptedAnswerer answers;
    answers.AnswerInput(std::nullopt).AnswerInput("DEFREGION").AnswerInput("EU");
    QString name;
    EXPECT_FALSE(Run(false, name, [](TFFlow& w) {
        Type(w.MFromtable, "CUST");
        Click(w.Button1);
        Click(w.BNewCons); // cancelled at the first question
        Click(w.BNewCons);
        EXPECT_TRUE(Lines(w.MapFieldList).isEmpty());
        Click(w.Button5);
    }));
    EXPECT_EQ(answers.Asked().size(), 3u);
    EXPECT_EQ(answers.Asked()[1].caption, "Supply Constant ID");
    EXPECT_EQ(answers.Asked()[2].caption, "Supply Constant value");
    EXPECT_EQ(FMain->ConstList->Lines(), QStringList({"DEFREGION=EU"}));
    EXPECT_EQ(IniReadString(D->FlowsIni, "CONSTANTS", "DEFREGION", ""), "EU");
}

TEST_F(FlowWizard, NewTransAddsTheSavedTranslationToTheMainWindow) {
    DirectMode();
    TScriptedAnswerer nothingAsked;
    // Operates the translation editor that "New trans" opens.
    auto editNew = [](bool save) {
        WhenShown<TFTranslation>([save](TFTranslation& editor) {
            EXPECT_TRUE(editor.ETranslationName->text().isEmpty()) << "a new translation";
            Type(editor.ETranslationName, "kinds");
            Type(editor.ESTable, "CUST");
            Type(editor.ESFIeldname, "KIND");
            Type(editor.ETTable, "CLIENT");
            Type(editor.ETFieldName, "CLIENT_KIND");
            Click(save ? editor.Button3 : editor.Button4);
        });
    };
    QString name;
    EXPECT_FALSE(Run(false, name, [&](TFFlow& w) {
        Type(w.MFromtable, "CUST");
        Type(w.ETotable, "CLIENT");
        Click(w.Button1);
        ASSERT_EQ(w.Page(), 1);
        editNew(false);
        Click(w.BNewTrans);
        EXPECT_TRUE(FMain->TransList->Lines().isEmpty()) << "cancelled";
        FMain->TransList->SetLines({"ZONES", "AREAS"});
        editNew(true);
        Click(w.BNewTrans);
        EXPECT_EQ(FMain->TransList->Lines(), QStringList({"AREAS", "KINDS", "ZONES"}));
        EXPECT_TRUE(Lines(w.MapFieldList).isEmpty()) << "the mapping is not changed";
        EXPECT_EQ(w.Page(), 1);
        Click(w.Button5);
    }));
    EXPECT_EQ(IniReadString(D->FlowsIni, "TRANSLATION", "KINDS", "").toUpper(), "KINDS.INI");
}

TEST_F(FlowWizard, ScriptButtonsEditAndRunTheFilesOfTheNameInTheBox) {
    DirectMode();
    dir.WriteFile("Files/LOAD_sinit.txt", "create table FROM_SCRIPT (A integer)\r\nGO\r\n");
    dir.WriteFile("Files/LOAD_dfin.txt", "create table DEST_SCRIPT (A integer)\r\nGO\r\n");
    TScriptedAnswerer answers;
    answers.AnswerShellOpen().AnswerShellOpen();
    QString name;
    EXPECT_FALSE(Run(false, name, [](TFFlow& w) {
        Click(w.Button19); // empty name box: the file sits directly in Files
        Type(w.EFlowname, "load");
        Click(w.Button16);
        EXPECT_EQ(w.SpeedButton1->toolTip(), "Start");
        Click(w.SpeedButton1);
        Click(w.SpeedButton4);
        Click(w.SpeedButton2); // no such file: nothing happens
        Click(w.Button2);
    }));
    EXPECT_EQ(answers.AskedTexts(),
              QStringList({dir.FilePath("Files/_dfin.txt"), dir.FilePath("Files/LOAD_sinit.txt")}));
    EXPECT_TRUE(
        dir.ReadFile("Files/LOAD_sinit.txt.log").startsWith(dir.FilePath("Files/LOAD_sinit.txt").toUtf8()));
    EXPECT_TRUE(dir.ReadFile("Files/LOAD_dfin.txt.log").endsWith("Končano kot uspešno...\r\n"));
    EXPECT_TRUE(dir.ReadFile("Files/LOAD_dinit.txt.log").isEmpty());
    TQuery source, dest;
    source.DatabaseName = D->DBS.DatabaseName;
    source.SQL << "select count(*) from FROM_SCRIPT";
    EXPECT_NO_THROW(source.Open());
    dest.DatabaseName = D->DBD.DatabaseName;
    dest.SQL << "select count(*) from DEST_SCRIPT";
    EXPECT_NO_THROW(dest.Open());
}

TEST_F(FlowWizard, SourceOnPostgreSQL) {
    if (!TestEnv::PostgresConfigured())
        return;
    TestEnv::ResetPostgres();
    ExecOn("KelvoPg", "create table ORDERS (ORDER_NO integer, CONTRACT varchar(10), AMOUNT numeric(10,2))");
    D->DBS.Close();
    D->DBS.AliasName = "KelvoPg";
    D->DBS.Params.clear();
    D->DBS.Open();
    DirectMode();
    ExecOn("DnsDest", "create table ORDERCOPY (order_no integer, amount numeric(10,2), NOTE varchar(10))");
    D->ContractFilter = "'K1'";
    TScriptedAnswerer nothingAsked;
    QString name;
    EXPECT_TRUE(Run(false, name, [](TFFlow& w) {
        Type(w.EFlowname, "orders");
        TypeLines(w.MFromtable, {"select ORDER_NO, AMOUNT from ORDERS", "where CONTRACT = %FILTERPOG%"});
        Click(w.CSql);
        Type(w.ETotable, "ORDERCOPY");
        Click(w.Button1);
        ASSERT_EQ(w.Page(), 1);
        EXPECT_EQ(Lines(w.FieldListFrom), QStringList({"order_no", "amount"}));
        EXPECT_EQ(Lines(w.FieldListTo), QStringList({"order_no", "amount", "NOTE"}));
        Click(w.Button13);
        Click(w.Button4);
        Click(w.Button7);
    }));
    EXPECT_EQ(IniReadString(dir.FilePath("Files/ORDERS.INI"), "SOURCE", "NAME", ""),
              "select ORDER_NO, AMOUNT from ORDERS where CONTRACT = %FILTERPOG%");
    QStringList fields;
    IniReadSectionValues(dir.FilePath("Files/ORDERS.INI"), "FIELDS", fields);
    EXPECT_EQ(fields, QStringList({"amount=amount", "order_no=order_no"}));
}

TEST_F(FlowWizard, ControlsCarryTheirNamesAndTexts) {
    TFFlow wizard(FMain->FlowWizardHost());
    EXPECT_EQ(wizard.windowTitle(), "Flow wizard");
    EXPECT_TRUE(wizard.windowFlags() & Qt::MSWindowsFixedSizeDialogHint);
    const std::pair<const char*, const char*> buttons[] = {{"Button1", "&Next >>"},
                                                           {"Button2", "Cancel"},
                                                           {"BitBtn1", "Add ="},
                                                           {"Button13", "Add equal ="},
                                                           {"Button14", "Translate"},
                                                           {"Button15", "Constant"},
                                                           {"bId", "ID"},
                                                           {"BitBtn2", "Remove"},
                                                           {"VTrans", "View trans."},
                                                           {"BNewCons", "New const"},
                                                           {"BNewTrans", "New trans"},
                                                           {"Button3", "&Back <<"},
                                                           {"Button4", "&Next >>"},
                                                           {"Button5", "Cancel"},
                                                           {"Button11", "&Select"},
                                                           {"Button12", "Remove"},
                                                           {"Button6", "&Back <<"},
                                                           {"Button7", "&Finish"},
                                                           {"Button8", "Cancel"},
                                                           {"Button16", "Run SQL before transfer"},
                                                           {"Button17", "Run SQL after transfer"},
                                                           {"Button18", "Run SQL before transfer"},
                                                           {"Button19", "Run SQL after transfer"},
                                                           {"CSql", "Source is Sql command"}};
    for (auto [name, text] : buttons) {
        auto* button = wizard.findChild<QAbstractButton*>(name);
        ASSERT_NE(button, nullptr) << name;
        EXPECT_EQ(button->text(), text) << name;
    }
    for (const char* name : {"SpeedButton1", "SpeedButton2", "SpeedButton3", "SpeedButton4"})
        EXPECT_NE(wizard.findChild<QToolButton*>(name), nullptr) << name;
    for (const char* name : {"EFlowname", "ETotable"})
        EXPECT_NE(wizard.findChild<QLineEdit*>(name), nullptr) << name;
    EXPECT_NE(wizard.findChild<QPlainTextEdit*>("MFromtable"), nullptr);
    for (const char* name : {"FieldListFrom", "FieldListTo", "MapFieldList", "TransList"})
        EXPECT_NE(wizard.findChild<QListWidget*>(name), nullptr) << name;
    for (const char* name : {"FKFlows", "FKDependentFlows"})
        EXPECT_NE(wizard.findChild<TSortedListBox*>(name), nullptr) << name;
    EXPECT_FALSE(wizard.VTrans->isEnabled());

    QStringList labels;
    for (const QLabel* label : wizard.findChildren<QLabel*>())
        labels << label->text();
    for (const char* text :
         {"Flow name", "From table or Sql:", "To table", "Source database", "Destination database", "From",
          "To", "Mapped:", "Available flows:", "Dependent flows:"})
        EXPECT_TRUE(labels.contains(text)) << text;
    QStringList groups;
    for (const QGroupBox* group : wizard.findChildren<QGroupBox*>())
        groups << group->title();
    groups.sort();
    EXPECT_EQ(groups, QStringList({"Field mapping:", "Foreign keys and dependent flows:"}));
    // The available flows come from the main window when the wizard is created.
    EXPECT_EQ(wizard.FKFlows->Lines(), QStringList({"CUSTOMERS", "ORDERS", "REGIONS"}));
}

// Every page at the window's natural size: nothing clipped, labels beside or above their fields,
// focus moving from top to bottom. KELVO_SCREENSHOTS=dir saves a picture of each page there.
TEST_F(FlowWizard, EveryPageIsLaidOutWithinTheWindow) {
    TFFlow wizard;
    wizard.show();
    ASSERT_EQ(wizard.minimumSize(), wizard.maximumSize()) << "a fixed dialog border";
    const QByteArray shots = qgetenv("KELVO_SCREENSHOTS");
    for (int page = 0; page < 3; ++page) {
        wizard.Pages->setCurrentIndex(page);
        QCoreApplication::processEvents();
        QWidget* current = wizard.Pages->currentWidget();
        const QRect bounds = current->rect();
        std::vector<QWidget*> controls;
        for (QWidget* child : current->findChildren<QWidget*>()) {
            // Controls sit on the page or in its group; scroll bars and viewports are parts of a control.
            if (!child->isVisible() ||
                (child->parentWidget() != current && !qobject_cast<QGroupBox*>(child->parentWidget())))
                continue;
            const QRect area(child->mapTo(current, QPoint(0, 0)), child->size());
            EXPECT_TRUE(bounds.contains(area)) << child->objectName().toStdString() << " on page " << page;
            EXPECT_GE(child->width(), child->minimumSizeHint().width()) << child->objectName().toStdString();
            EXPECT_GE(child->height(), child->minimumSizeHint().height())
                << child->objectName().toStdString();
            if (auto* label = qobject_cast<QLabel*>(child); label && label->buddy()) {
                const QRect buddy(label->buddy()->mapTo(current, QPoint(0, 0)), label->buddy()->size());
                EXPECT_TRUE(area.right() < buddy.left() || area.bottom() < buddy.top())
                    << label->text().toStdString();
            }
            if (child->focusPolicy() & Qt::TabFocus)
                controls.push_back(child);
        }
        // Tab order: each next control sits below, or on the same row to the right.
        QWidget* first = page == 0   ? static_cast<QWidget*>(wizard.EFlowname)
                         : page == 1 ? static_cast<QWidget*>(wizard.FieldListFrom)
                                     : static_cast<QWidget*>(wizard.FKFlows);
        QWidget* at = first;
        for (int step = 0; step < 6; ++step) {
            QWidget* next = at->nextInFocusChain();
            while (next && (!next->isVisible() || !(next->focusPolicy() & Qt::TabFocus)))
                next = next->nextInFocusChain();
            ASSERT_NE(next, nullptr);
            const QPoint a = at->mapTo(current, QPoint(0, 0));
            const QPoint b = next->mapTo(current, QPoint(0, 0));
            EXPECT_TRUE(b.y() > a.y() + at->height() / 2 - 1 ||
                        (b.y() <= a.y() + at->height() && b.x() > a.x()))
                << at->objectName().toStdString() << " -> " << next->objectName().toStdString();
            at = next;
        }
        if (!shots.isEmpty())
            wizard.grab().save(QString::fromLocal8Bit(shots) + QString("/flow_page%1.png").arg(page + 1));
    }
}

} // namespace
