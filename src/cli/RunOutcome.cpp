#include "cli/RunOutcome.h"

#include <algorithm>
#include <csignal>

#include "platform/DateTime.h"

namespace {

QString Duration(double seconds) {
    return FormatHhNnSs(seconds / 86400.0);
}

QString FlowResultText(const TRunOutcome& outcome, const TFlowResult& flow) {
    if (!flow.Ended)
        return UnfinishedResult(outcome.Result.End, outcome.Signal);
    if (flow.Failed > 0)
        return "rows failed";
    return flow.Skipped ? "skipped" : "copied";
}

} // namespace

QString UnfinishedResult(TRunEnd end, int signal) {
    if (signal)
        return "canceled";
    switch (end) {
    case TRunEnd::StoppedAfterError:
        return "stopped";
    case TRunEnd::Cancelled:
        return "canceled";
    case TRunEnd::EndedByError:
        return "error";
    case TRunEnd::Completed:
    case TRunEnd::NotStarted:
        break;
    }
    return "unfinished";
}

TRunOutcome OutcomeOf(const TRunResult& result, const TConsoleView& view, int signal) {
    TRunOutcome outcome;
    outcome.Result = result;
    if (signal)
        outcome.Result.End = TRunEnd::Cancelled;
    outcome.Signal = signal;
    outcome.Seconds = view.RunSeconds();
    // The view saw the same flows start in the same order.
    for (size_t i = 0; i < result.Flows.size(); ++i)
        outcome.FlowSeconds.push_back(i < view.Flows().size() ? view.Flows()[i].Seconds : 0);
    return outcome;
}

int ExitStatus(const TRunOutcome& outcome) {
    const TRunResult& r = outcome.Result;
    if (r.End == TRunEnd::Cancelled)
        return 128 + (outcome.Signal ? outcome.Signal : SIGINT);
    if (r.End == TRunEnd::EndedByError)
        return 3;
    return r.Success() ? 0 : 1;
}

QString EndText(const TRunOutcome& outcome) {
    const TRunResult& r = outcome.Result;
    switch (r.End) {
    case TRunEnd::Cancelled:
        return QString("the run was canceled (%1).").arg(outcome.Signal == SIGTERM ? "SIGTERM" : "SIGINT");
    case TRunEnd::EndedByError:
        return "the run ended by an error: " + r.Message;
    case TRunEnd::StoppedAfterError:
        return "the run stopped at a row that failed (--stop-on-error).";
    case TRunEnd::NotStarted:
    case TRunEnd::Completed:
        break;
    }
    if (!r.NotRun.isEmpty())
        return "not run, as the flows they depend on were not run: " + r.NotRun.join(", ") + ".";
    return r.Success() ? "every row copied." : "the run ended: " + RunOutcomeText(r);
}

QString SummaryTable(const TRunOutcome& outcome) {
    const TRunResult& r = outcome.Result;
    int width = 5;
    for (const TFlowResult& f : r.Flows)
        width = std::max(width, int(f.Name.size()));
    for (const QString& name : r.NotRun)
        width = std::max(width, int(name.size()));
    auto row = [&](const QString& name, const QString& read, const QString& copied, const QString& failed,
                   const QString& time, const QString& result) {
        return QString("%1  %2  %3  %4  %5  %6")
                   .arg(name, -width)
                   .arg(read, 8)
                   .arg(copied, 8)
                   .arg(failed, 8)
                   .arg(time, 8)
                   .arg(result)
                   .trimmed() +
               "\n";
    };
    QString table = row("Flow", "Read", "Copied", "Failed", "Time", "Result");
    for (size_t i = 0; i < r.Flows.size(); ++i) {
        const TFlowResult& f = r.Flows[i];
        table += row(f.Name, QString::number(f.Read), QString::number(f.Copied), QString::number(f.Failed),
                     Duration(outcome.FlowSeconds[i]), FlowResultText(outcome, f));
    }
    for (const QString& name : r.NotRun)
        table += row(name, "0", "0", "0", Duration(0), "not run");
    table += row("Total", QString::number(r.Read()), QString::number(r.Copied()), QString::number(r.Failed()),
                 Duration(outcome.Seconds), QString());
    if (!r.ExportFile.isEmpty())
        table += "Export file: " + r.ExportFile + "\n";
    return table;
}
