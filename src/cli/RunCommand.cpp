#include "cli/RunCommand.h"

#include <QDateTime>
#include <QFileInfo>
#include <QSaveFile>
#include <cstdio>
#include <optional>
#include <unistd.h>

#include "app/Data.h"
#include "app/RunStart.h"
#include "cli/BatchAnswerer.h"
#include "cli/ConsoleView.h"
#include "cli/FlowCheck.h"
#include "cli/RunOutcome.h"
#include "cli/Signals.h"
#include "cli/SourceLogin.h"
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

// The flows a run of the command line takes: the named ones, or every flow of the index.
QString SelectedFlows(const TRunCommandLine& line, const QString& index, QStringList& flows) {
    if (!line.Flows.isEmpty())
        return IndexedFlows(index, line.Flows, flows);
    flows = StartTransferFlows(index);
    return QString();
}

// -1 for no file.
qint64 FileSize(const QString& path) {
    const QFileInfo info(path);
    return !path.isEmpty() && info.exists() ? info.size() : -1;
}

// The window's start without a window: the batch answerer takes every question until the end, and the
// data module runs its connection sequence.
class TBatchStart {
public:
    explicit TBatchStart(const TRunCommandLine& line)
        : answerer_(line.StopOnError, line.ExportFile, line.Quiet), previous_(SetAnswerer(&answerer_)) {}
    ~TBatchStart() {
        D = nullptr;
        data_.reset();
        SetAnswerer(previous_);
    }
    TD& Connect(const QString& filter) {
        data_.emplace();
        D = &*data_;
        data_->ContractFilter = filter;
        return *data_;
    }
    const TBatchAnswerer& Answerer() const { return answerer_; }

private:
    TBatchAnswerer answerer_;
    TAnswerer* previous_;
    std::optional<TD> data_;
};

// A start refused before any flow ran, already told with its exit status; the outcome keeps it for the
// summary file.
int Refuse(TRunOutcome& outcome, const QString& text, int status) {
    outcome.Result.End = TRunEnd::EndedByError;
    outcome.Result.Message = text;
    return status;
}

int Check(const TRunCommandLine& line, const QString& index) {
    QStringList flows;
    try {
        RequireFilter(line.Filter);
        if (const QString error = SelectedFlows(line, index, flows); !error.isEmpty())
            return Usage(error);
        CheckRunFiles({}); // the files of the start; those of each flow are the flow's own check
    } catch (const std::exception& error) {
        return StartError(error);
    }
    TBatchStart start(line);
    if (start.Connect(line.Filter).TerminateRequested)
        return UsageError;
    bool allOk = false;
    QString lines;
    try {
        lines = CheckFlows(flows, index, allOk);
    } catch (const std::exception& error) {
        return StartError(error);
    }
    Out(lines);
    return allOk ? 0 : 1;
}

