#include "app/ui/Main.h"

#include <QAction>
#include <QCloseEvent>
#include <QFileInfo>
#include <QGridLayout>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QMessageBox>
#include <QMetaObject>
#include <QPointer>
#include <QScreen>
#include <QShowEvent>
#include <QStatusBar>
#include <QStyle>
#include <QToolBar>
#include <optional>

#include "app/Data.h"
#include "app/RunStart.h"
#include "app/SourceLogin.h"
#include "app/Version.h"
#include "app/ui/Properties.h"
#include "flows/ui/Flow.h"
#include "platform/Errors.h"
#include "platform/IniFile.h"
#include "platform/ProgramDir.h"
#include "platform/RunLock.h"
#include "support/EnDial3.h"
#include "support/ErrorHandler.h"
#include "support/ui/SortedListBox.h"
#include "transfer/ui/Transfer.h"
#include "translations/Constants.h"
#include "translations/ui/Translation.h"

TFMain* FMain = nullptr;

namespace {

// A long text elided in the middle to the label's width, whole in its tooltip.
class TElidedLabel : public QLabel {
public:
    TElidedLabel() { setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred); }
    void SetWholeText(const QString& text) {
        setToolTip(text);
        Elide();
    }

protected:
    void resizeEvent(QResizeEvent* event) override {
        QLabel::resizeEvent(event);
        Elide();
    }

private:
    void Elide() { setText(fontMetrics().elidedText(toolTip(), Qt::ElideMiddle, contentsRect().width())); }
};

// The main window's place between starts: [WINDOW] of TransferSettings.ini.
const char* const WindowKeys[] = {"LEFT", "TOP", "WIDTH", "HEIGHT"};

std::optional<QRect> StoredGeometry(bool& maximized) {
    int values[4];
    try {
        const QString file = TD::SettingsFile();
        for (int i = 0; i < 4; ++i) {
            bool ok = false;
            values[i] = IniReadString(file, "WINDOW", WindowKeys[i], "").toInt(&ok);
            if (!ok)
                return std::nullopt;
        }
        maximized = IniReadString(file, "WINDOW", "MAXIMIZED", "N") == "Y";
    } catch (const std::exception&) {
        return std::nullopt; // the data module tells what is wrong with the file
    }
    const QRect rect(values[0], values[1], values[2], values[3]);
    // A screen that has gone since would leave the window out of sight.
    if (rect.isEmpty() || !QGuiApplication::screenAt(rect.center()))
        return std::nullopt;
    return rect;
}

void StoreGeometry(const QWidget& window) {
    const QString file = TD::SettingsFile();
    // The window's place alone makes no settings file: a program directory without one runs on defaults.
    if (!QFileInfo::exists(file))
        return;
    const QRect rect = window.normalGeometry();
    const int values[] = {rect.left(), rect.top(), rect.width(), rect.height()};
    try {
        for (int i = 0; i < 4; ++i)
            IniWriteString(file, "WINDOW", WindowKeys[i], QString::number(values[i]));
        IniWriteString(file, "WINDOW", "MAXIMIZED", window.isMaximized() ? "Y" : "N");
    } catch (const std::exception&) {
        // A settings file that cannot be written keeps the program from nothing but the window's place.
    }
}

} // namespace

QAction* TFMain::AddCommand(const char* name, const QString& caption, void (TFMain::*handler)()) {
    auto* action = new QAction(caption, this);
    action->setObjectName(name);
    // A toolbar button shows the icon text, which would otherwise be the caption without its mnemonic.
    action->setIconText(caption);
    connect(action, &QAction::triggered, this, [this, handler] { RunGuarded([&] { (this->*handler)(); }); });
    return action;
}

QAction* TFMain::AddOption(const char* name, const QString& caption) {
    auto* action = new QAction(caption, this);
    action->setObjectName(name);
    action->setCheckable(true);
    action->setChecked(false);
    return action;
}

