#pragma once

#include <QString>
#include <QStringList>
#include <vector>

// How a transfer run really ended, for the summary, Transfer.log, the main window's status line and
// the exit status of the console runner.

enum class TRunEnd {
    Completed,         // no flow left that could run (flows ended by Skip included)
    NotStarted,        // scripting mode without an export file: nothing ran
    Cancelled,         // Cancel, or Exit answered Yes
    StoppedAfterError, // "Stop on error" answered No
    EndedByError,      // an error ended the run; Message holds it
};

struct TFlowResult {
    QString Name;
    int Read = 0;         // source rows read
    int Copied = 0;       // rows inserted or written to the export file
    int Failed = 0;       // rows kept in FailedData.sql
    bool Skipped = false; // ended early by "Skip this table"
    bool Ended = false;   // reached the end of its source and ran its final scripts
    int ScriptErrors = 0; // script statements that failed or did not run
    int LogErrors = 0;    // statements that ran although their statement log could not be written
};

struct TRunResult {
    TRunEnd End = TRunEnd::Completed;
    QString Message; // the error that ended the run
    QString ExportFile;
    int FlowsRequested = 0;
    QStringList NotRun; // requested flows never run (their dependencies did not run before them)
    // The record of the last flow whose statement the operator cancelled: neither copied nor failed.
    int CanceledRecord = 0;
    std::vector<TFlowResult> Flows;

    int FlowsDone() const;
    int Read() const;
    int Copied() const;
    int Failed() const;
    int ScriptErrors() const;
    int LogErrors() const;
    // Every requested flow ran to its end and nothing failed.
    bool Success() const;
};

// One line saying how the run ended: "Data transfer succeded." only for a run that succeeded.
QString RunOutcomeText(const TRunResult& result);
// The main window's status line after a run: how it ended, then flows, rows copied, failed, the export
// file.
QString RunStatusText(const TRunResult& result);
