#pragma once

#include <QDialog>
#include <QRect>
#include <QString>
#include <QStringList>
#include <functional>

#include "flows/FlowFile.h"
#include "flows/FlowMapping.h"
#include "query/LangQuery.h"

class QAbstractButton;
class QCheckBox;
class QGroupBox;
class QLineEdit;
class QListWidget;
class QPlainTextEdit;
class QPushButton;
class QStackedWidget;
class QToolButton;
class TSortedListBox;

// What the wizard reads from the window that opened it and hands back to it; an empty part stands for
// no such window.
struct TFlowWizardHost {
    std::function<QStringList()> FlowNames; // offered as dependencies
    std::function<QStringList()> Constants;
    std::function<void(const QStringList&)> ConstantsChanged;
    std::function<void(const QString&)> TranslationAdded;
    std::function<QRect()> Frame; // the wizard opens centred on it; an invalid one: on the screen
};

// The flow wizard: names a flow, its source and destination, maps the columns and chooses the flows it
// depends on. Create one with new for each use; the Open operations release it when they return.
class TFFlow : public QDialog {
    Q_OBJECT
public:
    explicit TFFlow(TFlowWizardHost host = {}, QWidget* parent = nullptr);

    // Run the wizard modally; flowName receives the name box text, also after Cancel. True when the
    // flow was saved. A failing save, and a failing load in OpenForEdit (the window is then not shown),
    // raise to the caller.
    bool OpenForNew(QString& flowName);
    bool OpenForEdit(QString& flowName);

    void ClearFields();
    bool FeedFieldsToList(TQuery& query, QListWidget* list);
    void FillFieldLists();
    // Reads the named flow into the controls; raises what the column refill raises.
    void LoadFlow(const QString& flowName);
    bool SaveFlow();
    // The controls as the definition SaveFlow writes.
    TFlowDefinition Definition() const;

    bool Finished = false;
    bool NewMode = false;
    QString FlowFile;
    TLangQuery Tbl;

    QStackedWidget* Pages = nullptr;
    // Page 1
    QLineEdit* EFlowname = nullptr;
    QPlainTextEdit* MFromtable = nullptr;
    QCheckBox* CSql = nullptr;
    QLineEdit* ETotable = nullptr;
    QPushButton* Button16 = nullptr;
    QPushButton* Button17 = nullptr;
    QPushButton* Button18 = nullptr;
    QPushButton* Button19 = nullptr;
    QToolButton* SpeedButton1 = nullptr;
    QToolButton* SpeedButton2 = nullptr;
    QToolButton* SpeedButton3 = nullptr;
    QToolButton* SpeedButton4 = nullptr;
    QPushButton* Button1 = nullptr;
    QPushButton* Button2 = nullptr;
    // Page 2
    QListWidget* FieldListFrom = nullptr;
    QListWidget* FieldListTo = nullptr;
    QListWidget* MapFieldList = nullptr;
    QListWidget* TransList = nullptr;
    QPushButton* BitBtn1 = nullptr;
    QPushButton* Button13 = nullptr;
    QPushButton* Button14 = nullptr;
    QPushButton* Button15 = nullptr;
    QPushButton* bId = nullptr;
    QPushButton* BitBtn2 = nullptr;
    QPushButton* VTrans = nullptr;
    QPushButton* BNewCons = nullptr;
    QPushButton* BNewTrans = nullptr;
    QPushButton* Button3 = nullptr;
    QPushButton* Button4 = nullptr;
    QPushButton* Button5 = nullptr;
    // Page 3
    TSortedListBox* FKFlows = nullptr;
    TSortedListBox* FKDependentFlows = nullptr;
    QPushButton* Button11 = nullptr;
    QPushButton* Button12 = nullptr;
    QPushButton* Button6 = nullptr;
    QPushButton* Button7 = nullptr;
    QPushButton* Button8 = nullptr;

    void Button1Click();
    void Button3Click();
    void Button4Click();
    void Button6Click();
    void Button7Click();
    void BitBtn1Click();
    void Button13Click();
    void Button14Click();
    void Button15Click();
    void bIdClick();
    void BitBtn2Click();
    void MapFieldListClick();
    void VTransClick();
    void BNewConsClick();
    void BNewTransClick();
    void Button11Click();
    void Button12Click();
    void RunScriptClick(const QString& databaseName, const char* suffix);
    void EditScriptClick(const char* suffix);

    // 0, 1 or 2.
    int Page() const;

    void reject() override;

protected:
    void changeEvent(QEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    TFlowWizardHost host_;
    QWidget* BuildSourcePage();
    QWidget* BuildMappingPage();
    QWidget* BuildDependentPage();
    void ShowPage(int page);
    bool RunModal(QString& flowName);
    TMappingLists Mapping() const;
    void SetMapping(const TMappingLists& lists);
    // Applies a mapping rule to the lists with the selected source and destination rows.
    void ChangeMapping(const std::function<bool(TMappingLists&, int fromRow, int toRow)>& change);
    QPushButton* AddButton(const char* name, const QString& caption, void (TFFlow::*handler)());
    bool scriptRunning_ = false;
};
