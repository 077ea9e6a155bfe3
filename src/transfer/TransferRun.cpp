#include "transfer/TransferRun.h"

#include <QDir>
#include <QFileInfo>
#include <algorithm>
#include <cmath>
#include <optional>

#include "flows/FlowFile.h"
#include "platform/DateTime.h"
#include "platform/IniFile.h"
#include "platform/PathWatch.h"
#include "platform/Paths.h"
#include "platform/ProgramDir.h"
#include "query/ServerWait.h"
#include "support/Answerer.h"
#include "support/EnDial3.h"
#include "support/ErrorHandler.h"
#include "transfer/FlowOrder.h"
#include "transfer/LostConnection.h"
#include "transfer/TransferFiles.h"

namespace {
// The run's clock counts in days; its views count in seconds.
constexpr double SecsPerDay = 86400;
} // namespace

TTransferRun::TTransferRun(ITransferView& view, TCopyQueries& queries, TRunSettings settings,
                           TRunOptions options)
    : view_(view), q_(queries), settings_(std::move(settings)), options_(std::move(options)),
      copy_(queries, TCopyContext{settings_.SourceDatabase, settings_.DestDatabase, settings_.Scripting,
                                  settings_.ContractFilter, options_.ConstList, options_.StopOnError,
                                  [this](const QString& s) { SetStatus(s); },
                                  [this](int failed) {
                                      progress_.Failed = failed;
                                      Show();
                                  },
                                  settings_.BatchRows}) {}

bool TTransferRun::NextFlow(const QStringList& flowNames, const QStringList& doneFlows, QString& next) {
    return TFlowOrder().NextFlow(flowNames, doneFlows, next);
}

// Taken up by the row loop: a press while a statement waits on its server must not touch a cursor that
// the waiting call may be using.
void TTransferRun::Skip() {
    if (q_.QS.Active())
        skipRequested_ = true;
}

namespace {
QString LogFile() {
    return ProgramDir() + "Transfer.log";
}
} // namespace

void TTransferRun::SyncFlow(TFlowResult& flow) const {
    flow.Read = copy_.RowsRead;
    flow.Copied = copy_.Copied;
    flow.Failed = copy_.Failed;
    flow.LogErrors = copy_.LogErrors;
    flow.Skipped = skipped_;
}

// A flow's line in its present form: name, state, transferred, failed and duration.
void TTransferRun::LogFlowLine(const QString& state, double start) {
    const TFlowResult& flow = result_.Flows.back();
    AppendLogLine(LogFile(), QString("%1%2 Transfered: %3 Failed: %4 Duration: %5-%6")
                                 .arg(flow.Name, state)
                                 .arg(flow.Read - flow.Failed)
                                 .arg(flow.Failed)
                                 .arg(FormatHhNnSs(start), FormatHhNnSs(Now())));
    if (flow.LogErrors > 0)
        AppendLogLine(LogFile(), QString("%1 Statement log not written for %2 records: %3")
                                     .arg(flow.Name)
                                     .arg(flow.LogErrors)
                                     .arg(OneLine(copy_.FirstLogError)));
}

void TTransferRun::LogScriptFailures(const QString& name, const std::vector<TScriptFailure>& failures) {
    for (const TScriptFailure& f : failures) {
        result_.Flows.back().ScriptErrors += f.Failed;
        AppendLogLine(LogFile(), QString("%1 Script %2: %3 statements failed or did not run, see %2.log")
                                     .arg(name, f.Path)
                                     .arg(f.Failed));
    }
}

void TTransferRun::Show() {
    view_.ShowProgress(progress_);
}

void TTransferRun::SetStatus(const QString& status) {
    progress_.Status = status;
    Show();
}

void TTransferRun::UpdateFlowCounts() {
    progress_.FlowsDone = done_;
    progress_.FlowsRequested = requested_;
    Show();
}

void TTransferRun::UpdateRecords() {
    progress_.RowsRead = copy_.RowsRead;
    progress_.Copied = copy_.Copied;
    Show();
}

void TTransferRun::Estimate() {
    const double now = Now();
    const double last100 = now - lastTick_;
    remaining_ = copy_.RowsRead == expected_ ? 0 : (expected_ - copy_.RowsRead) * last100 / 100;
    lastTick_ = now;
    estimateTime_ = now;
    estimated_ = true;
    progress_.RemainingSeconds = remaining_ * SecsPerDay;
    if (!copy_.Batching())
        Show(); // in batches the labels are formatted next when the window is about to show them
}

