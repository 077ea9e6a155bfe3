#include "transfer/ui/Transfer.h"

#include <QApplication>
#include <QCloseEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QStatusBar>
#include <QTimer>
#include <QVBoxLayout>
#include <cstring>

TFTransfer* FTransfer = nullptr;

namespace {
bool runActive = false;
}

TFTransfer::TFTransfer(TRunSettings settings, TRunOptions options, QWidget* parent)
    : QDialog(parent), run_(*this, queries_, std::move(settings), std::move(options)) {
    setObjectName("FTransfer");
    setWindowTitle("Transfer...");
    setModal(false);
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                   Qt::WindowCloseButtonHint);

    auto* grid = new QGridLayout;
    grid->setHorizontalSpacing(16);
    auto row = [&](int r, const char* caption, QLabel* left, QLabel* right = nullptr) {
        auto* label = new QLabel(caption);
        grid->addWidget(label, r, 0);
        grid->addWidget(left, r, 1);
        if (right)
            grid->addWidget(right, r, 2, Qt::AlignRight);
    };
    row(0, "Time:", AddLabel("LTime", "00:00:00"));
    row(1, "Flows:", AddLabel("LFlowsCount"), AddLabel("LPercAll"));
    row(2, "Table:", AddLabel("LTable"));
    row(3, "Records:", AddLabel("LRecords"), AddLabel("LPercTable"));
    auto* label2 = AddLabel("Label2", "Elapsed");
    auto* label1 = AddLabel("Label1", "Remaining");
    grid->addWidget(label2, 4, 0);
    grid->addWidget(AddLabel("LElapTime", "00:00:00"), 4, 1);
    grid->addWidget(label1, 5, 0);
    grid->addWidget(AddLabel("LRemTime", "Calculating..."), 5, 1);
    grid->addWidget(AddLabel("LFailed", "Failed insert on 0 records."), 6, 0, 1, 3);
    findChild<QLabel*>("LTable")->setMinimumWidth(220);
    // Labels that change with every row get a fixed size, so a new text repaints the label alone
    // instead of laying the whole window out again.
    const QFontMetrics metrics(font());
    for (const char* name : {"LRecords", "LPercTable", "LTime", "LElapTime", "LRemTime", "LFailed"}) {
        QLabel* label = findChild<QLabel*>(name);
        const QString widest = QString(name) == "LRecords"     ? "Record 000000000/000000000"
                               : QString(name) == "LFailed"    ? "Failed insert on 000000000 records."
                               : QString(name) == "LPercTable" ? "000%"
                                                               : "Calculating... 00:00:00";
        label->setFixedSize(metrics.horizontalAdvance(widest) + 8, metrics.height() + 4);
    }
    // Both percentages in one right-aligned column.
    QLabel* percAll = findChild<QLabel*>("LPercAll");
    percAll->setFixedSize(findChild<QLabel*>("LPercTable")->size());
    for (QLabel* perc : {percAll, findChild<QLabel*>("LPercTable")})
        perc->setAlignment(Qt::AlignRight | Qt::AlignVCenter);

    BSkip = new QPushButton("Skip this table");
    BSkip->setObjectName("BSkip");
    BitBtn1 = new QPushButton("Cancel");
    BitBtn1->setObjectName("BitBtn1");
    connect(BSkip, &QPushButton::clicked, this, [this] { BSkipClick(); });
    connect(BitBtn1, &QPushButton::clicked, this, [this] { BitBtn1Click(); });
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(BSkip);
    buttons->addWidget(BitBtn1);

    SB = new QStatusBar;
    SB->setObjectName("SB");
    SB->setSizeGripEnabled(false);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    layout->addLayout(buttons);
    layout->addWidget(SB);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    Timer1 = new QTimer(this);
    Timer1->setObjectName("Timer1");
    Timer1->setInterval(1000);
    connect(Timer1, &QTimer::timeout, this, [this] { Timer1Timer(); });

    PaintTimer = new QTimer(this);
    PaintTimer->setSingleShot(true);
    PaintTimer->setInterval(int(PaintIntervalNs / 1000000));
    connect(PaintTimer, &QTimer::timeout, this, [this] { PaintLabels(); });
}