TFMain::TFMain(QWidget* parent) : QMainWindow(parent) {
    setObjectName("FMain");
    setWindowTitle("KELVO Data transfer");
    setWindowIcon(KelvoIcon());

    RunAll = AddCommand("RunAll", "&Start transfer", &TFMain::RunAllClick);
    RunFlow = AddCommand("RunFlow", "Start f&low", &TFMain::RunFlowClick);
    NewFlow = AddCommand("NewFlow", "&New data flow", &TFMain::NewFlowClick);
    EditFlow = AddCommand("EditFlow", "&Edit data flow", &TFMain::EditFlowClick);
    BExit = AddCommand("BExit", "E&xit", &TFMain::BExitClick);

    auto* toolBar = addToolBar("Commands");
    toolBar->setObjectName("ToolBar1");
    toolBar->setMovable(false);
    toolBar->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    toolBar->setIconSize(QSize(32, 32));
    toolBar->addAction(RunAll);
    toolBar->addAction(RunFlow);
    toolBar->addSeparator();
    toolBar->addAction(NewFlow);
    toolBar->addAction(EditFlow);
    toolBar->addSeparator();
    toolBar->addAction(BExit);
    const std::pair<QAction*, QStyle::StandardPixmap> icons[] = {
        {RunAll, QStyle::SP_MediaPlay},
        {RunFlow, QStyle::SP_MediaSeekForward},
        {NewFlow, QStyle::SP_FileIcon},
        {EditFlow, QStyle::SP_FileDialogDetailedView},
        {BExit, QStyle::SP_DialogCloseButton}};
    for (auto [action, icon] : icons) {
        action->setIcon(style()->standardIcon(icon));
        if (QWidget* button = toolBar->widgetForAction(action))
            button->setMinimumWidth(96);
    }

    QMenu* file = menuBar()->addMenu("&File");
    QAction* start = AddCommand("Start1", "&Start", &TFMain::RunAllClick);
    start->setShortcut(QKeySequence(Qt::Key_F2));
    file->addAction(start);
    QAction* sourceLogin = file->addAction("Source &login...");
    sourceLogin->setObjectName("SourceLogin1");
    connect(sourceLogin, &QAction::triggered, this, [] { RunGuarded(AskSourceLogin); });
    file->addSeparator();
    QAction* exit = AddCommand("Exit1", "E&xit", &TFMain::BExitClick);
    exit->setShortcuts({QKeySequence(Qt::ALT | Qt::Key_F4), QKeySequence(Qt::CTRL | Qt::Key_Q)});
    file->addAction(exit);

    QMenu* tools = menuBar()->addMenu("&Tools");
    tools->setObjectName("Tools1");
    // The Tools items for flows run the toolbar's commands of the same names.
    QAction* newFlow = AddCommand("Newdataflow1", "&New data flow", &TFMain::NewFlowClick);
    newFlow->setShortcut(QKeySequence(Qt::Key_F3));
    tools->addAction(newFlow);
    tools->addAction(AddCommand("Editdataflow1", "&Edit data flow", &TFMain::EditFlowClick));
    tools->addSeparator();
    QAction* newTranslation =
        AddCommand("Newtranslation1", "New &translation", &TFMain::Newtranslation1Click);
    newTranslation->setShortcut(QKeySequence(Qt::Key_F4));
    tools->addAction(newTranslation);
    tools->addAction(AddCommand("Translations1", "Edit t&ranslation", &TFMain::Translations1Click));
    tools->addSeparator();
    QAction* newConstant = AddCommand("Newconstant1", "New &constant", &TFMain::Newconstant1Click);
    newConstant->setShortcut(QKeySequence(Qt::Key_F5));
    tools->addAction(newConstant);
    tools->addAction(AddCommand("Editconstant1", "Edit c&onstant", &TFMain::Editconstant1Click));

    QMenu* options = menuBar()->addMenu("&Options");
    Stoponerror1 = AddOption("Stoponerror1", "&Stop on error");
    Showtransfersummary1 = AddOption("Showtransfersummary1", "Show transfer s&ummary");
    ReduceProcessMessages1 = AddOption("ReduceProcessMessages1", "&Reduce ProcessMessages");
    options->addAction(Stoponerror1);
    options->addAction(Showtransfersummary1);
    options->addAction(ReduceProcessMessages1);
    options->addSeparator();
    QAction* properties = AddCommand("Properties1", "&Properties", &TFMain::Properties1Click);
    properties->setShortcut(QKeySequence(Qt::Key_F8));
    options->addAction(properties);

    QMenu* help = menuBar()->addMenu("&Help");
    help->setObjectName("Help1");
    help->addAction(AddCommand("About1", "&About", &TFMain::About1Click));

    auto* central = new QWidget;
    auto* grid = new QGridLayout(central);
    FlowList = new TSortedListBox;
    FlowList->setObjectName("FlowList");
    TransList = new TSortedListBox;
    TransList->setObjectName("TransList");
    ConstList = new TSortedListBox;
    ConstList->setObjectName("ConstList");
    int column = 0;
    for (auto [list, caption] : {std::pair{FlowList, "Flo&w list:"}, std::pair{TransList, "T&ranslations:"},
                                 std::pair{ConstList, "&Constants:"}}) {
        auto* label = new QLabel(caption);
        label->setBuddy(list);
        grid->addWidget(label, 0, column);
        grid->addWidget(list, 1, column);
        ++column;
    }
    connect(FlowList, &QListWidget::itemDoubleClicked, this,
            [this] { RunGuarded([this] { EditFlowClick(); }); });
    connect(TransList, &QListWidget::itemDoubleClicked, this,
            [this] { RunGuarded([this] { Translations1Click(); }); });
    connect(ConstList, &QListWidget::itemDoubleClicked, this,
            [this] { RunGuarded([this] { Editconstant1Click(); }); });
    setCentralWidget(central);

    Filter = new QLineEdit;
    Filter->setObjectName("Filter");
    Filter->setToolTip("Filter vrednost");
    connect(Filter, &QLineEdit::textChanged, this, &TFMain::FilterChange);
    auto* filterLabel = new QLabel("F&ilter:");
    filterLabel->setBuddy(Filter);
    // The filter keeps its width and place however long the last run's text and however narrow the
    // window; the text takes what is left.
    Filter->setMinimumWidth(Filter->fontMetrics().horizontalAdvance(QString(24, QLatin1Char('0'))));
    statusBar()->addWidget(filterLabel);
    statusBar()->addWidget(Filter);
    LLastRun = new TElidedLabel;
    LLastRun->setObjectName("LLastRun");
    statusBar()->addWidget(LLastRun, 1);

    resize(sizeHint().expandedTo(QSize(640, 420)));
    bool maximized = false;
    if (const std::optional<QRect> stored = StoredGeometry(maximized)) {
        setGeometry(*stored);
        placed_ = true;
        if (maximized)
            setWindowState(Qt::WindowMaximized);
    }
}

