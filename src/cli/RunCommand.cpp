#include "cli/RunCommand.h"

#include <QFileInfo>
#include <cstdio>
#include <optional>
#include <unistd.h>

#include "app/Data.h"
#include "app/RunStart.h"
#include "cli/BatchAnswerer.h"
#include "cli/ConsoleView.h"
#include "cli/RunOutcome.h"
#include "cli/Signals.h"
#include "flows/FlowFile.h"
#include "platform/IniFile.h"
#include "platform/Paths.h"
#include "platform/ProgramDir.h"
#include "platform/RunLock.h"
#include "platform/TextFile.h"
#include "support/ErrorHandler.h"
#include "support/ListOrder.h"
#include "transfer/RecordCopy.h"

namespace {

constexpr int UsageError = 2;

void Out(const QString& text) {
    std::fputs(text.toUtf8().constData(), stdout);
    std::fflush(stdout);
}

int Usage(const QString& text) {
    ConsoleLine(text);
    std::fputs("Try 'kelvo-run --help'.\n", stderr);
    return UsageError;
}

// A file of the program directory that stops the start: its message says which and why.
int StartError(const std::exception& error) {
    ConsoleLine(ErrorMessage(error));
    return UsageError;
}

QString Listing(const QString& index) {
    QString text = "Flows (source -> destination):\n";
    for (const QString& name : StartTransferFlows(index)) {
        const TFlowData flow = ReadFlowData(name);
        text += QString("  %1  %2%3 -> %4").arg(name, flow.Sql ? "SQL: " : "", flow.Source, flow.Target);
        const QStringList dependencies =
            IniReadSectionKeys(FlowTransferPath(name), "DEPENDENT", TKeyBudget::Whole);
        if (!dependencies.isEmpty())
            text += "  (after " + dependencies.join(", ") + ")";
        text += "\n";
    }
    text += "Translations:\n";
    for (const QString& line : SortedLines(IndexLines(index, "TRANSLATION")))
        text += QString("  %1  (%2)\n").arg(LineName(line), LineValue(line));
    text += "Constants:\n";
    for (const QString& line : SortedLines(IndexLines(index, "CONSTANTS")))
        text += "  " + line + "\n";
    return text;
}

// The flows named on the command line in the index's spelling; an error text for a name it lacks.
QString IndexedFlows(const QString& index, const QStringList& named, QStringList& flows) {
    const QStringList listed = StartTransferFlows(index);
    for (const QString& name : named) {
        const auto found = std::find_if(listed.begin(), listed.end(), [&](const QString& l) {
            return l.compare(name, Qt::CaseInsensitive) == 0;
        });
        if (found == listed.end())
            return QString("No flow %1 in %2.").arg(name, index);
        flows << *found;
    }
    return QString();
}

int Run(const TRunCommandLine& line, const QString& index) {
    try {
        RequireFilter(line.Filter);
    } catch (const std::exception& error) {
        return Usage(ErrorMessage(error));
    }
    // Held until the run's last line is written; a second run in the same directory is refused.
    std::optional<TRunLock> lock;
    try {
        lock.emplace(ProgramDir());
    } catch (const std::exception& error) {
        return StartError(error);
    }
    QStringList flows;
    try {
        if (line.Flows.isEmpty())
            flows = StartTransferFlows(index);
        else if (const QString error = IndexedFlows(index, line.Flows, flows); !error.isEmpty())
            return Usage(error);
        // Before any connection: a bad definition found half way would leave a run half done.
        CheckRunFiles(flows);
    } catch (const std::exception& error) {
        return StartError(error);
    }

    TBatchAnswerer answerer(line.StopOnError, line.ExportFile);
    TAnswerer* previous = SetAnswerer(&answerer);
    struct TRestore {
        TAnswerer* previous;
        ~TRestore() { SetAnswerer(previous); }
    } restore{previous};
    InstallCancelSignals();

    TD data; // the connection sequence, as at the window's start
    D = &data;
    struct TRelease {
        ~TRelease() { D = nullptr; }
    } release;
    if (data.TerminateRequested)
        return UsageError;
    if (data.Scripting && line.ExportFile.isEmpty())
        return Usage("Scripting mode (TransferSettings.ini) writes an export file: give --export FILE.");
    if (!data.Scripting && !line.ExportFile.isEmpty())
        return Usage("--export is for scripting mode; TransferSettings.ini sets direct mode.");
    if (PendingSignal())
        return 128 + PendingSignal();
    data.ContractFilter = line.Filter;

    TRunOptions options;
    options.StopOnError = [stop = line.StopOnError] { return stop; };
    options.ConstList = [constants = SortedLines(IndexLines(index, "CONSTANTS"))] { return constants; };
    TCopyQueries queries;
    TConsoleView view(isatty(STDERR_FILENO));
    TTransferRun run(view, queries, RunSettingsFromData(), options);
    view.Attach(&run);

    TRunResult result;
    try {
        result = run.RunTransfer(flows);
    } catch (const std::exception& error) {
        // Also an error before the run's first flow, which its result does not hold yet.
        result = run.Result();
        result.End = TRunEnd::EndedByError;
        result.Message = ErrorMessage(error);
    }
    const TRunOutcome outcome = OutcomeOf(result, view, PendingSignal());
    view.EndRun(UnfinishedResult(outcome.Result.End, outcome.Signal));
    ConsoleLine(EndText(outcome));
    Out(SummaryTable(outcome));
    return ExitStatus(outcome);
}

} // namespace

int RunCommand(const TRunCommandLine& line) {
    switch (line.Action) {
    case TRunCommandLine::Help:
    case TRunCommandLine::Version:
        Out(line.Text);
        return 0;
    case TRunCommandLine::Error:
        return Usage(line.Text);
    case TRunCommandLine::Run:
    case TRunCommandLine::List:
        break;
    }
    if (!line.ProgramDir.isEmpty())
        if (const QString error = SetProgramDir(line.ProgramDir); !error.isEmpty())
            return Usage(error);
    const QString index = FlowIndexPath();
    if (!QFileInfo::exists(ResolvePath(index)))
        return Usage(QString("No flow index %1.").arg(index));
    try {
        CheckTextFile(index);
    } catch (const std::exception& error) {
        return StartError(error);
    }
    if (line.Action == TRunCommandLine::List) {
        QString listing;
        try {
            listing = Listing(index);
        } catch (const std::exception& error) {
            return StartError(error);
        }
        Out(listing);
        return 0;
    }
    return Run(line, index);
}
