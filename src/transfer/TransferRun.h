#pragma once

#include <QElapsedTimer>
#include <QString>
#include <QStringList>
#include <functional>

#include "transfer/RecordCopy.h"
#include "transfer/RunProgress.h"
#include "transfer/RunResult.h"
#include "transfer/TransferFiles.h"

// What the run shows and asks of its progress window.
class ITransferView {
public:
    virtual ~ITransferView() = default;
    // Called whenever a field of the progress changed; the fields that did not keep their values.
    virtual void ShowProgress(const TRunProgress& progress) = 0;
    virtual void SetTimerEnabled(bool enabled) = 0;
    // Shows the window without making it modal, or brings it to the front when it is shown.
    virtual void ShowOrRaise() = 0;
    virtual void Pump() = 0;
};

// The main window's run options and constants, read at each use.
struct TRunOptions {
    std::function<bool()> StopOnError = [] { return false; };
    std::function<bool()> ShowTransferSummary = [] { return false; };
    std::function<bool()> ReduceProcessMessages = [] { return false; };
    std::function<QStringList()> ConstList = [] { return QStringList(); };
};

struct TRunSettings {
    QString SourceDatabase = "DBSource";
    QString DestDatabase = "DBDest";
    bool Scripting = false;
    // Rows per INSERT (BATCH_ROWS); 1 sends each row as it is composed.
    int BatchRows = 1;
    std::function<QString()> ContractFilter = [] { return QString(); };
};

// Runs a list of flows in dependency order.
class TTransferRun {
public:
    TTransferRun(ITransferView& view, TCopyQueries& queries, TRunSettings settings, TRunOptions options);

    // Returns how the run ended when it is over; errors that end it propagate after the run has
    // cleaned up and recorded them in Result() and Transfer.log.
    TRunResult RunTransfer(const QStringList& flowNames);
    const TRunResult& Result() const { return result_; }

    // The first flow in list order that has not run and whose dependencies all have.
    static bool NextFlow(const QStringList& flowNames, const QStringList& doneFlows, QString& next);

    void Cancel() { canceled_ = true; }
    void Skip();
    void Timer1Timer();
    bool Active() const { return active_; }

    QString ExportFile;

private:
    void Show();
    void SetStatus(const QString& status);
    void UpdateFlowCounts();
    void UpdateRecords();
    void Estimate();
    bool RunFlow(const QString& name, int& done); // false: the run ends
    void SyncFlow(TFlowResult& flow) const;
    void LogFlowLine(const QString& state, double start);
    void EndCancelled(const QStringList& flowNames);
    void ListNotRun(const QStringList& flowNames);
    void LogScriptFailures(const QString& name, const std::vector<TScriptFailure>& failures);

    ITransferView& view_;
    TCopyQueries& q_;
    TRunSettings settings_;
    TRunOptions options_;
    TRecordCopy copy_;
    TRunResult result_;
    TRunProgress progress_;
    double logStart_ = 0;
    bool skipped_ = false;
    bool canceled_ = false;
    bool skipRequested_ = false;
    bool active_ = false;
    bool inRow_ = false; // a row's statements are on their way
    double runStart_ = 0;
    double flowStart_ = 0;
    double estimateTime_ = 0;
    double lastTick_ = 0;
    QElapsedTimer sincePump_; // batched flows let the window's messages wait this long at most
    double remaining_ = 0;
    bool estimated_ = false;
    int expected_ = 0;
    int requested_ = 0;
    int done_ = 0;
};