void TFMain::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    if (shown_)
        return;
    shown_ = true;
    if (const QScreen* screen = this->screen(); screen && !placed_)
        move(screen->availableGeometry().center() - rect().center());
    RunGuarded([this] { FormShow(); });
}

void TFMain::FormShow() {
    QStringList flows, translations, constants;
    if (D) {
        flows = IndexNames(D->FlowsIni, "Name");
        translations = IndexNames(D->FlowsIni, "TRANSLATION");
        constants = IndexLines(D->FlowsIni, "CONSTANTS");
    }
    FlowList->SetLines(flows);
    TransList->SetLines(translations);
    ConstList->SetLines(constants);
}

void TFMain::FilterChange(const QString& text) {
    if (D)
        D->ContractFilter = text;
}

void TFMain::RequireFilter() const {
    ::RequireFilter(D ? D->ContractFilter : QString());
}

TRunOptions TFMain::RunOptions() {
    TRunOptions options;
    // Read through a guarded pointer: the window may be asked after it has gone.
    QPointer<TFMain> self(this);
    options.StopOnError = [self] { return self && self->Stoponerror1->isChecked(); };
    options.ShowTransferSummary = [self] { return self && self->Showtransfersummary1->isChecked(); };
    options.ReduceProcessMessages = [self] { return self && self->ReduceProcessMessages1->isChecked(); };
    options.ConstList = [self] { return self ? self->ConstList->Lines() : QStringList(); };
    return options;
}

TRunSettings TFMain::RunSettings() {
    return RunSettingsFromData();
}

void TFMain::SetRunCommandsEnabled(bool enabled) {
    for (const char* name : {"RunAll", "RunFlow", "Start1"})
        if (auto* action = findChild<QAction*>(name))
            action->setEnabled(enabled);
}

void TFMain::StartTransfer(const QStringList& flowNames) {
    // Another run (kelvo-run from a scheduler) in this program directory would mix its logs with ours.
    std::optional<TRunLock> lock;
    try {
        lock.emplace(ProgramDir());
    } catch (const std::exception& error) {
        ShowError(ErrorMessage(error));
        return;
    }
    // A second run would share the progress window; the commands come back when this one ends.
    SetRunCommandsEnabled(false);
    auto* transfer = new TFTransfer(RunSettings(), RunOptions());
    // The window is released by the run but deleted only at the next pass of the event loop.
    QPointer<TFTransfer> window(transfer);
    auto ended = [&] {
        SetRunCommandsEnabled(true);
        if (window)
            static_cast<TElidedLabel*>(LLastRun)->SetWholeText(RunStatusText(window->Run().Result()));
        if (exitAfterRun_)
            QMetaObject::invokeMethod(this, &QWidget::close, Qt::QueuedConnection);
    };
    try {
        transfer->RunTransfer(flowNames);
    } catch (...) {
        ended();
        throw;
    }
    ended();
}

