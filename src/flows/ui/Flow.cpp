#include "flows/ui/Flow.h"

#include <QCheckBox>
#include <QEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScopeGuard>
#include <QScreen>
#include <QStackedWidget>
#include <QStyle>
#include <QToolButton>
#include <QVBoxLayout>
#include <QValidator>

#include "app/Data.h"
#include "flows/FlowScripts.h"
#include "platform/Errors.h"
#include "platform/ProgramDir.h"
#include "support/EnDial3.h"
#include "support/ErrorHandler.h"
#include "support/ui/SortedListBox.h"
#include "translations/Constants.h"
#include "translations/ui/Translation.h"

namespace {

// Letters become upper case as they are typed or pasted, so flow and file names are upper case.
class TUpperCaseValidator : public QValidator {
public:
    using QValidator::QValidator;
    State validate(QString& input, int&) const override {
        input = input.toUpper();
        return Acceptable;
    }
};

QStringList LinesOf(const QListWidget* list) {
    QStringList lines;
    for (int i = 0; i < list->count(); ++i)
        lines << list->item(i)->text();
    return lines;
}

void SetLinesOf(QListWidget* list, const QStringList& lines) {
    if (LinesOf(list) == lines)
        return;
    list->clear();
    list->addItems(lines);
}

int SelectedRowOf(const QListWidget* list) {
    const QList<QListWidgetItem*> selected = list->selectedItems();
    return selected.isEmpty() ? -1 : list->row(selected.first());
}

void RemoveIgnoringCase(TSortedListBox* list, const QString& text) {
    for (int i = 0; i < list->count(); ++i) {
        if (list->item(i)->text().compare(text, Qt::CaseInsensitive) == 0) {
            delete list->takeItem(i);
            return;
        }
    }
}

void MoveSelected(TSortedListBox* from, TSortedListBox* to) {
    const int row = from->SelectedRow();
    if (row < 0)
        return;
    QListWidgetItem* item = from->takeItem(row);
    to->AddLine(item->text());
    delete item;
    // The list would select a neighbour; a second click must not move it unasked.
    from->clearSelection();
}

QLabel* Caption(const QString& text, QWidget* buddy) {
    auto* label = new QLabel(text);
    label->setBuddy(buddy);
    return label;
}

QHBoxLayout* NavigationRow(std::initializer_list<QPushButton*> buttons) {
    auto* row = new QHBoxLayout;
    row->addStretch();
    for (QPushButton* button : buttons)
        row->addWidget(button);
    return row;
}

void ChainTabOrder(std::initializer_list<QWidget*> widgets) {
    QWidget* previous = nullptr;
    for (QWidget* widget : widgets) {
        if (previous)
            QWidget::setTabOrder(previous, widget);
        previous = widget;
    }
}

QListWidget* NewList(const char* name) {
    auto* list = new QListWidget;
    list->setObjectName(name);
    list->setSelectionMode(QAbstractItemView::SingleSelection);
    return list;
}

} // namespace

QPushButton* TFFlow::AddButton(const char* name, const QString& caption, void (TFFlow::*handler)()) {
    auto* button = new QPushButton(caption);
    button->setObjectName(name);
    // Enter presses only a page's default button, never the one that happens to have the focus.
    button->setAutoDefault(false);
    connect(button, &QPushButton::clicked, this,
            [this, handler] { RunGuarded([&] { (this->*handler)(); }); });
    return button;
}

TFFlow::TFFlow(TFlowWizardHost host, QWidget* parent) : QDialog(parent), host_(std::move(host)) {
    setObjectName("FFlow");
    setWindowTitle("Flow wizard");
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    Pages = new QStackedWidget;
    Pages->setObjectName("PageControl1");
    Pages->addWidget(BuildSourcePage());
    Pages->addWidget(BuildMappingPage());
    Pages->addWidget(BuildDependentPage());
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(Pages);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    Finished = false;
    if (host_.FlowNames)
        FKFlows->SetLines(host_.FlowNames());
    ShowPage(0);
}

