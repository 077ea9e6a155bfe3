#include "transfer/TransferRun.h"

#include <QDir>
#include <QFileInfo>
#include <cmath>

#include "flows/FlowFile.h"
#include "platform/DateTime.h"
#include "platform/IniFile.h"
#include "platform/Paths.h"
#include "platform/ProgramDir.h"
#include "query/ServerWait.h"
#include "support/Answerer.h"
#include "support/EnDial3.h"
#include "transfer/FlowOrder.h"
#include "transfer/LostConnection.h"
#include "transfer/TransferFiles.h"

namespace {

QString Percent(double value) {
    return QString::number(std::llround(value)) + "%";
}

} // namespace

TTransferRun::TTransferRun(ITransferView& view, TCopyQueries& queries, TRunSettings settings,
                           TRunOptions options)
    : view_(view), q_(queries), settings_(std::move(settings)), options_(std::move(options)),
      copy_(queries, TCopyContext{settings_.SourceDatabase, settings_.DestDatabase, settings_.Scripting,
                                  settings_.ContractFilter, options_.ConstList, options_.StopOnError,
                                  [this](const QString& s) { view_.SetStatus(s); },
                                  [this](const QString& t) { view_.SetLabel("LFailed", t); }}) {}

bool TTransferRun::NextFlow(const QStringList& flowNames, const QStringList& doneFlows, QString& next) {
    return TFlowOrder().NextFlow(flowNames, doneFlows, next);
}

// Taken up by the row loop: a press while a statement waits on its server must not touch a cursor that
// the waiting call may be using.
void TTransferRun::Skip() {
    if (q_.QS.Active())
        skipRequested_ = true;
}

void TTransferRun::UpdateFlowCounts() {
    view_.SetLabel("LFlowsCount", QString("Transfered %1/%2").arg(done_).arg(requested_));
    view_.SetLabel("LPercAll", requested_ > 0 ? Percent(done_ * 100.0 / requested_) : "0%");
}

void TTransferRun::UpdateRecords() {
    const int rows = copy_.RowsRead;
    view_.SetLabel("LRecords",
                   expected_ > 0 ? QString("Record %1/%2").arg(rows).arg(expected_)
                                 : QString("Record %1").arg(rows),
                   true);
    if (expected_ > 0)
        view_.SetLabel("LPercTable", Percent(rows * 100.0 / expected_), true);
}

void TTransferRun::Estimate() {
    const double now = Now();
    const double last100 = now - lastTick_;
    remaining_ = copy_.RowsRead == expected_ ? 0 : (expected_ - copy_.RowsRead) * last100 / 100;
    view_.SetLabel("LRemTime", FormatHhNnSs(remaining_));
    lastTick_ = now;
    estimateTime_ = now;
    estimated_ = true;
}

void TTransferRun::Timer1Timer() {
    const double now = Now();
    view_.SetLabel("LTime", FormatHhNnSs(now - runStart_), true);
    view_.SetLabel("LElapTime", FormatHhNnSs(now - flowStart_), true);
    // Until the flow's first estimate the label keeps "Calculating..."; a count-down past zero rests
    // at zero until the next estimate.
    if (estimated_)
        view_.SetLabel("LRemTime", FormatHhNnSs(std::max(0.0, remaining_ - (now - estimateTime_))), true);
}