void TFMain::closeEvent(QCloseEvent* event) {
    if (TFTransfer::RunActive() && FTransfer && !exitAfterRun_) {
        event->ignore();
        if (AskYesNo("A transfer is running. Cancel it and exit?") == mrYes) {
            exitAfterRun_ = true;
            FTransfer->Run().Cancel();
        }
        return;
    }
    if (TFTransfer::RunActive()) {
        event->ignore(); // Exit was answered: the run ends first, then the window closes
        return;
    }
    StoreGeometry(*this);
    QMainWindow::closeEvent(event);
}

void TFMain::RunAllClick() {
    RequireFilter();
    StartTransfer(FlowList->Lines());
}

void TFMain::RunFlowClick() {
    if (FlowList->SelectedRow() < 0)
        return;
    const QString selected = FlowList->SelectedLine();
    RequireFilter();
    StartTransfer({selected});
}

void TFMain::BExitClick() {
    close();
}

void TFMain::Newconstant1Click() {
    QStringList lines = ConstList->Lines();
    if (NewConstant(lines, D->FlowsIni))
        ConstList->SetLines(lines);
}

void TFMain::Editconstant1Click() {
    QStringList lines = ConstList->Lines();
    if (EditConstant(lines, ConstList->SelectedRow(), D->FlowsIni))
        ConstList->SetLines(lines);
}

void TFMain::Properties1Click() {
    (new TFProperties())->EditProperties();
}

std::function<QRect()> TFMain::MainFrame() {
    return [this] { return isVisible() ? frameGeometry() : QRect(); };
}

TFlowWizardHost TFMain::FlowWizardHost() {
    TFlowWizardHost host;
    host.FlowNames = [this] { return FlowList->Lines(); };
    host.Constants = [this] { return ConstList->Lines(); };
    host.ConstantsChanged = [this](const QStringList& lines) { ConstList->SetLines(lines); };
    host.TranslationAdded = [this](const QString& name) { TransList->AddLine(name); };
    host.Frame = MainFrame();
    return host;
}

void TFMain::NewFlowClick() {
    QString name;
    if ((new TFFlow(FlowWizardHost()))->OpenForNew(name))
        FlowList->AddLine(name); // not compared with the listed names
}

void TFMain::EditFlowClick() {
    if (FlowList->SelectedRow() < 0)
        return;
    RequireFilter();
    const QString oldName = FlowList->SelectedLine();
    QString name = oldName;
    if (!(new TFFlow(FlowWizardHost()))->OpenForEdit(name) || name == oldName)
        return;
    // The old name stays in the index and on disk; only the list shows the new one.
    ReplaceSelected(FlowList, name);
}

void TFMain::Newtranslation1Click() {
    QString name;
    if ((new TFTranslation(MainFrame()))->EditTranslation(name))
        TransList->AddLine(name);
}

void TFMain::Translations1Click() {
    if (TransList->SelectedRow() < 0)
        return;
    const QString oldName = TransList->SelectedLine();
    QString name = oldName;
    if (!(new TFTranslation(MainFrame()))->EditTranslation(name) || name == oldName)
        return;
    D->IniDeleteKey(D->FlowsIni, "TRANSLATION", oldName);
    ReplaceSelected(TransList, name);
}

QIcon KelvoIcon() {
    return QIcon(":/icons/kelvo-transfer.png");
}

QString AboutText() {
    return QString("Kelvo data transfer\nVersion %1\n\nCopies table data from a source database into a "
                   "destination, or into an export file of statements.\n\n"
                   "Free software under the MIT licence.")
        .arg(KelvoVersion());
}

void TFMain::About1Click() {
    QMessageBox box(QMessageBox::NoIcon, "About Kelvo data transfer", AboutText(), QMessageBox::Ok, this);
    box.setObjectName("AboutBox");
    box.setIconPixmap(KelvoIcon().pixmap(64, 64));
    box.exec();
}

void TFMain::ReplaceSelected(TSortedListBox* list, const QString& name) {
    delete list->takeItem(list->SelectedRow());
    list->AddLine(name);
    list->clearSelection();
    list->SelectLine(name);
    list->setFocus();
}
