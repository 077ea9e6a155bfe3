#include "translations/ui/Translation.h"

#include <QButtonGroup>
#include <QFocusEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QVBoxLayout>

#include "app/Data.h"
#include "platform/Errors.h"
#include "support/EnDial3.h"
#include "support/ErrorHandler.h"
#include "support/ListOrder.h"
#include "support/ui/ACComboBox.h"

namespace {

TD& DataModule() {
    if (!D)
        throw EKelvoError("The data module is not ready.");
    return *D;
}

template <class T> T* Named(T* widget, const char* name) {
    widget->setObjectName(name);
    return widget;
}

QLabel* Caption(const QString& text, QWidget* buddy, const char* name = nullptr) {
    auto* label = new QLabel(text);
    if (name)
        label->setObjectName(name);
    label->setBuddy(buddy);
    return label;
}

QPushButton* Button(const char* name, const QString& caption) {
    auto* button = Named(new QPushButton(caption), name);
    // No button is the default: Enter in a field saves nothing.
    button->setAutoDefault(false);
    button->setDefault(false);
    return button;
}

// Table, field name with its side label, and the side's value combo: one group of the window.
QGroupBox* SideGroup(const QString& title, QLineEdit* table, QLineEdit* field, const QString& sideLabel,
                     QLabel* valuesLabel, TACComboBox* values) {
    auto* group = new QGroupBox(title);
    auto* grid = new QGridLayout(group);
    grid->addWidget(Caption("Table:", table), 0, 0);
    grid->addWidget(table, 0, 1, 1, 2);
    grid->addWidget(Caption("Fieldname:", field), 1, 0);
    grid->addWidget(field, 1, 1);
    grid->addWidget(new QLabel(sideLabel), 1, 2);
    grid->addWidget(valuesLabel, 2, 0);
    grid->addWidget(values, 2, 1, 1, 2);
    grid->setColumnStretch(1, 1);
    return group;
}

} // namespace

