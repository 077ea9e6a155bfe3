#pragma once

#include <QString>
#include <QStringList>
#include <optional>

// What kelvo-run's command line asks for.
struct TRunCommandLine {
    enum TAction { Run, Check, List, SetSourceLogin, Help, Version, Error };
    TAction Action = Run;
    QString Filter;
    QString ExportFile;  // absolute; empty when not given
    QString ProgramDir;  // empty: the default program directory
    QString SummaryFile; // absolute; empty when not given
    bool StopOnError = false;
    int BatchRows = 0; // rows per INSERT; 0: as TransferSettings.ini says
    bool Quiet = false;
    QStringList Flows; // as named, repeats dropped; empty: every flow
    std::optional<QString> SourceUser; // --set-source-login's user name; none: asked for
    QString Text;      // the help or version text, or the error
};

// args as main receives them, the program's name first.
TRunCommandLine ParseRunCommandLine(const QStringList& args);
