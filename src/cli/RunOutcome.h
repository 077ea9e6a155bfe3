#pragma once

#include <QString>
#include <QStringList>
#include <vector>

#include "cli/ConsoleView.h"

// How a run through kelvo-run ended, and what each requested flow did.
struct TRunOutcome {
    enum TEnd { Completed, Stopped, Canceled, Error };
    TEnd End = Completed;
    int Signal = 0;                // the signal that cancelled the run
    QString ErrorText;             // the error that ended it
    std::vector<TFlowTally> Flows; // flows that started, in order
    QStringList NotRun;            // requested flows that never started
    double Seconds = 0;
};

// The one place the outcome is put together from what the run reported.
TRunOutcome OutcomeOf(const TConsoleView& view, const QStringList& requested, TRunOutcome::TEnd end,
                      int signal, const QString& errorText);
// The result of a flow the run left unfinished, by how the run ended.
QString UnfinishedResult(TRunOutcome::TEnd end);
// 0 every row copied; 1 rows failed or flows did not run; 3 an error ended the run; 128 + the signal.
int ExitStatus(const TRunOutcome& outcome);
// How the run ended, in words, for stderr.
QString EndText(const TRunOutcome& outcome);
// The summary table for stdout: a row per flow, the total and the export file.
QString SummaryTable(const TRunOutcome& outcome, const QString& exportFile);