TFTranslation::TFTranslation(std::function<QRect()> frame, QWidget* parent)
    : QDialog(parent), frame_(std::move(frame)) {
    setObjectName("FTranslation");
    setWindowTitle("Translation");
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                   Qt::WindowCloseButtonHint);
    Q.DatabaseName = "DBSource";

    ETranslationName = Named(new QLineEdit, "ETranslationName");
    connect(ETranslationName, &QLineEdit::textChanged, this, [this](const QString& text) {
        const QString upper = text.toUpper();
        if (upper == text)
            return;
        const int cursor = ETranslationName->cursorPosition();
        ETranslationName->setText(upper);
        ETranslationName->setCursorPosition(cursor);
    });
    CStatic = Named(new QRadioButton("Static translation"), "CStatic");
    CReference = Named(new QRadioButton("Refrence translation"), "CReference");
    auto* types = new QButtonGroup(this);
    types->addButton(CStatic);
    types->addButton(CReference);
    CStatic->setChecked(true);
    connect(CStatic, &QRadioButton::clicked, this, &TFTranslation::CStaticClick);
    connect(CReference, &QRadioButton::clicked, this, &TFTranslation::CStaticClick);

    ESTable = Named(new QLineEdit, "ESTable");
    ESFIeldname = Named(new QLineEdit, "ESFIeldname");
    SValues = Named(new TACComboBox, "SValues");
    LSValues = Caption("Values:", SValues, "LSValues");
    ETTable = Named(new QLineEdit, "ETTable");
    ETFieldName = Named(new QLineEdit, "ETFieldName");
    TValues = Named(new TACComboBox, "TValues");
    LTValues = Caption("Values:", TValues, "LTValues");
    for (TACComboBox* values : {SValues, TValues}) {
        values->SetSelectOnFound(true);
        values->SetExactMatch(false);
        values->setMinimumContentsLength(16);
        values->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    }
    ESFIeldname->installEventFilter(this);
    ETFieldName->installEventFilter(this);
    TSql = Named(new QLineEdit, "TSql");
    LSql = Caption("Sql:", TSql, "LSql");

    Button1 = Button("Button1", "&Add");
    Button2 = Button("Button2", "&Delete");
    TransList = Named(new QListWidget, "TransList");
    TransList->setSortingEnabled(false);
    TransList->setSelectionMode(QAbstractItemView::SingleSelection);
    EDefault = Named(new QLineEdit, "EDefault");
    Button3 = Button("Button3", "Save");
    Button4 = Button("Button4", "Cancel");
    connect(Button1, &QPushButton::clicked, this, [this] { RunGuarded([this] { Button1Click(); }); });
    connect(Button2, &QPushButton::clicked, this, &TFTranslation::Button2Click);
    connect(Button3, &QPushButton::clicked, this, &TFTranslation::Button3Click);
    connect(Button4, &QPushButton::clicked, this, &TFTranslation::Button4Click);
    connect(TransList, &QListWidget::itemDoubleClicked, this, &TFTranslation::TransListDblClick);

    auto* top = new QGridLayout;
    top->addWidget(Caption("Translation name Unique:", ETranslationName), 0, 0);
    top->addWidget(ETranslationName, 0, 1);
    auto* typeRow = new QHBoxLayout;
    typeRow->addWidget(CStatic);
    typeRow->addSpacing(24);
    typeRow->addWidget(CReference);
    typeRow->addStretch(1);
    top->addLayout(typeRow, 1, 1);
    top->setColumnStretch(1, 1);

    auto* sides = new QHBoxLayout;
    sides->addWidget(SideGroup("Source", ESTable, ESFIeldname, "SOURCE", LSValues, SValues), 1);
    sides->addWidget(SideGroup("Target", ETTable, ETFieldName, "TARGET", LTValues, TValues), 1);

    auto* sqlRow = new QHBoxLayout;
    sqlRow->addWidget(LSql);
    sqlRow->addWidget(TSql, 1);

    auto* listButtons = new QHBoxLayout;
    listButtons->addWidget(Button1);
    listButtons->addWidget(Button2);
    listButtons->addStretch(1);
    auto* group = Named(new QGroupBox("Translations"), "GroupBox3");
    auto* groupLayout = new QVBoxLayout(group);
    groupLayout->addWidget(TransList);

    auto* bottom = new QHBoxLayout;
    bottom->addWidget(Caption("Default value:", EDefault));
    bottom->addWidget(EDefault, 1);
    bottom->addSpacing(24);
    bottom->addWidget(Button3);
    bottom->addWidget(Button4);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addLayout(sides);
    layout->addLayout(sqlRow);
    layout->addLayout(listButtons);
    layout->addWidget(group, 1);
    layout->addLayout(bottom);

    QWidget* order[] = {ETranslationName, CStatic,     CReference, ESTable, ESFIeldname, SValues,
                        ETTable,          ETFieldName, TValues,    TSql,    Button1,     Button2,
                        TransList,        EDefault,    Button3,    Button4};
    for (size_t i = 1; i < std::size(order); ++i)
        setTabOrder(order[i - 1], order[i]);

    // A fixed frame that holds either type's controls, the list taking what the other leaves.
    LSql->hide();
    TSql->hide();
    QSize size = sizeHint();
    for (QWidget* w : {static_cast<QWidget*>(LSValues), static_cast<QWidget*>(SValues),
                       static_cast<QWidget*>(LTValues), static_cast<QWidget*>(TValues)})
        w->hide();
    LSql->show();
    TSql->show();
    size = size.expandedTo(sizeHint()).expandedTo(QSize(560, 0));
    setFixedSize(size);
    ApplyTypeLayout();
}

TFTranslation::~TFTranslation() = default;

void TFTranslation::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (parentWidget())
        return;
    const QRect over = frame_ ? frame_() : QRect();
    if (over.isValid())
        move(over.center() - rect().center());
    else if (const QScreen* screen = this->screen())
        move(screen->availableGeometry().center() - rect().center());
}

bool TFTranslation::EditTranslation(QString& name) {
    // Released however this ends, once the controls have been read.
    struct TRelease {
        TFTranslation* window;
        ~TRelease() { window->deleteLater(); }
    } release{this};
    LoadTranslation(name);
    exec();
    return SaveTranslation(name);
}

void TFTranslation::LoadTranslation(const QString& name) {
    for (TACComboBox* values : {SValues, TValues}) {
        values->setCurrentIndex(-1);
        values->setEditText(QString());
    }
    if (!name.isEmpty()) {
        ShowDefinition(ReadTranslationDef(DataModule().FlowsIni, name));
        return;
    }
    TTranslationDef fresh;
    fresh.Type = "S";
    ShowDefinition(fresh);
    for (TACComboBox* values : {SValues, TValues})
        values->clear();
}

bool TFTranslation::SaveTranslation(QString& name) {
    if (!Saved)
        return false;
    const TTranslationDef def = Definition();
    WriteTranslationDef(DataModule().FlowsIni, def);
    name = def.Name;
    return true;
}

