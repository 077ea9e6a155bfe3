#pragma once

#include <QString>

// Where a run stands, as its views show it. The run fills it in at the moments a view should show it,
// field by field: a field keeps its last shown value until the run has something new for it.
struct TRunProgress {
    enum TState {
        Starting, // before the first flow
        Counting, // a flow started and counts its source rows
        Copying,  // the flow's count is known (or unknowable): its scripts and rows run
        FlowEnded,
    };
    TState State = Starting;
    QString Flow;
    int FlowsDone = 0;
    int FlowsRequested = 0;
    qint64 RowsRead = 0;
    qint64 RowsExpected = 0; // 0: unknown (a source statement is not counted)
    qint64 Copied = 0;
    qint64 Failed = 0;
    double ElapsedSeconds = 0;
    double FlowElapsedSeconds = 0;
    double RemainingSeconds = -1; // below 0: not estimated yet
    double RowsPerSecond = 0;     // 0: not measured yet
    QString Status;
};

// Whole percent of part in whole; "0%" when whole is not known.
QString PercentText(qint64 part, qint64 whole);
// hh:mm:ss of a duration, wrapping after a day as the window's clock does.
QString DurationText(double seconds);
// The flow's remaining time, or "Calculating..." until it is estimated.
QString RemainingText(const TRunProgress& progress);