void TTransferRun::Timer1Timer() {
    const double now = Now();
    progress_.ElapsedSeconds = (now - runStart_) * SecsPerDay;
    progress_.FlowElapsedSeconds = (now - flowStart_) * SecsPerDay;
    // Until the flow's first estimate the time stays unknown; a count-down past zero rests at zero
    // until the next estimate.
    if (estimated_)
        progress_.RemainingSeconds = std::max(0.0, remaining_ - (now - estimateTime_)) * SecsPerDay;
    progress_.RowsPerSecond =
        progress_.FlowElapsedSeconds > 0 ? copy_.RowsRead / progress_.FlowElapsedSeconds : 0;
    Show();
}

TRunResult TTransferRun::RunTransfer(const QStringList& flowNames) {
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

    result_ = TRunResult();
    result_.FlowsRequested = int(flowNames.size());
    if (settings_.Scripting) {
        TSaveDialogRequest request{"Save data to...", "SQL", "KelvoPogData.sql",
                                   "Sql|*.SQL|Txt|*.TXT|Any|*.*", ProgramDir()};
        QString path;
        // Without a file nothing may reach any database: the run ends before it starts.
        if (!Answerer().SaveFileName(request, path)) {
            result_.End = TRunEnd::NotStarted;
            return result_;
        }
        ExportFile = path;
        result_.ExportFile = path;
        ForceDirectories(QFileInfo(path).absolutePath());
        q_.QT.SetScripting(true);
        q_.QT.SetScriptFile(ExportFile);
    }
    canceled_ = false;
    inRow_ = false;
    runStart_ = Now();
    estimateTime_ = runStart_;
    AppendLogLine(LogFile(),
                  QString("Run %1 Filter: %2 Export file: %3")
                      .arg(DaysToDateTime(runStart_).toString("yyyy-MM-dd hh:mm:ss"),
                           settings_.ContractFilter(), ExportFile.isEmpty() ? "none" : ExportFile));
    QStringList done;
    done_ = 0;
    requested_ = int(flowNames.size());
    copy_.RowsRead = 0;
    progress_ = TRunProgress();
    progress_.FlowsRequested = requested_;
    SetStatus("Initializing...");
    try {
        QString name;
        TFlowOrder order;
        bool more = order.NextFlow(flowNames, done, name);
        while (more) {
            if (canceled_) {
                result_.End = TRunEnd::Cancelled;
                break;
            }
            if (!RunFlow(name, done_))
                break;
            done << name;
            UpdateFlowCounts();
            if (copy_.Failed > 0 && options_.ShowTransferSummary())
                ShowInfo(QString("%1 - Failed insert on %2 records.").arg(name).arg(copy_.Failed));
            more = order.NextFlow(flowNames, done, name);
            if (more) {
                progress_.Failed = 0;
                Show();
            }
            view_.Pump();
        }
        ListNotRun(flowNames);
        AppendLogLine(LogFile(), "Run ended: " + RunOutcomeText(result_));
    } catch (const std::exception& error) {
        if (canceled_ || IsOperatorCancel(error)) {
            // Whatever waited when the operator cancelled, the run ends as cancelled, not by an error.
            EndCancelled(flowNames);
            return result_;
        }
        result_.End = TRunEnd::EndedByError;
        result_.Message = ErrorMessage(error);
        // Rows composed and not yet sent go now, so each row read before the error lands or is kept.
        try {
            copy_.FlushBatch();
        } catch (const std::exception&) {
            copy_.DropBatch();
        }
        ListNotRun(flowNames);
        // Told in Transfer.log as well, when it can still be written; the error itself goes on.
        try {
            if (!result_.Flows.empty() && !result_.Flows.back().Ended) {
                SyncFlow(result_.Flows.back());
                LogFlowLine(" Ended by an error.", logStart_);
            }
            AppendLogLine(LogFile(), "Run ended: " + OneLine(RunOutcomeText(result_)));
        } catch (const std::exception& logError) {
            throw EKelvoError(result_.Message + "\n" + ErrorMessage(logError));
        }
        throw;
    }
    if (result_.End == TRunEnd::Completed && options_.ShowTransferSummary()) {
        if (result_.Success())
            ShowInfo(RunOutcomeText(result_));
        else
            ShowError(RunOutcomeText(result_));
    }
    return result_;
}

void TTransferRun::EndCancelled(const QStringList& flowNames) {
    result_.End = TRunEnd::Cancelled;
    copy_.DropBatch();
    if (inRow_)
        result_.CanceledRecord = copy_.RowsRead + 1;
    inRow_ = false;
    if (!result_.Flows.empty() && !result_.Flows.back().Ended) {
        SyncFlow(result_.Flows.back());
        LogFlowLine(" User canceled.", logStart_);
    }
    ListNotRun(flowNames);
    AppendLogLine(LogFile(), "Run ended: " + RunOutcomeText(result_));
}

