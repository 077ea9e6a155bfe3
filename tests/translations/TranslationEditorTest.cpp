#include <QDir>
#include <QFileInfo>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <algorithm>
#include <gtest/gtest.h>
#include <memory>

#include "app/Data.h"
#include "fixtures/DialogDriver.h"
#include "fixtures/Engines.h"
#include "fixtures/ProgramStart.h"
#include "fixtures/ScriptedAnswerer.h"
#include "fixtures/TestEnv.h"
#include "platform/Errors.h"
#include "query/Database.h"
#include "support/ui/ACComboBox.h"
#include "translations/ui/Translation.h"

namespace {

const char* KindsFile =
    "[DATA]\r\nNAME=kinds\r\nTYPE=S\r\nDEFAULT=X\r\n[SOURCE]\r\nTABLE=SRC\r\nFIELD=CODE\r\n"
    "[TARGET]\r\nTABLE=DST\r\nFIELD=KIND\r\n[TRANSLATIONS]\r\nA=1\r\nb=x=y\r\n";

// A program directory with a ready data module in scripting mode, and the editor run as the main
// window and the wizard run it.
class TranslationEditor : public ::testing::Test {
protected:
    void SetUp() override { start.Start(false); }

    // Runs EditTranslation with the operator's actions on the shown window.
    bool Edit(QString& name, std::function<void(TFTranslation&)> act) {
        auto* editor = new TFTranslation();
        QPointer<TFTranslation> guard(editor);
        WhenShown<TFTranslation>(std::move(act));
        bool saved = false;
        try {
            saved = editor->EditTranslation(name);
        } catch (...) {
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
            EXPECT_TRUE(guard.isNull()) << "the editor releases itself";
            throw;
        }
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        EXPECT_TRUE(guard.isNull()) << "the editor releases itself";
        return saved;
    }
    std::string Text(const QString& relative) const { return dir.ReadFile(relative).toStdString(); }
    // Static mode reads the distinct values of the source and target fields as the operator leaves them.
    void DistinctValuesOnLeavingTheFieldNames(const QString& sourceDsn, const QString& destDsn);
    void Kinds() {
        dir.WriteFile("Files/Flows.ini", "[TRANSLATION]\r\nKINDS=kinds.ini\r\n");
        dir.WriteFile("Files/kinds.ini", KindsFile);
    }

    TTempProgramDir dir;
    TProgramStart start;
    std::unique_ptr<TD>& data = start.data;
};

// Points a connection of the data module at a test data source.
void Point(TDatabase& db, const QString& dsn) {
    db.Close();
    db.AliasName = dsn;
    db.Params.clear();
    db.LoginPrompt = false;
}

QStringList Items(const QComboBox* combo) {
    QStringList items;
    for (int i = 0; i < combo->count(); ++i)
        items << combo->itemText(i);
    return items;
}

bool StaticLayout(const TFTranslation& w) {
    return w.SValues->isVisible() && w.TValues->isVisible() && w.LSValues->isVisible() &&
           w.LTValues->isVisible() && !w.TSql->isVisible() && !w.LSql->isVisible();
}

bool ReferenceLayout(const TFTranslation& w) {
    return !w.SValues->isVisible() && !w.TValues->isVisible() && !w.LSValues->isVisible() &&
           !w.LTValues->isVisible() && w.TSql->isVisible() && w.LSql->isVisible();
}

void Fill(TFTranslation& w, const QString& sTable, const QString& sField, const QString& tTable,
          const QString& tField) {
    w.ESTable->setText(sTable);
    w.ESFIeldname->setText(sField);
    w.ETTable->setText(tTable);
    w.ETFieldName->setText(tField);
}

void AddPair(TFTranslation& w, const QString& source, const QString& target) {
    w.SValues->setEditText(source);
    w.TValues->setEditText(target);
    w.Button1->click();
}

// The first click of a double click selects the line.
void DoubleClick(QListWidget* list, int row) {
    const QPoint at = list->visualItemRect(list->item(row)).center();
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, at);
    QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, at);
}