int Run(const TRunCommandLine& line, const QString& index, TRunOutcome& outcome) {
    QStringList flows;
    outcome.Result.NotRun = line.Flows; // until the run tells which ran
    try {
        if (const QString error = SelectedFlows(line, index, flows); !error.isEmpty())
            return Refuse(outcome, error, Usage(error));
        outcome.Result.NotRun = flows;
        // Before any connection: a bad definition found half way would leave a run half done.
        CheckRunFiles(flows);
    } catch (const std::exception& error) {
        return Refuse(outcome, ErrorMessage(error), StartError(error));
    }
    try {
        RequireFilter(line.Filter);
    } catch (const std::exception& error) {
        return Refuse(outcome, ErrorMessage(error), Usage(ErrorMessage(error)));
    }
    // Held until the run's last line is written; a second run in the same directory is refused.
    std::optional<TRunLock> lock;
    try {
        lock.emplace(ProgramDir());
    } catch (const std::exception& error) {
        return Refuse(outcome, ErrorMessage(error), StartError(error));
    }

    TBatchStart start(line);
    InstallCancelSignals();
    TD& data = start.Connect(line.Filter);
    if (data.TerminateRequested)
        return Refuse(outcome, start.Answerer().Told().join(" "), UsageError); // the answerer told why
    QString mismatch;
    if (data.Scripting && line.ExportFile.isEmpty())
        mismatch = "Scripting mode (TransferSettings.ini) writes an export file: give --export FILE.";
    if (!data.Scripting && !line.ExportFile.isEmpty())
        mismatch = "--export is for scripting mode; TransferSettings.ini sets direct mode.";
    if (!mismatch.isEmpty())
        return Refuse(outcome, mismatch, Usage(mismatch));
    if (PendingSignal()) {
        outcome.Signal = PendingSignal();
        outcome.Result.End = TRunEnd::Cancelled;
        return ExitStatus(outcome);
    }

    TRunOptions options;
    options.StopOnError = [stop = line.StopOnError] { return stop; };
    options.ConstList = [constants = SortedLines(IndexLines(index, "CONSTANTS"))] { return constants; };
    TCopyQueries queries;
    TConsoleView view(isatty(STDERR_FILENO), line.Quiet);
    TRunSettings settings = RunSettingsFromData();
    if (line.BatchRows > 0)
        settings.BatchRows = line.BatchRows;
    TTransferRun run(view, queries, settings, options);
    view.Attach(&run);

    const qint64 exportSize = FileSize(line.ExportFile);
    TRunResult result;
    try {
        result = run.RunTransfer(flows);
    } catch (const std::exception& error) {
        // Also an error before the run's first flow, which its result does not hold yet.
        result = run.Result();
        result.End = TRunEnd::EndedByError;
        result.Message = ErrorMessage(error);
        if (result.Flows.empty())
            result.NotRun = flows;
    }
    // The file is created by its first statement and only ever extended: unchanged, this run wrote none.
    if (FileSize(result.ExportFile) == exportSize)
        result.ExportFile.clear();
    const int signal = PendingSignal();
    view.EndRun(UnfinishedResult(result.End, signal));
    outcome = OutcomeOf(result, view, signal);
    const int status = ExitStatus(outcome);
    if (!line.Quiet || status != 0)
        ConsoleLine(EndText(outcome));
    Out(SummaryTable(outcome));
    return status;
}

// The program directory and its flow index, then the listing, the check or the run.
int Start(const TRunCommandLine& line, TRunOutcome& outcome) {
    if (!line.ProgramDir.isEmpty())
        if (const QString error = SetProgramDir(line.ProgramDir); !error.isEmpty())
            return Refuse(outcome, error, Usage(error));
    const QString index = FlowIndexPath();
    if (const QString missing = QString("No flow index %1.").arg(index);
        !QFileInfo::exists(ResolvePath(index)))
        return Refuse(outcome, missing, Usage(missing));
    try {
        CheckTextFile(index);
    } catch (const std::exception& error) {
        return Refuse(outcome, ErrorMessage(error), StartError(error));
    }
    if (line.Action == TRunCommandLine::Check)
        return Check(line, index);
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
    return Run(line, index, outcome);
}

// Refuses, before anything is written, a summary file that could not be written at the end.
QString SummaryFileError(const QString& path) {
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return QString("Cannot write the summary file %1: %2").arg(path, file.errorString());
    file.cancelWriting();
    return QString();
}

bool WriteSummary(const QString& path, const QByteArray& json) {
    QSaveFile file(path);
    if (file.open(QIODevice::WriteOnly) && file.write(json) == json.size() && file.commit())
        return true;
    ConsoleLine(QString("The summary file %1 was not written: %2").arg(path, file.errorString()));
    return false;
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
    case TRunCommandLine::SetSourceLogin:
        if (!line.ProgramDir.isEmpty())
            if (const QString error = SetProgramDir(line.ProgramDir); !error.isEmpty())
                return Usage(error);
        return SetSourceLogin(line.SourceUser);
    case TRunCommandLine::Run:
    case TRunCommandLine::Check:
    case TRunCommandLine::List:
        break;
    }
    if (line.SummaryFile.isEmpty()) {
        TRunOutcome outcome;
        return Start(line, outcome);
    }
    if (const QString error = SummaryFileError(line.SummaryFile); !error.isEmpty())
        return Usage(error);
    TRunOutcome outcome;
    const QDateTime start = QDateTime::currentDateTimeUtc();
    int status = Start(line, outcome);
    outcome.Start = start;
    outcome.End = QDateTime::currentDateTimeUtc();
    // A scheduler that reads the file must not take a run without one for a success.
    if (!WriteSummary(line.SummaryFile, SummaryJson(outcome, status)) && status < 2)
        status = 3;
    return status;
}
