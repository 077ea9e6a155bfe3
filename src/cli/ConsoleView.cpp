#include "cli/ConsoleView.h"

#include <cstdio>

#include "cli/Signals.h"

namespace {

bool liveShown = false;

void Write(const QString& text) {
    std::fputs(text.toUtf8().constData(), stderr);
    std::fflush(stderr);
}

void ClearLive() {
    if (liveShown)
        Write("\r\033[K");
    liveShown = false;
}

} // namespace

void ConsoleLine(const QString& text) {
    ClearLive();
    Write("kelvo-run: " + text + "\n");
}

TConsoleView::TConsoleView(bool live, bool quiet) : live_(live && !quiet), quiet_(quiet) {
    runClock_.start();
}

TFlowTally* TConsoleView::Current() {
    return flows_.empty() || flows_.back().Finished ? nullptr : &flows_.back();
}

void TConsoleView::ShowProgress(const TRunProgress& p) {
    if (p.State == TRunProgress::Counting && progress_.State != TRunProgress::Counting) {
        flows_.push_back(TFlowTally{p.Flow});
        flows_.back().Start = QDateTime::currentDateTimeUtc();
        flowClock_.start();
        if (!quiet_)
            ConsoleLine(p.Flow + ": started");
    }
    // The count of flows done rises as a flow reaches the end of its source.
    if (p.FlowsDone > progress_.FlowsDone && Current())
        EndFlow(QString());
    if (TFlowTally* flow = Current()) {
        flow->Read = int(p.RowsRead);
        flow->Failed = int(p.Failed);
    }
    progress_ = p;
}

void TConsoleView::SetTimerEnabled(bool enabled) {
    timerEnabled_ = enabled;
}

void TConsoleView::Pump() {
    if (PendingSignal() && !canceled_ && run_) {
        canceled_ = true;
        run_->Cancel();
    }
    const qint64 now = runClock_.elapsed();
    if (timerEnabled_ && run_ && now - lastTick_ >= 1000) {
        lastTick_ = now;
        run_->Timer1Timer();
    }
    if (live_ && now - lastDraw_ >= 250) {
        lastDraw_ = now;
        DrawLive();
    }
}

void TConsoleView::DrawLive() {
    const TFlowTally* flow = Current();
    if (!flow)
        return;
    const TRunProgress& p = progress_;
    const bool counted = p.State != TRunProgress::Counting && p.RowsExpected > 0;
    QString line = flow->Name + "  " + QString::number(flow->Read);
    if (counted)
        line += "/" + QString::number(p.RowsExpected) + " rows  " + PercentText(p.RowsRead, p.RowsExpected);
    else
        line += " rows";
    if (p.RowsPerSecond > 0)
        line += QString("  %1 rows/s").arg(qRound64(p.RowsPerSecond));
    if (counted)
        line += "  remaining " + RemainingText(p);
    if (flow->Failed > 0)
        line += QString("  failed %1").arg(flow->Failed);
    Write("\r\033[K" + line);
    liveShown = true;
}

void TConsoleView::EndFlow(const QString& how) {
    TFlowTally* flow = Current();
    flow->Seconds = flowClock_.elapsed() / 1000.0;
    flow->End = QDateTime::currentDateTimeUtc();
    flow->Finished = how.isEmpty();
    // An ended flow's counts are the run's own: the labels lag behind a row that ended the run (read
    // and kept in FailedData.sql, but never shown).
    flow->Copied = flow->Read - flow->Failed;
    const size_t index = flows_.size() - 1;
    if (run_ && index < run_->Result().Flows.size() && run_->Result().Flows[index].Name == flow->Name) {
        const TFlowResult& counted = run_->Result().Flows[index];
        flow->Read = counted.Read;
        flow->Copied = counted.Copied;
        flow->Failed = counted.Failed;
    }
    if (quiet_)
        return;
    ConsoleLine(QString("%1: %2read %3, copied %4, failed %5, %6")
                    .arg(flow->Name, how.isEmpty() ? QString() : how + ": ")
                    .arg(flow->Read)
                    .arg(flow->Copied)
                    .arg(flow->Failed)
                    .arg(DurationText(flow->Seconds)));
}

void TConsoleView::EndRun(const QString& howItEnded) {
    if (Current())
        EndFlow(howItEnded);
    ClearLive();
}