TEST_F(TranslationEditor, WindowControlsAndCaptions) {
    TFTranslation w;
    EXPECT_EQ(w.windowTitle(), "Translation");
    EXPECT_EQ(w.CStatic->text(), "Static translation");
    EXPECT_EQ(w.CReference->text(), "Refrence translation");
    EXPECT_EQ(w.Button1->text(), "&Add");
    EXPECT_EQ(w.Button2->text(), "&Delete");
    EXPECT_EQ(w.Button3->text(), "Save");
    EXPECT_EQ(w.Button4->text(), "Cancel");
    EXPECT_EQ(w.LSValues->text(), "Values:");
    EXPECT_EQ(w.LTValues->text(), "Values:");
    EXPECT_EQ(w.LSql->text(), "Sql:");
    for (const char* name : {"ETranslationName", "CStatic", "CReference", "ESTable", "ESFIeldname", "SValues",
                             "ETTable", "ETFieldName", "TValues", "TSql", "LSql", "LSValues", "LTValues",
                             "Button1", "Button2", "TransList", "EDefault", "Button3", "Button4"})
        EXPECT_NE(w.findChild<QWidget*>(name), nullptr) << name;
    QStringList labels;
    for (const QLabel* label : w.findChildren<QLabel*>())
        labels << label->text();
    for (const char* text :
         {"Translation name Unique:", "Table:", "Fieldname:", "SOURCE", "TARGET", "Default value:"})
        EXPECT_TRUE(labels.contains(text)) << text;
    QStringList groups;
    for (const QGroupBox* group : w.findChildren<QGroupBox*>())
        groups << group->title();
    EXPECT_EQ(groups, QStringList({"Source", "Target", "Translations"}));
    EXPECT_TRUE(w.TransList->parentWidget()->inherits("QGroupBox"));
    EXPECT_FALSE(w.TransList->isSortingEnabled());
    EXPECT_TRUE(w.CStatic->isChecked());
    for (TACComboBox* values : {w.SValues, w.TValues}) {
        EXPECT_TRUE(values->SelectOnFound());
        EXPECT_FALSE(values->ExactMatch());
    }
    EXPECT_EQ(w.minimumSize(), w.maximumSize()) << "a dialog frame";
    // Tab order runs top to bottom.
    QStringList order;
    QWidget* at = w.ETranslationName;
    for (int i = 0; i < 16; ++i, at = at->nextInFocusChain()) {
        while (at->focusPolicy() == Qt::NoFocus || !at->objectName().size())
            at = at->nextInFocusChain();
        order << at->objectName();
    }
    EXPECT_EQ(order, QStringList({"ETranslationName", "CStatic", "CReference", "ESTable", "ESFIeldname",
                                  "SValues", "ETTable", "ETFieldName", "TValues", "TSql", "Button1",
                                  "Button2", "TransList", "EDefault", "Button3", "Button4"}));
}

TEST_F(TranslationEditor, NewTranslationWritesTheIndexRecordThenTheFileInOrder) {
    QString name;
    const bool saved = Edit(name, [](TFTranslation& w) {
        EXPECT_TRUE(w.CStatic->isChecked());
        EXPECT_TRUE(StaticLayout(w));
        w.ETranslationName->setFocus(Qt::TabFocusReason);
        QTest::keyClicks(w.ETranslationName, "kinds");
        EXPECT_EQ(w.ETranslationName->text(), "KINDS"); // forced as typed
        Fill(w, "SRC", "CODE", "DST", "KIND");
        AddPair(w, "a", "1");
        AddPair(w, "b", "x=y");
        AddPair(w, "c", "");  // both values are needed
        AddPair(w, "a", "2"); // the list takes a repeated key
        EXPECT_EQ(w.TransList->count(), 3);
        w.EDefault->setText("X");
        w.Button3->click();
    });
    EXPECT_TRUE(saved);
    EXPECT_EQ(name, "KINDS");
    EXPECT_EQ(Text("Files/Flows.ini"), "[TRANSLATION]\r\nKINDS=KINDS.ini\r\n");
    // The profile rule: a key written again takes its new value where it stands.
    EXPECT_EQ(Text("Files/KINDS.ini"),
              "[DATA]\r\nNAME=KINDS\r\nTYPE=S\r\nDEFAULT=X\r\n[SOURCE]\r\nTABLE=SRC\r\n"
              "FIELD=CODE\r\n[TARGET]\r\nTABLE=DST\r\nFIELD=KIND\r\n[TRANSLATIONS]\r\n"
              "a=2\r\nb=x=y\r\n");
}