QWidget* TFFlow::BuildSourcePage() {
    auto* page = new QWidget;
    page->setObjectName("TabSheet1");
    EFlowname = new QLineEdit;
    EFlowname->setObjectName("EFlowname");
    EFlowname->setValidator(new TUpperCaseValidator(EFlowname));
    MFromtable = new QPlainTextEdit;
    MFromtable->setObjectName("MFromtable");
    MFromtable->setTabChangesFocus(true);
    MFromtable->setLineWrapMode(QPlainTextEdit::NoWrap);
    MFromtable->setMinimumHeight(MFromtable->fontMetrics().lineSpacing() * 6 + 12);
    CSql = new QCheckBox("Source is Sql command");
    CSql->setObjectName("CSql");
    ETotable = new QLineEdit;
    ETotable->setObjectName("ETotable");

    auto scriptButton = [this](const char* name, const QString& caption, const char* suffix) {
        auto* button = new QPushButton(caption);
        button->setObjectName(name);
        button->setAutoDefault(false);
        connect(button, &QPushButton::clicked, this,
                [this, suffix] { RunGuarded([&] { EditScriptClick(suffix); }); });
        return button;
    };
    auto runButton = [this](const char* name, bool source, const char* suffix) {
        auto* button = new QToolButton;
        button->setObjectName(name);
        button->setToolTip("Start");
        button->setIcon(style()->standardIcon(QStyle::SP_MediaPlay));
        button->setAutoRaise(true);
        connect(button, &QToolButton::clicked, this, [this, source, suffix] {
            RunGuarded([&] { RunScriptClick(source ? D->DBS.DatabaseName : D->DBD.DatabaseName, suffix); });
        });
        return button;
    };
    Button16 = scriptButton("Button16", "Run SQL before transfer", SourceInitSuffix);
    SpeedButton1 = runButton("SpeedButton1", true, SourceInitSuffix);
    Button17 = scriptButton("Button17", "Run SQL after transfer", SourceFinalSuffix);
    SpeedButton3 = runButton("SpeedButton3", true, SourceFinalSuffix);
    Button18 = scriptButton("Button18", "Run SQL before transfer", DestInitSuffix);
    SpeedButton2 = runButton("SpeedButton2", false, DestInitSuffix);
    Button19 = scriptButton("Button19", "Run SQL after transfer", DestFinalSuffix);
    SpeedButton4 = runButton("SpeedButton4", false, DestFinalSuffix);
    Button1 = AddButton("Button1", "&Next >>", &TFFlow::Button1Click);
    Button2 = AddButton("Button2", "Cancel", &TFFlow::reject);

    auto* grid = new QGridLayout;
    grid->addWidget(Caption("Flow name", EFlowname), 0, 0);
    grid->addWidget(EFlowname, 0, 1);
    grid->addWidget(Caption("From table or Sql:", MFromtable), 1, 0, Qt::AlignTop);
    grid->addWidget(MFromtable, 1, 1);
    grid->addWidget(CSql, 2, 1);
    grid->addWidget(Caption("To table", ETotable), 3, 0);
    grid->addWidget(ETotable, 3, 1);
    grid->setRowMinimumHeight(4, 8);
    auto scriptRow = [&](int row, const QString& caption, QPushButton* before, QToolButton* runBefore,
                         QPushButton* after, QToolButton* runAfter) {
        auto* buttons = new QHBoxLayout;
        buttons->setSpacing(2);
        buttons->addWidget(before, 1);
        buttons->addWidget(runBefore);
        buttons->addSpacing(12);
        buttons->addWidget(after, 1);
        buttons->addWidget(runAfter);
        grid->addWidget(new QLabel(caption), row, 0);
        grid->addLayout(buttons, row, 1);
    };
    scriptRow(5, "Source database", Button16, SpeedButton1, Button17, SpeedButton3);
    scriptRow(6, "Destination database", Button18, SpeedButton2, Button19, SpeedButton4);
    grid->setColumnMinimumWidth(1, 420);
    // The statement takes the height the taller mapping page gives every page.
    grid->setRowStretch(1, 1);

    auto* layout = new QVBoxLayout(page);
    layout->addLayout(grid);
    layout->addSpacing(8);
    layout->addLayout(NavigationRow({Button1, Button2}));
    ChainTabOrder({EFlowname, MFromtable, CSql, ETotable, Button16, SpeedButton1, Button17, SpeedButton3,
                   Button18, SpeedButton2, Button19, SpeedButton4, Button1, Button2});
    return page;
}

