#include "cli/RunOutcome.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <algorithm>
#include <csignal>

#include "transfer/RunProgress.h"

namespace {

QString FlowResultText(const TRunOutcome& outcome, const TFlowResult& flow) {
    if (!flow.Ended)
        return UnfinishedResult(outcome.Result.End, outcome.Signal);
    if (flow.Failed > 0)
        return "rows failed";
    return flow.Skipped ? "skipped" : "copied";
}

// How a run's end is told: in one machine word, in the table for the flow it left unfinished, and as
// the reason for the flows it never started.
struct TEndTexts {
    const char* Word;
    const char* Unfinished;
    const char* NotRun;
};

TEndTexts EndTexts(TRunEnd end, int signal) {
    switch (signal ? TRunEnd::Cancelled : end) {
    case TRunEnd::Cancelled:
        return {"cancelled", "canceled", "the run was cancelled before it"};
    case TRunEnd::StoppedAfterError:
        return {"stopped", "stopped", "the run stopped at a failed row before it"};
    case TRunEnd::EndedByError:
        return {"error", "error", "an error ended the run before it"};
    case TRunEnd::NotStarted:
        return {"not-started", "unfinished", "the run did not start"};
    case TRunEnd::Completed:
        break;
    }
    return {"completed", "unfinished", "a flow it depends on did not run"};
}

QString EndWord(const TRunOutcome& outcome) {
    if (outcome.Result.End == TRunEnd::Completed && !outcome.Signal && !outcome.Result.Success())
        return "failed";
    return EndTexts(outcome.Result.End, outcome.Signal).Word;
}

QString FlowWord(const TRunOutcome& outcome, const TFlowResult& flow) {
    if (!flow.Ended)
        return EndWord(outcome);
    if (flow.Failed > 0)
        return "failed-rows";
    if (flow.ScriptErrors > 0)
        return "failed-scripts";
    if (flow.LogErrors > 0)
        return "failed-log";
    return flow.Skipped ? "skipped" : "completed";
}

QString Utc(const QDateTime& time) {
    return time.toUTC().toString(Qt::ISODateWithMs);
}

} // namespace

QString UnfinishedResult(TRunEnd end, int signal) {
    return EndTexts(end, signal).Unfinished;
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
        outcome.Seen.push_back(i < view.Flows().size() ? view.Flows()[i] : TFlowTally{});
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
                     DurationText(outcome.Seen[i].Seconds), FlowResultText(outcome, f));
    }
    for (const QString& name : r.NotRun)
        table += row(name, "0", "0", "0", DurationText(0), "not run");
    table += row("Total", QString::number(r.Read()), QString::number(r.Copied()), QString::number(r.Failed()),
                 DurationText(outcome.Seconds), QString());
    if (!r.ExportFile.isEmpty())
        table += "Export file: " + r.ExportFile + "\n";
    return table;
}

QByteArray SummaryJson(const TRunOutcome& outcome, int exitStatus) {
    const TRunResult& r = outcome.Result;
    QJsonArray flows;
    for (size_t i = 0; i < r.Flows.size(); ++i) {
        const TFlowResult& f = r.Flows[i];
        flows.append(QJsonObject{{"name", f.Name},
                                 {"read", f.Read},
                                 {"copied", f.Copied},
                                 {"failed", f.Failed},
                                 {"outcome", FlowWord(outcome, f)},
                                 {"start", Utc(outcome.Seen[i].Start)},
                                 {"end", Utc(outcome.Seen[i].End)}});
    }
    QJsonArray notRun;
    for (const QString& name : r.NotRun)
        // A start refused with status 2 ends by an error, but no flow came before it.
        notRun.append(QJsonObject{
            {"name", name},
            {"reason", exitStatus == 2 ? "the run did not start" : EndTexts(r.End, outcome.Signal).NotRun}});
    QJsonObject run{{"outcome", EndWord(outcome)}, {"exitStatus", exitStatus}, {"start", Utc(outcome.Start)},
                    {"end", Utc(outcome.End)},     {"flows", flows},           {"notRun", notRun}};
    if (!r.Message.isEmpty())
        run.insert("message", r.Message);
    if (!r.ExportFile.isEmpty())
        run.insert("exportFile", r.ExportFile);
    return QJsonDocument(run).toJson();
}