TEST_F(TranslationEditor, ExistingTranslationLoadsFromItsIndexRecordAndSavesInPlace) {
    Kinds();
    QString name = "kinds";
    const bool saved = Edit(name, [](TFTranslation& w) {
        EXPECT_EQ(w.ETranslationName->text(), "KINDS");
        EXPECT_TRUE(w.CStatic->isChecked());
        EXPECT_FALSE(w.CReference->isChecked());
        EXPECT_TRUE(StaticLayout(w));
        EXPECT_EQ(w.ESTable->text(), "SRC");
        EXPECT_EQ(w.ESFIeldname->text(), "CODE");
        EXPECT_EQ(w.ETTable->text(), "DST");
        EXPECT_EQ(w.ETFieldName->text(), "KIND");
        EXPECT_EQ(w.EDefault->text(), "X");
        EXPECT_EQ(w.TSql->text(), "");
        EXPECT_EQ(w.SValues->currentText(), "");
        EXPECT_EQ(w.SValues->count(), 0);
        EXPECT_EQ(Lines(w.TransList), QStringList({"A=1", "b=x=y"}));
        w.EDefault->setText("Y");
        w.Button3->click();
    });
    EXPECT_TRUE(saved);
    EXPECT_EQ(name, "KINDS");
    EXPECT_EQ(Text("Files/Flows.ini"), "[TRANSLATION]\r\nKINDS=KINDS.ini\r\n");
    // The file the index named is found without regard to case and changed where it stands.
    EXPECT_EQ(QDir(dir.FilePath("Files")).entryList(QDir::Files), QStringList({"Flows.ini", "kinds.ini"}));
    EXPECT_EQ(Text("Files/kinds.ini"),
              QString(KindsFile).replace("kinds", "KINDS").replace("=X", "=Y").toStdString());

    // A reference translation opens with the statement layout and an empty statement field.
    dir.WriteFile("Files/kinds.ini", "[DATA]\r\nTYPE=R\r\n[TRANSLATIONS]\r\nKIND=select 1\r\n");
    name = "KINDS";
    EXPECT_FALSE(Edit(name, [](TFTranslation& w) {
        EXPECT_TRUE(w.CReference->isChecked());
        EXPECT_FALSE(w.CStatic->isChecked());
        EXPECT_TRUE(ReferenceLayout(w));
        EXPECT_EQ(w.TSql->text(), "");
        EXPECT_EQ(w.ETranslationName->text(), "");
        w.Button4->click();
    }));
    EXPECT_EQ(name, "KINDS");
}

TEST_F(TranslationEditor, NameMissingFromTheIndexOpensEmptyWithNeitherType) {
    dir.WriteFile("Files/Flows.ini", "[TRANSLATION]\r\nOTHER=OTHER.ini\r\n");
    dir.WriteFile("Files/GONE.ini", KindsFile);
    QString name = "GONE";
    EXPECT_FALSE(Edit(name, [](TFTranslation& w) {
        for (QLineEdit* edit :
             {w.ETranslationName, w.ESTable, w.ESFIeldname, w.ETTable, w.ETFieldName, w.EDefault, w.TSql})
            EXPECT_EQ(edit->text(), "") << edit->objectName().toStdString();
        EXPECT_EQ(w.TransList->count(), 0);
        EXPECT_FALSE(w.CStatic->isChecked());
        EXPECT_FALSE(w.CReference->isChecked());
        EXPECT_TRUE(StaticLayout(w));
        w.Button4->click();
    }));
    EXPECT_EQ(name, "GONE");
    EXPECT_EQ(Text("Files/Flows.ini"), "[TRANSLATION]\r\nOTHER=OTHER.ini\r\n");
    EXPECT_EQ(Text("Files/GONE.ini"), KindsFile);
}

TEST_F(TranslationEditor, AnyOtherTypeLetterOpensWithNeitherTypeAndSavesAsReference) {
    Kinds();
    dir.WriteFile("Files/kinds.ini", QByteArray(KindsFile).replace("TYPE=S", "TYPE=s"));
    QString name = "KINDS";
    EXPECT_TRUE(Edit(name, [](TFTranslation& w) {
        EXPECT_FALSE(w.CStatic->isChecked());
        EXPECT_FALSE(w.CReference->isChecked());
        EXPECT_TRUE(StaticLayout(w));
        w.Button3->click();
    }));
    EXPECT_NE(Text("Files/kinds.ini").find("\r\nTYPE=R\r\n"), std::string::npos);
}