TTranslationDef TFTranslation::Definition() const {
    TTranslationDef def;
    def.Name = ETranslationName->text();
    def.Type = CStatic->isChecked() ? "S" : "R";
    def.Default = EDefault->text();
    def.SourceTable = ESTable->text();
    def.SourceField = ESFIeldname->text();
    def.TargetTable = ETTable->text();
    def.TargetField = ETFieldName->text();
    for (int i = 0; i < TransList->count(); ++i)
        def.Pairs << TransList->item(i)->text();
    return def;
}

void TFTranslation::ShowDefinition(const TTranslationDef& def) {
    ETranslationName->setText(def.Name);
    EDefault->setText(def.Default);
    SelectType(def.Type);
    ESTable->setText(def.SourceTable);
    ESFIeldname->setText(def.SourceField);
    ETTable->setText(def.TargetTable);
    ETFieldName->setText(def.TargetField);
    TSql->clear();
    TransList->clear();
    TransList->addItems(def.Pairs);
}

void TFTranslation::SelectType(const QString& type) {
    auto* group = CStatic->group();
    // Neither button may be selected, which an exclusive group refuses.
    group->setExclusive(false);
    CStatic->setChecked(type == "S");
    CReference->setChecked(type == "R");
    group->setExclusive(true);
    ApplyTypeLayout();
}

void TFTranslation::ApplyTypeLayout() {
    const bool reference = CReference->isChecked();
    for (QWidget* w : {static_cast<QWidget*>(LSValues), static_cast<QWidget*>(SValues),
                       static_cast<QWidget*>(LTValues), static_cast<QWidget*>(TValues)})
        w->setVisible(!reference);
    LSql->setVisible(reference);
    TSql->setVisible(reference);
}

void TFTranslation::CStaticClick() {
    ApplyTypeLayout();
}

bool TFTranslation::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::FocusOut) {
        // Another window coming up is no exit from the field.
        const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
        if (reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason) {
            if (watched == ESFIeldname)
                RunGuarded([this] { ESFIeldnameExit(); });
            else if (watched == ETFieldName)
                RunGuarded([this] { ETFieldNameExit(); });
        }
    }
    return QDialog::eventFilter(watched, event);
}

void TFTranslation::ESFIeldnameExit() {
    if (CStatic->isChecked())
        LoadDistinctValues("SOURCE", ESTable->text(), SValues, ESFIeldname->text());
}

void TFTranslation::ETFieldNameExit() {
    if (CStatic->isChecked())
        LoadDistinctValues("TARGET", ETTable->text(), TValues, ETFieldName->text());
}

void TFTranslation::LoadDistinctValues(const QString& side, const QString& table, TACComboBox* combo,
                                       const QString& field) {
    TD& d = DataModule();
    const QString databaseName = side == "SOURCE" ? d.DBS.DatabaseName : d.DBD.DatabaseName;
    // Read completely before the combo changes, so a failure leaves its items.
    const QStringList values = DistinctValues(Q, databaseName, table, field);
    combo->clear();
    combo->addItems(values);
    // Qt makes the first item current; the field stays empty as clearing left it.
    combo->setCurrentIndex(-1);
}

void TFTranslation::Button1Click() {
    QString key, value;
    if (CReference->isChecked()) {
        key = ETFieldName->text();
        value = TSql->text();
    } else {
        key = SValues->currentText();
        value = TValues->currentText();
        if (key.isEmpty() || value.isEmpty())
            return;
    }
    if (const QString error = PairKeyError(key); !error.isEmpty()) {
        ShowMessage(error);
        return;
    }
    TransList->addItem(key + "=" + value);
}

void TFTranslation::Button2Click() {
    const QList<QListWidgetItem*> selected = TransList->selectedItems();
    if (!selected.isEmpty())
        delete TransList->takeItem(TransList->row(selected.constFirst()));
}

void TFTranslation::TransListDblClick() {
    const QList<QListWidgetItem*> selected = TransList->selectedItems();
    if (!selected.isEmpty() && CReference->isChecked())
        TSql->setText(LineValue(selected.constFirst()->text()));
}

void TFTranslation::Button3Click() {
    if (const QString error = TranslationSaveError(Definition()); !error.isEmpty()) {
        ShowMessage(error);
        return;
    }
    Saved = true;
    accept();
}

void TFTranslation::Button4Click() {
    reject();
}
