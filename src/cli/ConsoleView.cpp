#include "cli/ConsoleView.h"

#include <QRegularExpression>
#include <cstdio>

#include "cli/Signals.h"
#include "platform/DateTime.h"

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

// The numbers of a label's text, in order ("Record 12/40" gives 12 and 40).
std::vector<int> Numbers(const QString& text) {
    static const QRegularExpression number("\\d+");
    std::vector<int> numbers;
    for (const QRegularExpressionMatch& m : number.globalMatch(text))
        numbers.push_back(m.captured().toInt());
    return numbers;
}

QString Duration(double seconds) {
    return FormatHhNnSs(seconds / 86400.0);
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

void TConsoleView::SetLabel(const char* name, const QString& text, bool) {
    const QString label(name);
    if (label == "LTable") {
        flows_.push_back(TFlowTally{text});
        flows_.back().Start = QDateTime::currentDateTimeUtc();
        flowClock_.start();
        expected_ = 0;
        percent_.clear();
        if (!quiet_)
            ConsoleLine(text + ": started");
        return;
    }
    if (label == "LRemTime") {
        remaining_ = text;
        return;
    }
    if (label == "LPercTable") {
        percent_ = text;
        return;
    }
    const std::vector<int> numbers = Numbers(text);
    if (label == "LFlowsCount" && !numbers.empty()) {
        // The count of flows done rises as a flow reaches the end of its source.
        if (numbers[0] > done_ && Current())
            EndFlow(QString());
        done_ = numbers[0];
    } else if (TFlowTally* flow = Current(); flow && !numbers.empty()) {
        if (label == "LRecords") {
            flow->Read = numbers[0];
            expected_ = numbers.size() > 1 ? numbers[1] : 0;
        } else if (label == "LFailed") {
            flow->Failed = numbers[0];
        }
    }
}

void TConsoleView::SetLabelVisible(const char*, bool) {}

void TConsoleView::SetStatus(const QString& text) {
    status_ = text;
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
    const double seconds = flowClock_.elapsed() / 1000.0;
    QString line = flow->Name + "  " + QString::number(flow->Read);
    if (expected_ > 0)
        line += "/" + QString::number(expected_) + " rows  " + percent_;
    else
        line += " rows";
    if (seconds > 0.5)
        line += QString("  %1 rows/s").arg(qRound(flow->Read / seconds));
    if (expected_ > 0 && !remaining_.isEmpty())
        line += "  remaining " + remaining_;
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
                    .arg(Duration(flow->Seconds)));
}

void TConsoleView::EndRun(const QString& howItEnded) {
    if (Current())
        EndFlow(howItEnded);
    ClearLive();
}