TEST_F(TranslationEditor, SavingUnderANewNameLeavesTheOldFileAndRecord) {
    Kinds();
    QString name = "KINDS";
    EXPECT_TRUE(Edit(name, [](TFTranslation& w) {
        w.ETranslationName->setFocus(Qt::TabFocusReason);
        w.ETranslationName->selectAll();
        QTest::keyClicks(w.ETranslationName, "sorts");
        w.Button3->click();
    }));
    EXPECT_EQ(name, "SORTS");
    EXPECT_EQ(Text("Files/Flows.ini"), "[TRANSLATION]\r\nKINDS=kinds.ini\r\nSORTS=SORTS.ini\r\n");
    EXPECT_EQ(Text("Files/kinds.ini"), KindsFile);
    EXPECT_EQ(Text("Files/SORTS.ini"),
              "[DATA]\r\nNAME=SORTS\r\nTYPE=S\r\nDEFAULT=X\r\n[SOURCE]\r\nTABLE=SRC\r\n"
              "FIELD=CODE\r\n[TARGET]\r\nTABLE=DST\r\nFIELD=KIND\r\n[TRANSLATIONS]\r\n"
              "A=1\r\nb=x=y\r\n");
}

TEST_F(TranslationEditor, SwitchingToReferenceKeepsThePairs) {
    Kinds();
    QString name = "KINDS";
    EXPECT_TRUE(Edit(name, [](TFTranslation& w) {
        QTest::mouseClick(w.CReference, Qt::LeftButton);
        EXPECT_TRUE(w.CReference->isChecked());
        EXPECT_TRUE(ReferenceLayout(w));
        EXPECT_EQ(Lines(w.TransList), QStringList({"A=1", "b=x=y"}));
        QTest::mouseClick(w.CStatic, Qt::LeftButton);
        EXPECT_TRUE(StaticLayout(w));
        QTest::mouseClick(w.CReference, Qt::LeftButton);
        w.Button3->click();
    }));
    EXPECT_EQ(Text("Files/kinds.ini"),
              QString(KindsFile).replace("kinds", "KINDS").replace("TYPE=S", "TYPE=R").toStdString());
}

TEST_F(TranslationEditor, AddDeleteAndDoubleClickOnThePairList) {
    TScriptedAnswerer answers;
    answers.AnswerPlain().AnswerPlain();
    QString name;
    EXPECT_FALSE(Edit(name, [](TFTranslation& w) {
        AddPair(w, "a", "1");
        AddPair(w, "x=y", "2"); // would read back as the pair x = "y=2"
        EXPECT_EQ(Lines(w.TransList), QStringList({"a=1"}));
        DoubleClick(w.TransList, 0); // static: the statement field stays as it is
        EXPECT_EQ(w.TSql->text(), "");

        QTest::mouseClick(w.CReference, Qt::LeftButton);
        w.Button1->click(); // no target field name: no key to store the statement under
        w.ETFieldName->setText("NAME");
        w.Button1->click(); // an empty statement is taken as it is
        w.TSql->setText("select N from T where ID = SOURCE");
        w.Button1->click();
        EXPECT_EQ(Lines(w.TransList),
                  QStringList({"a=1", "NAME=", "NAME=select N from T where ID = SOURCE"}));
        w.TSql->clear();
        DoubleClick(w.TransList, 2);
        EXPECT_EQ(w.TSql->text(), "select N from T where ID = SOURCE");
        DoubleClick(w.TransList, 0);
        EXPECT_EQ(w.TSql->text(), "1");

        w.TransList->clearSelection();
        w.Button2->click(); // nothing selected, nothing removed
        EXPECT_EQ(w.TransList->count(), 3);
        w.TransList->item(1)->setSelected(true);
        w.Button2->click();
        EXPECT_EQ(Lines(w.TransList), QStringList({"a=1", "NAME=select N from T where ID = SOURCE"}));
        w.Button4->click();
    }));
    EXPECT_EQ(answers.AskedTexts(), QStringList({"\"x=y\" cannot be kept as the key of a translation line.",
                                                 "\"\" cannot be kept as the key of a translation line."}));
}