QWidget* TFFlow::BuildMappingPage() {
    auto* page = new QWidget;
    page->setObjectName("TabSheet2");
    FieldListFrom = NewList("FieldListFrom");
    FieldListTo = NewList("FieldListTo");
    MapFieldList = NewList("MapFieldList");
    TransList = NewList("TransList");
    TransList->setParent(page);
    TransList->hide();
    BitBtn1 = AddButton("BitBtn1", "Add =", &TFFlow::BitBtn1Click);
    Button13 = AddButton("Button13", "Add equal =", &TFFlow::Button13Click);
    Button14 = AddButton("Button14", "Translate", &TFFlow::Button14Click);
    Button15 = AddButton("Button15", "Constant", &TFFlow::Button15Click);
    bId = AddButton("bId", "ID", &TFFlow::bIdClick);
    BitBtn2 = AddButton("BitBtn2", "Remove", &TFFlow::BitBtn2Click);
    VTrans = AddButton("VTrans", "View trans.", &TFFlow::VTransClick);
    VTrans->setEnabled(false);
    BNewCons = AddButton("BNewCons", "New const", &TFFlow::BNewConsClick);
    BNewTrans = AddButton("BNewTrans", "New trans", &TFFlow::BNewTransClick);
    Button3 = AddButton("Button3", "&Back <<", &TFFlow::Button3Click);
    Button4 = AddButton("Button4", "&Next >>", &TFFlow::Button4Click);
    Button5 = AddButton("Button5", "Cancel", &TFFlow::reject);
    connect(MapFieldList, &QListWidget::itemSelectionChanged, this, [this] { MapFieldListClick(); });
    for (QListWidget* list : {FieldListFrom, FieldListTo})
        list->setMinimumSize(200, 180);
    MapFieldList->setMinimumHeight(130);

    auto* actions = new QVBoxLayout;
    actions->addStretch();
    const int actionWidth = Button13->sizeHint().width() + 16;
    for (QPushButton* button : {BitBtn1, Button13, Button14, Button15, bId, BitBtn2}) {
        button->setMinimumWidth(actionWidth);
        actions->addWidget(button);
    }
    actions->addStretch();
    auto* mappedButtons = new QHBoxLayout;
    mappedButtons->addWidget(VTrans);
    mappedButtons->addStretch();
    mappedButtons->addWidget(BNewCons);
    mappedButtons->addWidget(BNewTrans);

    auto* group = new QGroupBox("Field mapping:");
    auto* grid = new QGridLayout(group);
    grid->addWidget(Caption("From", FieldListFrom), 0, 0);
    grid->addWidget(Caption("To", FieldListTo), 0, 2);
    grid->addWidget(FieldListFrom, 1, 0);
    grid->addLayout(actions, 1, 1);
    grid->addWidget(FieldListTo, 1, 2);
    grid->addWidget(Caption("Mapped:", MapFieldList), 2, 0, 1, 3);
    grid->addWidget(MapFieldList, 3, 0, 1, 3);
    grid->addLayout(mappedButtons, 4, 0, 1, 3);

    auto* layout = new QVBoxLayout(page);
    layout->addWidget(group);
    layout->addLayout(NavigationRow({Button3, Button4, Button5}));
    ChainTabOrder({FieldListFrom, BitBtn1, Button13, Button14, Button15, bId, BitBtn2, FieldListTo,
                   MapFieldList, VTrans, BNewCons, BNewTrans, Button3, Button4, Button5});
    return page;
}

QWidget* TFFlow::BuildDependentPage() {
    auto* page = new QWidget;
    page->setObjectName("TabSheet3");
    FKFlows = new TSortedListBox;
    FKFlows->setObjectName("FKFlows");
    FKDependentFlows = new TSortedListBox;
    FKDependentFlows->setObjectName("FKDependentFlows");
    Button11 = AddButton("Button11", "&Select", &TFFlow::Button11Click);
    Button12 = AddButton("Button12", "Remove", &TFFlow::Button12Click);
    Button6 = AddButton("Button6", "&Back <<", &TFFlow::Button6Click);
    Button7 = AddButton("Button7", "&Finish", &TFFlow::Button7Click);
    Button8 = AddButton("Button8", "Cancel", &TFFlow::reject);

    auto* moves = new QVBoxLayout;
    moves->addStretch();
    moves->addWidget(Button11);
    moves->addWidget(Button12);
    moves->addStretch();
    auto* group = new QGroupBox("Foreign keys and dependent flows:");
    auto* grid = new QGridLayout(group);
    grid->addWidget(Caption("Available flows:", FKFlows), 0, 0);
    grid->addWidget(Caption("Dependent flows:", FKDependentFlows), 0, 2);
    grid->addWidget(FKFlows, 1, 0);
    grid->addLayout(moves, 1, 1);
    grid->addWidget(FKDependentFlows, 1, 2);

    auto* layout = new QVBoxLayout(page);
    layout->addWidget(group);
    layout->addLayout(NavigationRow({Button6, Button7, Button8}));
    ChainTabOrder({FKFlows, Button11, Button12, FKDependentFlows, Button6, Button7, Button8});
    return page;
}

