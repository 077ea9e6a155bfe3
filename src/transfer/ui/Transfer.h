#pragma once

#include <QDialog>
#include <QPointer>
#include <QStringList>
#include <utility>
#include <vector>

#include "transfer/RecordCopy.h"
#include "transfer/TransferRun.h"
#include "transfer/ui/Pacer.h"

class QLabel;
class QProgressBar;
class QPushButton;
class QStatusBar;
class QTimer;

// The progress window of a transfer run. Created for one run; RunTransfer releases it.
class TFTransfer : public QDialog, public ITransferView {
    Q_OBJECT
public:
    TFTransfer(TRunSettings settings, TRunOptions options, QWidget* parent = nullptr);
    ~TFTransfer() override;

    // Runs the flows and returns how the run ended; the window is then released. Errors that end the
    // run propagate after the window was hidden; Run().Result() tells the rest until it is deleted.
    TRunResult RunTransfer(const QStringList& flowNames);
    // True while any progress window runs its loop.
    static bool RunActive();

    TCopyQueries& Queries() { return queries_; }
    TLangQuery& QS() { return queries_.QS; }
    TLangQuery& QT() { return queries_.QT; }
    TTransferRun& Run() { return run_; }

    void ShowProgress(const TRunProgress& progress) override;
    void SetTimerEnabled(bool enabled) override;
    void ShowOrRaise() override;
    void Pump() override;

    void BSkipClick();
    void BitBtn1Click();
    void Timer1Timer();

protected:
    void closeEvent(QCloseEvent* event) override;
    void reject() override;

private:
    QLabel* AddLabel(const char* name, const QString& text = QString());
    // Sets a label's text; repaintNow paints it at once instead of at the next pump.
    void SetText(QLabel* label, const QString& text, bool repaintNow = false);
    void ShowRecords(const TRunProgress& progress);
    void ShowFlowBar(const TRunProgress& progress);
    // Paints the labels whose new text waits for its paint.
    void PaintLabels();

    static constexpr long long PaintIntervalNs = 33LL * 1000 * 1000;

    TCopyQueries queries_;
    TTransferRun run_;
    QLabel* LTime = nullptr;
    QLabel* LFlowsCount = nullptr;
    QLabel* LPercAll = nullptr;
    QLabel* LTable = nullptr;
    QLabel* LRecords = nullptr;
    QLabel* LPercTable = nullptr;
    QLabel* Label1 = nullptr;
    QLabel* LElapTime = nullptr;
    QLabel* LRemTime = nullptr;
    QLabel* LFailed = nullptr;
    QLabel* LRate = nullptr;
    QProgressBar* PBFlow = nullptr;
    QProgressBar* PBRun = nullptr;
    QStatusBar* SB = nullptr;
    QPushButton* BSkip = nullptr;
    QPushButton* BitBtn1 = nullptr;
    QTimer* Timer1 = nullptr;
    QTimer* PaintTimer = nullptr; // paints what waits once the interval has passed
    TPacer paintPace_{PaintIntervalNs};
    std::vector<QPointer<QLabel>> unpainted_;
    TRunProgress shown_;
    bool anyShown_ = false;
};

// The progress window of the run in progress, if any.
extern TFTransfer* FTransfer;