TEST_F(TranslationEditor, SaveChecksTheNameThenTheTablesAndFields) {
    TScriptedAnswerer answers;
    for (int i = 0; i < 7; ++i)
        answers.AnswerPlain();
    QString name;
    EXPECT_TRUE(Edit(name, [](TFTranslation& w) {
        w.Button3->click();
        Fill(w, "S", "F", "T", "G");
        w.Button3->click();
        w.ETranslationName->setText("K");
        for (QLineEdit* edit : {w.ESTable, w.ESFIeldname, w.ETTable, w.ETFieldName}) {
            const QString kept = edit->text();
            edit->clear();
            w.Button3->click();
            edit->setText(kept);
        }
        w.ETranslationName->setText("../K"); // would write outside the Files folder
        w.Button3->click();
        EXPECT_TRUE(w.isVisible());
        EXPECT_FALSE(w.Saved);
        w.ETranslationName->setText("K");
        QTest::mouseClick(w.CReference, Qt::LeftButton); // the same checks for both types
        w.Button3->click();
    }));
    EXPECT_EQ(answers.AskedTexts(),
              QStringList({"Insert translation name.", "Insert translation name.", "Insert neccesary data.",
                           "Insert neccesary data.", "Insert neccesary data.", "Insert neccesary data.",
                           "The translation name \"../K\" cannot be used as a file name."}));
    EXPECT_EQ(name, "K");
    EXPECT_EQ(Text("Files/K.ini"),
              "[DATA]\r\nNAME=K\r\nTYPE=R\r\nDEFAULT=\r\n[SOURCE]\r\nTABLE=S\r\nFIELD=F\r\n"
              "[TARGET]\r\nTABLE=T\r\nFIELD=G\r\n");
    EXPECT_FALSE(QFileInfo::exists(dir.FilePath("K.ini")));
}

TEST_F(TranslationEditor, CancelAndEscapeLeaveEveryFileUntouched) {
    Kinds();
    for (bool escape : {false, true}) {
        QString name = "KINDS";
        EXPECT_FALSE(Edit(name, [escape](TFTranslation& w) {
            w.ETranslationName->setText("OTHER");
            Fill(w, "A", "B", "C", "D");
            AddPair(w, "q", "r");
            QTest::mouseClick(w.CReference, Qt::LeftButton);
            w.ETranslationName->setFocus(Qt::TabFocusReason);
            if (escape)
                PressKey(&w, Qt::Key_Escape);
            else
                w.Button4->click();
        }));
        EXPECT_EQ(name, "KINDS");
        EXPECT_EQ(Text("Files/Flows.ini"), "[TRANSLATION]\r\nKINDS=kinds.ini\r\n");
        EXPECT_EQ(Text("Files/kinds.ini"), KindsFile);
        EXPECT_EQ(QDir(dir.FilePath("Files")).entryList(QDir::Files),
                  QStringList({"Flows.ini", "kinds.ini"}));
    }
}

TEST_F(TranslationEditor, FailedWriteReachesTheCallerAfterTheIndexRecord) {
    QDir().mkpath(dir.FilePath("Files/BROKEN.ini")); // a folder where the file should be
    QString name;
    try {
        Edit(name, [](TFTranslation& w) {
            w.ETranslationName->setText("BROKEN");
            Fill(w, "S", "F", "T", "G");
            w.Button3->click();
        });
        ADD_FAILURE() << "the failed write was not raised";
    } catch (const EKelvoError& error) {
        EXPECT_TRUE(error.Message().contains(dir.FilePath("Files/BROKEN.ini")))
            << error.Message().toStdString();
    }
    EXPECT_EQ(name, "");
    EXPECT_EQ(Text("Files/Flows.ini"), "[TRANSLATION]\r\nBROKEN=BROKEN.ini\r\n");
}

