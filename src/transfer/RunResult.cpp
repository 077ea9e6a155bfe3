#include "transfer/RunResult.h"

#include <numeric>

namespace {

template <typename F> int Sum(const std::vector<TFlowResult>& flows, F field) {
    return std::accumulate(flows.begin(), flows.end(), 0,
                           [&](int total, const TFlowResult& f) { return total + field(f); });
}

// What went wrong besides the way the run ended, or empty.
QString Troubles(const TRunResult& r) {
    QString text;
    if (r.Failed() > 0)
        text += QString(" %1 of %2 rows failed, see FailedData.sql.").arg(r.Failed()).arg(r.Read());
    if (r.CanceledRecord > 0 && !r.Flows.empty())
        text += QString(" Record %1 of flow %2 was not copied: the run was cancelled while its statement "
                        "waited.")
                    .arg(r.CanceledRecord)
                    .arg(r.Flows.back().Name);
    if (r.ScriptErrors() > 0)
        text += QString(" %1 script statements failed or did not run, see the script logs.")
                    .arg(r.ScriptErrors());
    if (r.LogErrors() > 0)
        text += QString(" The statement log could not be written for %1 statements.").arg(r.LogErrors());
    return text;
}

} // namespace

int TRunResult::FlowsDone() const {
    return Sum(Flows, [](const TFlowResult& f) { return f.Ended ? 1 : 0; });
}
int TRunResult::Read() const {
    return Sum(Flows, [](const TFlowResult& f) { return f.Read; });
}
int TRunResult::Copied() const {
    return Sum(Flows, [](const TFlowResult& f) { return f.Copied; });
}
int TRunResult::Failed() const {
    return Sum(Flows, [](const TFlowResult& f) { return f.Failed; });
}
int TRunResult::ScriptErrors() const {
    return Sum(Flows, [](const TFlowResult& f) { return f.ScriptErrors; });
}
int TRunResult::LogErrors() const {
    return Sum(Flows, [](const TFlowResult& f) { return f.LogErrors; });
}

bool TRunResult::Success() const {
    return End == TRunEnd::Completed && FlowsDone() == FlowsRequested && Troubles(*this).isEmpty();
}

QString RunOutcomeText(const TRunResult& r) {
    switch (r.End) {
    case TRunEnd::NotStarted:
        return "Data transfer not started: no export file was chosen.";
    case TRunEnd::Cancelled:
        return "Data transfer cancelled by the user." + Troubles(r);
    case TRunEnd::StoppedAfterError:
        return "Data transfer stopped after a failed record." + Troubles(r);
    case TRunEnd::EndedByError:
        return "Data transfer ended by an error: " + r.Message + Troubles(r);
    case TRunEnd::Completed:
        break;
    }
    if (r.Success())
        return "Data transfer succeded.";
    if (r.FlowsDone() != r.FlowsRequested)
        return QString("Error transfering data. Succesfuly transfered %1 tables.").arg(r.FlowsDone()) +
               Troubles(r);
    return "Data transfer ended with errors." + Troubles(r);
}

QString RunStatusText(const TRunResult& r) {
    return RunOutcomeText(r) + QString(" Flows %1/%2, records copied %3, failed %4, export file %5.")
                                   .arg(r.FlowsDone())
                                   .arg(r.FlowsRequested)
                                   .arg(r.Copied())
                                   .arg(r.Failed())
                                   .arg(r.ExportFile.isEmpty() ? "none" : r.ExportFile);
}