int TFFlow::Page() const {
    return Pages->currentIndex();
}

void TFFlow::ShowPage(int page) {
    Pages->setCurrentIndex(page);
    // Enter presses the default button of the page in view; page 1 has none, so Enter in its fields
    // does not leave the page.
    Button4->setDefault(page == 1);
    Button7->setDefault(page == 2);
    QWidget* first = page == 0   ? static_cast<QWidget*>(EFlowname)
                     : page == 1 ? static_cast<QWidget*>(FieldListFrom)
                                 : static_cast<QWidget*>(FKFlows);
    first->setFocus();
}

void TFFlow::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    const QRect frame = host_.Frame ? host_.Frame() : QRect();
    const QRect area = frame.isValid() ? frame : screen() ? screen()->availableGeometry() : QRect();
    if (area.isValid())
        move(area.center() - rect().center());
}

void TFFlow::changeEvent(QEvent* event) {
    QDialog::changeEvent(event);
    // The name box is only reachable on the first page; elsewhere the focus stays where it was.
    if (event->type() == QEvent::ActivationChange && isActiveWindow() && Page() == 0)
        EFlowname->setFocus();
}

void TFFlow::reject() {
    // A script run processes window messages between batches; the window stays until it is over.
    if (scriptRunning_)
        return;
    QDialog::reject();
}

bool TFFlow::RunModal(QString& flowName) {
    exec();
    flowName = EFlowname->text();
    if (!Finished)
        return false;
    return SaveFlow();
}

bool TFFlow::OpenForNew(QString& flowName) {
    const auto release = qScopeGuard([this] { deleteLater(); });
    ShowPage(0);
    ClearFields();
    NewMode = true;
    return RunModal(flowName);
}

bool TFFlow::OpenForEdit(QString& flowName) {
    const auto release = qScopeGuard([this] { deleteLater(); });
    ShowPage(0);
    ClearFields();
    NewMode = false;
    LoadFlow(flowName);
    return RunModal(flowName);
}

void TFFlow::ClearFields() {
    EFlowname->clear();
    ETotable->clear();
    FieldListFrom->clear();
    FieldListTo->clear();
    MapFieldList->clear();
    FKDependentFlows->clear();
    MFromtable->clear();
    CSql->setChecked(false);
    MapFieldListClick();
}

bool TFFlow::FeedFieldsToList(TQuery& query, QListWidget* list) {
    QStringList names;
    ::FeedFieldsToList(query, names);
    SetLinesOf(list, names);
    return true;
}

void TFFlow::FillFieldLists() {
    TFieldListSource source;
    source.MemoLines = MemoLines(MFromtable->toPlainText());
    source.Sql = CSql->isChecked();
    source.TargetTable = ETotable->text();
    source.SourceDatabase = D->DBS.DatabaseName;
    source.DestDatabase = D->DBD.DatabaseName;
    source.Scripting = D->Scripting;
    source.ContractFilter = D->ContractFilter;
    QStringList from = LinesOf(FieldListFrom);
    QStringList to = LinesOf(FieldListTo);
    // The source list keeps what it received when the destination fails.
    const auto apply = qScopeGuard([&] {
        SetLinesOf(FieldListFrom, from);
        SetLinesOf(FieldListTo, to);
    });
    ::FillFieldLists(source, from, to);
}

void TFFlow::LoadFlow(const QString& flowName) {
    const QString indexed = D->IniReadString(D->FlowsIni, "NAME", flowName, "");
    FlowFile = indexed.isEmpty() ? QString() : ProgramDir() + "FIles/" + indexed;
    const TFlowDefinition flow = ::LoadFlow(flowName, D->FlowsIni);
    EFlowname->setText(flow.Name);
    RemoveIgnoringCase(FKFlows, flow.Name);
    MFromtable->setPlainText(flow.SourceLines.join('\n'));
    CSql->setChecked(flow.Sql);
    ETotable->setText(flow.TargetTable);
    FillFieldLists();
    TMappingLists lists = Mapping();
    AppendLoadedMappings(lists, flow.MapFieldList);
    lists.Trans = flow.TransList;
    SetMapping(lists);
    FKDependentFlows->SetLines(flow.DependentFlows);
    for (const QString& dependent : flow.DependentFlows)
        RemoveIgnoringCase(FKFlows, dependent);
}