void TranslationEditor::DistinctValuesOnLeavingTheFieldNames(const QString& sourceDsn,
                                                             const QString& destDsn) {
    TD& d = *data;
    ExecOn(sourceDsn, "create table PARTNERS (ID integer, CODE varchar(10));"
                      "insert into PARTNERS values (1, 'K1'); insert into PARTNERS values (2, 'K2');"
                      "insert into PARTNERS values (3, 'K1'); insert into PARTNERS values (4, NULL)");
    ExecOn(destDsn, "create table KINDS (KIND varchar(10));"
                    "insert into KINDS values ('Kupec'); insert into KINDS values ('Dobavitelj')");
    Point(d.DBS, sourceDsn);
    Point(d.DBD, destDsn);
    TScriptedAnswerer answers;
    answers.AnswerPlain();
    QString name;
    auto leave = [](QLineEdit* field) {
        field->setFocus(Qt::TabFocusReason);
        QTest::keyClick(field, Qt::Key_Tab);
    };
    EXPECT_FALSE(Edit(name, [&](TFTranslation& w) {
        w.ESTable->setText("PARTNERS");
        w.ESFIeldname->setFocus(Qt::TabFocusReason);
        QTest::keyClicks(w.ESFIeldname, "code");
        QTest::keyClick(w.ESFIeldname, Qt::Key_Tab);
        EXPECT_EQ(QApplication::focusWidget(), w.SValues);
        QStringList items = Items(w.SValues);
        std::sort(items.begin(), items.end());
        EXPECT_EQ(items, QStringList({"", "K1", "K2"}));
        EXPECT_EQ(w.SValues->currentText(), "");
        QTest::keyClicks(w.SValues->lineEdit(), "k");
        EXPECT_EQ(w.SValues->currentText().left(1), "K");
        EXPECT_EQ(w.SValues->lineEdit()->selectedText().size(), 1);

        // The target side reads the destination, where the source's table does not exist.
        w.ETTable->setText("KINDS");
        w.ETFieldName->setText("KIND");
        leave(w.ETFieldName);
        items = Items(w.TValues);
        std::sort(items.begin(), items.end());
        EXPECT_EQ(items, QStringList({"Dobavitelj", "Kupec"}));
        QTest::keyClicks(w.TValues->lineEdit(), "k");
        EXPECT_EQ(w.TValues->currentText(), "Kupec");

        // A failing statement is shown; the combo keeps what it had.
        w.ETTable->setText("PARTNERS");
        leave(w.ETFieldName);
        EXPECT_EQ(answers.Asked().size(), 1u);
        items = Items(w.TValues);
        std::sort(items.begin(), items.end());
        EXPECT_EQ(items, QStringList({"Dobavitelj", "Kupec"}));

        // In reference mode nothing is read: no message, no change.
        QTest::mouseClick(w.CReference, Qt::LeftButton);
        leave(w.ETFieldName);
        w.ESTable->setText("NOSUCH");
        leave(w.ESFIeldname);
        EXPECT_EQ(w.SValues->count(), 3);
        w.Button4->click();
    }));
    ASSERT_EQ(answers.Asked().size(), 1u);
    EXPECT_FALSE(answers.Asked()[0].text.isEmpty());

    // A qualified field names a column without its qualifier: the statement's single column counts.
    TQuery q;
    QStringList values = DistinctValues(q, "DBSource", "PARTNERS P", "P.CODE");
    std::sort(values.begin(), values.end());
    EXPECT_EQ(values, QStringList({"", "K1", "K2"}));
    EXPECT_FALSE(q.Active());
    EXPECT_THROW(DistinctValues(q, "DBSource", "PARTNERS", "ID, CODE"), EDatabaseError);
    EXPECT_FALSE(q.Active());
}

class TranslationEditorOn : public TranslationEditor, public ::testing::WithParamInterface<TEngine> {};

// The engine as the source and then as the destination, SQLite on the other side.
TEST_P(TranslationEditorOn, DistinctValues) {
    const QString engine = Engines::Dsn(GetParam());
    ASSERT_TRUE(Engines::Reset(GetParam()));
    TestEnv::ResetSqlite("KelvoLite");
    DistinctValuesOnLeavingTheFieldNames(engine, "KelvoLite");
    ASSERT_TRUE(Engines::Reset(GetParam()));
    TestEnv::ResetSqlite("KelvoLite");
    DistinctValuesOnLeavingTheFieldNames("KelvoLite", engine);
}
KELVO_ON_EVERY_ENGINE(TranslationEditorOn);

} // namespace
