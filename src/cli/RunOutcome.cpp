#include "cli/RunOutcome.h"

#include <algorithm>
#include <csignal>

#include "platform/DateTime.h"

namespace {

QString Duration(double seconds) {
    return FormatHhNnSs(seconds / 86400.0);
}

QString FlowResult(const TRunOutcome& outcome, const TFlowTally& flow) {
    if (!flow.Finished)
        return UnfinishedResult(outcome.End);
    return flow.Failed > 0 ? "rows failed" : "copied";
}

} // namespace

QString UnfinishedResult(TRunOutcome::TEnd end) {
    switch (end) {
    case TRunOutcome::Stopped:
        return "stopped";
    case TRunOutcome::Canceled:
        return "canceled";
    case TRunOutcome::Error:
        return "error";
    case TRunOutcome::Completed:
        break;
    }
    return "unfinished";
}

TRunOutcome OutcomeOf(const TConsoleView& view, const QStringList& requested, TRunOutcome::TEnd end,
                      int signal, const QString& errorText) {
    TRunOutcome outcome;
    outcome.End = signal ? TRunOutcome::Canceled : end;
    outcome.Signal = signal;
    outcome.ErrorText = errorText;
    outcome.Flows = view.Flows();
    outcome.Seconds = view.RunSeconds();
    for (const QString& name : requested) {
        const bool started =
            std::any_of(outcome.Flows.begin(), outcome.Flows.end(),
                        [&](const TFlowTally& f) { return f.Name.compare(name, Qt::CaseInsensitive) == 0; });
        if (!started)
            outcome.NotRun << name;
    }
    return outcome;
}

int ExitStatus(const TRunOutcome& outcome) {
    if (outcome.End == TRunOutcome::Canceled)
        return 128 + (outcome.Signal ? outcome.Signal : SIGINT);
    if (outcome.End == TRunOutcome::Error)
        return 3;
    const bool failed = std::any_of(outcome.Flows.begin(), outcome.Flows.end(),
                                    [](const TFlowTally& f) { return f.Failed > 0 || !f.Finished; });
    return failed || !outcome.NotRun.isEmpty() || outcome.End == TRunOutcome::Stopped ? 1 : 0;
}

QString EndText(const TRunOutcome& outcome) {
    switch (outcome.End) {
    case TRunOutcome::Canceled:
        return QString("the run was canceled (%1).").arg(outcome.Signal == SIGTERM ? "SIGTERM" : "SIGINT");
    case TRunOutcome::Error:
        return "the run ended by an error: " + outcome.ErrorText;
    case TRunOutcome::Stopped:
        return "the run stopped at a row that failed (--stop-on-error).";
    case TRunOutcome::Completed:
        break;
    }
    if (!outcome.NotRun.isEmpty())
        return "not run, as the flows they depend on were not run: " + outcome.NotRun.join(", ") + ".";
    return ExitStatus(outcome) == 0 ? "every row copied." : "the run ended; rows failed.";
}

QString SummaryTable(const TRunOutcome& outcome, const QString& exportFile) {
    int width = 5;
    for (const TFlowTally& f : outcome.Flows)
        width = std::max(width, int(f.Name.size()));
    for (const QString& name : outcome.NotRun)
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
    int read = 0, failed = 0;
    for (const TFlowTally& f : outcome.Flows) {
        table += row(f.Name, QString::number(f.Read), QString::number(f.Copied()), QString::number(f.Failed),
                     Duration(f.Seconds), FlowResult(outcome, f));
        read += f.Read;
        failed += f.Failed;
    }
    for (const QString& name : outcome.NotRun)
        table += row(name, "0", "0", "0", Duration(0), "not run");
    table += row("Total", QString::number(read), QString::number(read - failed), QString::number(failed),
                 Duration(outcome.Seconds), QString());
    if (!exportFile.isEmpty())
        table += "Export file: " + exportFile + "\n";
    return table;
}
