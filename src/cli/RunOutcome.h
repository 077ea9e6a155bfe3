#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <vector>

#include "cli/ConsoleView.h"
#include "transfer/RunResult.h"

// How a run through kelvo-run ended: the run's own result, the signal that cancelled it, and each
// flow's times as the console saw them. A run refused at its start ends by an error before any flow.
struct TRunOutcome {
    TRunResult Result;
    int Signal = 0;
    std::vector<TFlowTally> Seen; // by the index of Result.Flows
    double Seconds = 0;
    QDateTime Start; // UTC
    QDateTime End;   // UTC
};

// The view must have ended the run (EndRun), so that an unfinished flow has its times.
TRunOutcome OutcomeOf(const TRunResult& result, const TConsoleView& view, int signal);
// The result of a flow the run left unfinished, by how the run ended.
QString UnfinishedResult(TRunEnd end, int signal);
// 0 every row copied; 1 rows failed or flows did not run; 3 an error ended the run; 128 + the signal.
int ExitStatus(const TRunOutcome& outcome);
// How the run ended, in words, for stderr.
QString EndText(const TRunOutcome& outcome);
// The summary table for stdout: a row per flow, the total and the export file.
QString SummaryTable(const TRunOutcome& outcome);
// The summary for --summary-json: the run's outcome and exit status, each flow's counts, outcome and
// times, and each flow that did not run with the reason.
QByteArray SummaryJson(const TRunOutcome& outcome, int exitStatus);
