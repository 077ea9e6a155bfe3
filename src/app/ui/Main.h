#pragma once

#include <QIcon>
#include <QMainWindow>
#include <QStringList>

#include "flows/ui/Flow.h"
#include "transfer/TransferRun.h"

class QAction;
class QLabel;
class QLineEdit;
class QListWidgetItem;
class TSortedListBox;

// The operator's starting point. Closing it ends the program.
class TFMain : public QMainWindow {
    Q_OBJECT
public:
    explicit TFMain(QWidget* parent = nullptr);
    // The lists the flow wizard reads and extends, and the frame it opens over.
    TFlowWizardHost FlowWizardHost();
    // The window's frame while it is shown, for the dialogs it opens to centre over.
    std::function<QRect()> MainFrame();

    TSortedListBox* FlowList = nullptr;
    TSortedListBox* TransList = nullptr;
    TSortedListBox* ConstList = nullptr;
    QLineEdit* Filter = nullptr;
    // How the last run ended, then its flows, records copied and failed, the export file; elided in
    // the middle, whole in its tooltip.
    QLabel* LLastRun = nullptr;

    QAction* RunAll = nullptr;
    QAction* RunFlow = nullptr;
    QAction* NewFlow = nullptr;
    QAction* EditFlow = nullptr;
    QAction* BExit = nullptr;
    QAction* Stoponerror1 = nullptr;
    QAction* Showtransfersummary1 = nullptr;
    QAction* ReduceProcessMessages1 = nullptr;

    // The run options and constants as the transfer reads them: at each use, from this window.
    TRunOptions RunOptions();
    // The connections and mode of the data module, for a transfer.
    static TRunSettings RunSettings();

    void FormShow();
    void FilterChange(const QString& text);
    void RunAllClick();
    void RunFlowClick();
    void BExitClick();
    void Newconstant1Click();
    void Editconstant1Click();
    void Properties1Click();
    void NewFlowClick();
    void EditFlowClick();
    void Newtranslation1Click();
    void Translations1Click();
    void About1Click();

protected:
    void showEvent(QShowEvent* event) override;
    // During a run, asks whether to cancel it; Yes cancels and the program ends once the run has
    // written its cancel line. The window's place is kept for the next start.
    void closeEvent(QCloseEvent* event) override;

private:
    void RequireFilter() const;
    static void ReplaceSelected(TSortedListBox* list, const QString& name);
    void StartTransfer(const QStringList& flowNames);
    void SetRunCommandsEnabled(bool enabled);
    QAction* AddCommand(const char* name, const QString& caption, void (TFMain::*handler)());
    QAction* AddOption(const char* name, const QString& caption);

    bool shown_ = false;
    bool placed_ = false; // where the last start left it
    bool exitAfterRun_ = false;
};

extern TFMain* FMain;

// The program's icon, for its windows.
QIcon KelvoIcon();
// The About box's text: the program's name, version and licence.
QString AboutText();