TFlowDefinition TFFlow::Definition() const {
    TFlowDefinition flow;
    flow.Name = EFlowname->text();
    flow.Sql = CSql->isChecked();
    flow.SourceLines = MemoLines(MFromtable->toPlainText());
    flow.TargetTable = ETotable->text();
    flow.MapFieldList = LinesOf(MapFieldList);
    flow.TransList = LinesOf(TransList);
    flow.DependentFlows = FKDependentFlows->Lines();
    return flow;
}

bool TFFlow::SaveFlow() {
    FlowFile = FlowSavePath(EFlowname->text());
    return ::SaveFlow(Definition(), D->FlowsIni);
}

void TFFlow::Button1Click() {
    if (NewMode)
        FillFieldLists();
    ShowPage(1);
}

void TFFlow::Button3Click() {
    ShowPage(0);
}

void TFFlow::Button4Click() {
    ShowPage(2);
}

void TFFlow::Button6Click() {
    ShowPage(1);
}

void TFFlow::Button7Click() {
    try {
        CheckFlowName(EFlowname->text());
    } catch (const EKelvoError& error) {
        ShowMessage(error.Message());
        return;
    }
    Finished = true;
    accept();
}

TMappingLists TFFlow::Mapping() const {
    return {LinesOf(FieldListFrom), LinesOf(FieldListTo), LinesOf(MapFieldList), LinesOf(TransList)};
}

void TFFlow::SetMapping(const TMappingLists& lists) {
    SetLinesOf(FieldListFrom, lists.From);
    SetLinesOf(FieldListTo, lists.To);
    SetLinesOf(MapFieldList, lists.Map);
    SetLinesOf(TransList, lists.Trans);
    MapFieldListClick();
}

void TFFlow::ChangeMapping(const std::function<bool(TMappingLists&, int fromRow, int toRow)>& change) {
    TMappingLists lists = Mapping();
    if (change(lists, SelectedRowOf(FieldListFrom), SelectedRowOf(FieldListTo)))
        SetMapping(lists);
}

void TFFlow::BitBtn1Click() {
    ChangeMapping(MapAdd);
}

void TFFlow::Button13Click() {
    ChangeMapping([](TMappingLists& lists, int, int) { return MapAddEqual(lists); });
}

void TFFlow::Button14Click() {
    QString name;
    if (!InputText("Translation", "Translation name", name))
        return;
    ChangeMapping(
        [&](TMappingLists& lists, int from, int to) { return MapTranslate(lists, from, to, name); });
}

void TFFlow::Button15Click() {
    if (SelectedRowOf(FieldListTo) < 0)
        return;
    QString identifier;
    if (!InputText("Supply constant", "Constand ID", identifier))
        return;
    ChangeMapping([&](TMappingLists& lists, int, int to) { return MapConstant(lists, to, identifier); });
}

void TFFlow::bIdClick() {
    ChangeMapping(MapId);
}

void TFFlow::BitBtn2Click() {
    const int row = SelectedRowOf(MapFieldList);
    ChangeMapping([row](TMappingLists& lists, int, int) { return MapRemove(lists, row); });
}

void TFFlow::MapFieldListClick() {
    VTrans->setEnabled(!MappingTranslation(Mapping(), SelectedRowOf(MapFieldList)).isEmpty());
}

void TFFlow::VTransClick() {
    const QString translation = MappingTranslation(Mapping(), SelectedRowOf(MapFieldList));
    if (!translation.isEmpty())
        ShowInfo(translation);
}

void TFFlow::BNewConsClick() {
    QStringList lines = host_.Constants ? host_.Constants() : QStringList();
    if (NewConstant(lines, D->FlowsIni) && host_.ConstantsChanged)
        host_.ConstantsChanged(lines);
}

void TFFlow::BNewTransClick() {
    QString name;
    auto* editor = new TFTranslation(host_.Frame);
    if (editor->EditTranslation(name) && host_.TranslationAdded)
        host_.TranslationAdded(name);
}

void TFFlow::Button11Click() {
    MoveSelected(FKFlows, FKDependentFlows);
}

void TFFlow::Button12Click() {
    MoveSelected(FKDependentFlows, FKFlows);
}

void TFFlow::EditScriptClick(const char* suffix) {
    EditScript(ScriptPath(EFlowname->text(), suffix));
}

void TFFlow::RunScriptClick(const QString& databaseName, const char* suffix) {
    scriptRunning_ = true;
    Pages->setEnabled(false);
    const auto done = qScopeGuard([this] {
        Pages->setEnabled(true);
        scriptRunning_ = false;
    });
    RunScript(databaseName, ScriptPath(EFlowname->text(), suffix), Tbl);
}
