#pragma once

#include <QDateTime>
#include <QElapsedTimer>
#include <QString>
#include <vector>

#include "transfer/TransferRun.h"

// One line on stderr, prefixed "kelvo-run: "; a live progress line is cleared first.
void ConsoleLine(const QString& text);

// A flow as the run reported it to the view.
struct TFlowTally {
    QString Name;
    int Read = 0;
    int Failed = 0;
    int Copied = 0; // known once the flow has ended
    double Seconds = 0;
    QDateTime Start = {};  // UTC
    QDateTime End = {};    // UTC; invalid until the flow has ended
    bool Finished = false; // reached the end of its source (also after Skip)
};

// The run's progress on a console: a line on stderr when a flow starts and ends, and, when stderr is a
// terminal, one live line redrawn at most four times a second. It stands in for the progress window's
// timer and Cancel button: pumping ticks the run's clock and passes a received signal on as Cancel.
// A quiet view keeps its tallies but writes nothing.
class TConsoleView : public ITransferView {
public:
    TConsoleView(bool live, bool quiet);
    void Attach(TTransferRun* run) { run_ = run; }

    void ShowProgress(const TRunProgress& progress) override;
    void SetTimerEnabled(bool enabled) override;
    void ShowOrRaise() override {}
    void Pump() override;

    // The flows in the order they started; the last may be unfinished when the run ended early.
    const std::vector<TFlowTally>& Flows() const { return flows_; }
    // Ends the live line and reports a flow the run left unfinished, with how the run ended.
    void EndRun(const QString& howItEnded);
    double RunSeconds() const { return runClock_.elapsed() / 1000.0; }

private:
    TFlowTally* Current();
    void EndFlow(const QString& how);
    void DrawLive();

    TTransferRun* run_ = nullptr;
    bool live_;
    bool quiet_;
    bool timerEnabled_ = false;
    bool canceled_ = false;
    std::vector<TFlowTally> flows_;
    TRunProgress progress_;
    QElapsedTimer runClock_;
    QElapsedTimer flowClock_;
    qint64 lastTick_ = 0;
    qint64 lastDraw_ = -1000;
};