// The requested flows that never started; a flow that started is told by its own result.
void TTransferRun::ListNotRun(const QStringList& flowNames) {
    result_.NotRun.clear();
    for (const QString& flow : flowNames)
        if (std::none_of(result_.Flows.begin(), result_.Flows.end(), [&](const TFlowResult& f) {
                return f.Name.compare(flow, Qt::CaseInsensitive) == 0;
            }))
            result_.NotRun << flow;
}

bool TTransferRun::RunFlow(const QString& name, int& done) {
    const double logStart = Now();
    logStart_ = logStart;
    flowStart_ = logStart;
    skipped_ = false;
    result_.Flows.push_back(TFlowResult{name});
    remaining_ = 0;
    estimated_ = false;
    progress_.State = TRunProgress::Counting;
    progress_.Flow = name;
    progress_.FlowElapsedSeconds = 0;
    progress_.RowsRead = 0;
    progress_.RowsExpected = 0;
    progress_.Copied = 0;
    progress_.RemainingSeconds = -1;
    progress_.RowsPerSecond = 0;
    view_.SetTimerEnabled(true);
    Show();

    const TFlowData flow = ReadFlowData(name);
    SetStatus("Searching for nr. of records...");
    copy_.RowsRead = 0;
    copy_.Failed = 0;
    copy_.Copied = 0;
    copy_.LogErrors = 0;
    expected_ = copy_.CountRecords(flow.Source, flow.Sql);
    const bool counted = expected_ > 0;
    progress_.State = TRunProgress::Copying;
    progress_.RowsExpected = expected_;
    UpdateRecords();
    view_.Pump();
    view_.ShowOrRaise();

    // A flow that cannot copy a record must not run its scripts: one of them may empty a table.
    copy_.CheckFlow(flow);
    const TScriptTarget target{settings_.Scripting, ExportFile, settings_.ContractFilter(),
                               settings_.DestDatabase};
    skipRequested_ = false;
    LogScriptFailures(name, RunInitScripts(name, settings_.SourceDatabase, q_.Tbl, target));
    copy_.OpenFlowData(flow);
    lastTick_ = Now();
    sincePump_.start();
    // A batch's rows go out together: the files they read (translations) are looked at once between two
    // pumps of the window's messages, not for every row; a batch's writes look afresh.
    std::optional<TPathCheckMoment> batchMoment;
    if (copy_.Batching())
        batchMoment.emplace();

    while (!q_.QS.Eof()) {
        if (skipRequested_) {
            skipped_ = !q_.QS.Eof();
            q_.QS.Last();
            continue;
        }
        if (canceled_) {
            copy_.DropBatch();
            SyncFlow(result_.Flows.back());
            result_.End = TRunEnd::Cancelled;
            LogFlowLine(" User canceled.", logStart);
            return false;
        }
        inRow_ = true;
        const TRowResult row =
            CopyRowReopening(copy_, name, settings_.SourceDatabase, settings_.DestDatabase, canceled_);
        inRow_ = false;
        if (row == TRowResult::Stop) {
            SyncFlow(result_.Flows.back());
            result_.End = TRunEnd::StoppedAfterError;
            LogFlowLine(" Stopped after a failed record.", logStart);
            return false;
        }
        if (counted && copy_.RowsRead % 100 == 0)
            Estimate();
        const bool pump = copy_.Batching() ? sincePump_.hasExpired(10)
                                           : !options_.ReduceProcessMessages() || copy_.RowsRead % 10 == 0;
        // In batches the labels are formatted when the window is about to show them and at each answer of
        // the server: formatted for every row they cost a tenth of the run.
        if (copy_.Batching() && (pump || copy_.Copied != progress_.Copied))
            UpdateRecords();
        if (pump) {
            const TOthersCodeScope others;
            view_.Pump();
            sincePump_.start();
        }
        if (!copy_.Batching())
            UpdateRecords();
    }
    batchMoment.reset();
    if (copy_.Queueing()) {
        inRow_ = true;
        const TRowResult last = copy_.FlushBatch();
        inRow_ = false;
        UpdateRecords();
        if (last == TRowResult::Stop) {
            SyncFlow(result_.Flows.back());
            result_.End = TRunEnd::StoppedAfterError;
            LogFlowLine(" Stopped after a failed record.", logStart);
            return false;
        }
    }
    SyncFlow(result_.Flows.back());
    LogScriptFailures(name, RunFinalScripts(name, settings_.SourceDatabase, q_.Tbl, target));
    result_.Flows.back().Ended = true;
    LogFlowLine("", logStart);
    copy_.RowsRead = 0;
    q_.QS.Close();
    q_.QF.Close();
    progress_.State = TRunProgress::FlowEnded;
    SetStatus("Initializing...");
    ++done;
    return true;
}
