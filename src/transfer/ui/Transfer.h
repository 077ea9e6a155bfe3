#pragma once

#include <QDialog>
#include <QStringList>

#include "transfer/RecordCopy.h"
#include "transfer/TransferRun.h"

class QLabel;
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

    void SetLabel(const char* name, const QString& text, bool repaintNow) override;
    void SetLabelVisible(const char* name, bool visible) override;
    void SetStatus(const QString& text) override;
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

    TCopyQueries queries_;
    TTransferRun run_;
    QStatusBar* SB = nullptr;
    QPushButton* BSkip = nullptr;
    QPushButton* BitBtn1 = nullptr;
    QTimer* Timer1 = nullptr;
};

// The progress window of the run in progress, if any.
extern TFTransfer* FTransfer;