void TTransferRun::RunTransfer(const QStringList& flowNames) {
    active_ = true;
    // While a statement waits on its server the window stays alive, and Cancel ends the wait.
    const TWaitHookScope waitHook([this] {
        view_.Pump();
        return canceled_;
    });
    struct TEnd {
        TTransferRun& run;
        ~TEnd() {
            run.active_ = false;
            run.view_.SetTimerEnabled(false);
            run.q_.QS.Close();
            run.q_.QF.Close();
        }
    } end{*this};

    if (settings_.Scripting) {
        TSaveDialogRequest request{"Save data to...", "SQL", "KelvoPogData.sql",
                                   "Sql|*.SQL|Txt|*.TXT|Any|*.*", ProgramDir()};
        QString path;
        // Without a file nothing may reach any database: the run ends before it starts.
        if (!Answerer().SaveFileName(request, path))
            return;
        ExportFile = path;
        ForceDirectories(QFileInfo(path).absolutePath());
        q_.QT.SetScripting(true);
        q_.QT.SetScriptFile(ExportFile);
    }
    canceled_ = false;
    runStart_ = Now();
    estimateTime_ = runStart_;
    view_.SetLabel("LTime", "00:00:00");
    view_.SetStatus("Initializing...");
    QStringList done;
    done_ = 0;
    requested_ = int(flowNames.size());
    copy_.RowsRead = 0;
    UpdateFlowCounts();
    QString name;
    TFlowOrder order;
    bool more = order.NextFlow(flowNames, done, name);
    view_.SetLabel("LFailed", "Failed insert on 0 records.");
    while (more) {
        if (canceled_)
            return;
        if (!RunFlow(name, done_))
            return;
        done << name;
        UpdateFlowCounts();
        if (copy_.Failed > 0 && options_.ShowTransferSummary())
            ShowInfo(QString("%1 - Failed insert on %2 records.").arg(name).arg(copy_.Failed));
        more = order.NextFlow(flowNames, done, name);
        if (more)
            view_.SetLabel("LFailed", "Failed insert on 0 records.");
        view_.Pump();
    }
    if (options_.ShowTransferSummary()) {
        if (done_ == requested_)
            ShowInfo("Data transfer succeded.");
        else
            ShowError(QString("Error transfering data. Succesfuly transfered %1 tables.").arg(done_));
    }
}

bool TTransferRun::RunFlow(const QString& name, int& done) {
    const double logStart = Now();
    flowStart_ = logStart;
    view_.SetLabel("LElapTime", "00:00:00");
    view_.SetTimerEnabled(true);
    view_.SetLabel("LTable", name);

    const TFlowData flow = ReadFlowData(name);
    view_.SetStatus("Searching for nr. of records...");
    copy_.RowsRead = 0;
    copy_.Failed = 0;
    expected_ = copy_.CountRecords(flow.Source, flow.Sql);
    const bool counted = expected_ > 0;
    for (const char* label : {"LPercTable", "LRemTime", "Label1"})
        view_.SetLabelVisible(label, counted);
    remaining_ = 0;
    estimated_ = false;
    view_.SetLabel("LRemTime", "Calculating...");
    UpdateRecords();
    view_.Pump();
    view_.ShowOrRaise();

    const TScriptTarget target{settings_.Scripting, ExportFile, settings_.ContractFilter(),
                               settings_.DestDatabase};
    skipRequested_ = false;
    RunInitScripts(name, settings_.SourceDatabase, q_.Tbl, target);
    copy_.OpenFlowData(flow);
    lastTick_ = Now();

    const QString logFile = ProgramDir() + "Transfer.log";
    while (!q_.QS.Eof()) {
        if (skipRequested_) {
            q_.QS.Last();
            continue;
        }
        if (canceled_) {
            AppendLogLine(logFile, QString("%1 User canceled. Transfered: %2 Failed: %3 Duration: %4-%5")
                                       .arg(name)
                                       .arg(copy_.RowsRead - copy_.Failed)
                                       .arg(copy_.Failed)
                                       .arg(FormatHhNnSs(logStart), FormatHhNnSs(Now())));
            return false;
        }
        if (CopyRowReopening(copy_, name, settings_.SourceDatabase, settings_.DestDatabase, canceled_) ==
            TRowResult::Stop)
            return false;
        if (counted && copy_.RowsRead % 100 == 0)
            Estimate();
        if (!options_.ReduceProcessMessages() || copy_.RowsRead % 10 == 0)
            view_.Pump();
        UpdateRecords();
    }
    RunFinalScripts(name, settings_.SourceDatabase, q_.Tbl, target);
    AppendLogLine(logFile, QString("%1 Transfered: %2 Failed: %3 Duration: %4-%5")
                               .arg(name)
                               .arg(copy_.RowsRead - copy_.Failed)
                               .arg(copy_.Failed)
                               .arg(FormatHhNnSs(logStart), FormatHhNnSs(Now())));
    copy_.RowsRead = 0;
    q_.QS.Close();
    q_.QF.Close();
    view_.SetStatus("Initializing...");
    ++done;
    return true;
}