TFTransfer::~TFTransfer() {
    if (FTransfer == this)
        FTransfer = nullptr;
}

QLabel* TFTransfer::AddLabel(const char* name, const QString& text) {
    auto* label = new QLabel(text, this);
    label->setObjectName(name);
    return label;
}

bool TFTransfer::RunActive() {
    return runActive;
}

TRunResult TFTransfer::RunTransfer(const QStringList& flowNames) {
    if (runActive) {
        // The window was made for this run alone; nobody else will release it.
        deleteLater();
        throw EKelvoError("A transfer is already running.");
    }
    runActive = true;
    FTransfer = this;
    auto release = [this] {
        runActive = false;
        Timer1->stop();
        PaintLabels();
        hide();
        if (FTransfer == this)
            FTransfer = nullptr;
        deleteLater();
    };
    TRunResult result;
    try {
        result = run_.RunTransfer(flowNames);
    } catch (...) {
        release();
        throw;
    }
    release();
    return result;
}

QLabel* TFTransfer::Label(const char* name) {
    // The run names its labels by literals, so the pointer usually finds them without a search.
    for (const auto& [known, label] : labels_)
        if (known == name)
            return label;
    for (const auto& [known, label] : labels_)
        if (std::strcmp(known, name) == 0)
            return label;
    QLabel* label = findChild<QLabel*>(name);
    if (label)
        labels_.emplace_back(name, label);
    return label;
}

void TFTransfer::SetLabel(const char* name, const QString& text, bool repaintNow) {
    QLabel* label = Label(name);
    if (!label || label->text() == text)
        return;
    // The text is always current (whoever reads the label reads the last row), but the labels are
    // painted at most ~30 times a second: a paint per row would cost more than the row.
    if (paintPace_.Due()) {
        label->setText(text);
        if (repaintNow && label->isVisible())
            label->repaint();
        return;
    }
    if (label->updatesEnabled()) {
        label->setUpdatesEnabled(false);
        unpainted_.push_back(label);
    }
    label->setText(text);
    if (!PaintTimer->isActive())
        PaintTimer->start();
}

void TFTransfer::PaintLabels() {
    PaintTimer->stop();
    for (const QPointer<QLabel>& label : unpainted_) {
        if (!label)
            continue;
        label->setUpdatesEnabled(true);
        if (label->isVisible())
            label->repaint();
    }
    unpainted_.clear();
    paintPace_.Restart();
}

void TFTransfer::SetLabelVisible(const char* name, bool visible) {
    if (auto* label = findChild<QLabel*>(name))
        label->setVisible(visible);
}

void TFTransfer::SetStatus(const QString& text) {
    // A new step (a flow's start or end among them) shows the labels as they are.
    PaintLabels();
    SB->showMessage(text);
    if (SB->isVisible())
        SB->repaint();
}

void TFTransfer::SetTimerEnabled(bool enabled) {
    if (enabled && !Timer1->isActive())
        Timer1->start();
    else if (!enabled)
        Timer1->stop();
}

void TFTransfer::ShowOrRaise() {
    if (!isVisible()) {
        if (QWidget* owner = parentWidget() ? parentWidget() : QApplication::activeWindow())
            move(owner->geometry().center() - rect().center());
        PaintLabels();
        show();
        Pump();
    } else {
        raise();
    }
}

void TFTransfer::Pump() {
    QCoreApplication::processEvents();
}

void TFTransfer::BSkipClick() {
    run_.Skip();
}

void TFTransfer::BitBtn1Click() {
    run_.Cancel();
}

void TFTransfer::Timer1Timer() {
    run_.Timer1Timer();
}

void TFTransfer::closeEvent(QCloseEvent* event) {
    // The loop still runs on this window: closing asks it to stop, the run releases the window.
    if (runActive && FTransfer == this) {
        run_.Cancel();
        event->ignore();
        return;
    }
    QDialog::closeEvent(event);
}

void TFTransfer::reject() {
    if (runActive && FTransfer == this) {
        run_.Cancel();
        return;
    }
    QDialog::reject();
}
