#include "transfer/ui/Transfer.h"

#include <QApplication>
#include <QCloseEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QStatusBar>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>
#include <climits>

TFTransfer* FTransfer = nullptr;

namespace {
bool runActive = false;
} // namespace

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
    LTime = AddLabel("LTime", "00:00:00");
    LFlowsCount = AddLabel("LFlowsCount");
    LPercAll = AddLabel("LPercAll");
    LTable = AddLabel("LTable");
    LRecords = AddLabel("LRecords");
    LPercTable = AddLabel("LPercTable");
    row(0, "Time:", LTime);
    row(1, "Flows:", LFlowsCount, LPercAll);
    row(2, "Table:", LTable);
    row(3, "Records:", LRecords, LPercTable);
    auto* label2 = AddLabel("Label2", "Elapsed");
    Label1 = AddLabel("Label1", "Remaining");
    LElapTime = AddLabel("LElapTime", "00:00:00");
    LRemTime = AddLabel("LRemTime", "Calculating...");
    LFailed = AddLabel("LFailed", "Failed insert on 0 records.");
    grid->addWidget(label2, 4, 0);
    grid->addWidget(LElapTime, 4, 1);
    grid->addWidget(Label1, 5, 0);
    grid->addWidget(LRemTime, 5, 1);
    grid->addWidget(LFailed, 6, 0, 1, 3);
    LTable->setMinimumWidth(220);
    // The bars beside the counts they draw: the run's flows, the flow's rows.
    PBRun = new QProgressBar(this);
    PBRun->setObjectName("PBRun");
    PBFlow = new QProgressBar(this);
    PBFlow->setObjectName("PBFlow");
    for (QProgressBar* bar : {PBRun, PBFlow}) {
        bar->setTextVisible(false); // the percentages stand beside them
        bar->setRange(0, 1);
        bar->setValue(0);
        bar->setFixedWidth(160);
    }
    LRate = AddLabel("LRate");
    LRate->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    grid->addWidget(PBRun, 1, 3);
    grid->addWidget(PBFlow, 3, 3);
    grid->addWidget(LRate, 4, 3);
    // Labels that change with every row get a fixed size, so a new text repaints the label alone
    // instead of laying the whole window out again.
    const QFontMetrics metrics(font());
    const std::pair<QLabel*, const char*> widest[] = {{LRecords, "Record 000000000/000000000"},
                                                      {LPercTable, "000%"},
                                                      {LTime, "Calculating... 00:00:00"},
                                                      {LElapTime, "Calculating... 00:00:00"},
                                                      {LRemTime, "Calculating... 00:00:00"},
                                                      {LFailed, "Failed insert on 000000000 records."},
                                                      {LRate, "000000000 rows/s"}};
    for (auto [label, text] : widest)
        label->setFixedSize(metrics.horizontalAdvance(text) + 8, metrics.height() + 4);
    // Both percentages in one right-aligned column.
    LPercAll->setFixedSize(LPercTable->size());
    for (QLabel* perc : {LPercAll, LPercTable})
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

void TFTransfer::ShowProgress(const TRunProgress& p) {
    // Only what changed is formatted again: the run shows its progress after every row.
    const TRunProgress& was = shown_;
    const bool all = !anyShown_;
    if (all || p.ElapsedSeconds != was.ElapsedSeconds)
        SetText(LTime, DurationText(p.ElapsedSeconds), true);
    if (all || p.FlowElapsedSeconds != was.FlowElapsedSeconds)
        SetText(LElapTime, DurationText(p.FlowElapsedSeconds), true);
    if (all || p.FlowsDone != was.FlowsDone || p.FlowsRequested != was.FlowsRequested) {
        SetText(LFlowsCount, QString("Transfered %1/%2").arg(p.FlowsDone).arg(p.FlowsRequested));
        SetText(LPercAll, PercentText(p.FlowsDone, p.FlowsRequested));
        PBRun->setRange(0, std::max(1, p.FlowsRequested));
        PBRun->setValue(std::min(p.FlowsDone, PBRun->maximum()));
    }
    if (all || p.Flow != was.Flow)
        SetText(LTable, p.Flow);
    if (all || p.Failed != was.Failed)
        SetText(LFailed, QString("Failed insert on %1 records.").arg(p.Failed));
    const bool records =
        all || p.State != was.State || p.RowsRead != was.RowsRead || p.RowsExpected != was.RowsExpected;
    if (records)
        ShowFlowBar(p);
    // While a flow counts its rows the labels keep the last flow's records and estimate.
    if (p.State == TRunProgress::Copying || p.State == TRunProgress::FlowEnded) {
        if (records)
            ShowRecords(p);
        if (records || p.RemainingSeconds != was.RemainingSeconds)
            SetText(LRemTime, RemainingText(p), true);
    }
    if (all || p.RowsPerSecond != was.RowsPerSecond)
        SetText(LRate, p.RowsPerSecond > 0 ? QString("%1 rows/s").arg(qRound64(p.RowsPerSecond)) : QString());
    const bool newStatus = all || p.Status != was.Status;
    shown_ = p;
    anyShown_ = true;
    if (newStatus) {
        // A new step (a flow's start or end among them) shows the labels as they are.
        PaintLabels();
        SB->showMessage(p.Status);
        if (SB->isVisible())
            SB->repaint();
    }
}

void TFTransfer::ShowRecords(const TRunProgress& p) {
    const bool counted = p.RowsExpected > 0;
    QString text = QStringLiteral("Record ") + QString::number(p.RowsRead);
    if (counted)
        text += QLatin1Char('/') + QString::number(p.RowsExpected);
    SetText(LRecords, text, true);
    if (counted)
        SetText(LPercTable, PercentText(p.RowsRead, p.RowsExpected), true);
    for (QLabel* label : {LPercTable, LRemTime, Label1})
        if (label->isHidden() == counted)
            label->setVisible(counted);
}

void TFTransfer::ShowFlowBar(const TRunProgress& p) {
    // In thousandths of the flow: the bar changes at most a thousand times a flow, where a change per
    // row cost a fifth of a batched run's time.
    int maximum = 0, value = 0; // a busy bar while the rows are not counted
    if (p.RowsExpected > 0) {
        maximum = 1000;
        value = int(1000 * std::min(p.RowsRead, p.RowsExpected) / p.RowsExpected);
    } else if (p.State == TRunProgress::FlowEnded) {
        maximum = value = 1;
    } else if (p.State == TRunProgress::Starting) {
        return;
    }
    if (PBFlow->minimum() != 0 || PBFlow->maximum() != maximum)
        PBFlow->setRange(0, maximum);
    if (PBFlow->value() != value)
        PBFlow->setValue(value);
}

void TFTransfer::SetText(QLabel* label, const QString& text, bool repaintNow) {
    if (label->text() == text)
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
