#pragma once

#include <QString>
#include <QStringList>
#include <vector>

#include "query/Dialect.h"

class TLangQuery;

// The traces a run leaves beside the executable, and the flow scripts as a transfer runs them.

// Appends one line; when no file can be named by path, to "Logfile.txt" in the program directory.
void AppendLogLine(const QString& path, const QString& line);
// Appends one entry of the failed-data file: a comment line "-- " + date-time + flow + ": " + reason
// (line breaks of the reason folded into blanks), the statement lines, the separator line and an empty
// line. The entry arrives whole or not at all. Nothing for no lines.
void AppendFailedStatement(const QString& path, const QStringList& lines, const QString& flow,
                           const QString& reason, const QString& separator = "Go");
// The line that ends a statement for the client of the destination engine: "Go" for SQL Server, ";"
// for the others, whose clients read "Go" as text.
QString StatementSeparatorFor(TEngineKind engine);
// A text on one line: every run of line breaks becomes one blank.
QString OneLine(const QString& text);

// Every "%FILTERPOG%", in any letter case, replaced by the filter value.
QString ReplaceFilter(const QString& text, const QString& filter);

// What decides where a script statement goes.
struct TScriptTarget {
    bool Scripting = false;   // scripting mode of the program
    QString ExportFile;       // the run's export file
    QString ContractFilter;   // replaces the placeholder in exported statements
    QString DestDatabaseName; // statements for this connection are exported in scripting mode
};

// Runs a script statement by statement (a line whose trimmed text ends with ";" ends one) through tbl
// on the connection named databaseName. Failures go into the script log (path + ".log"), which ends
// with the done line, and are counted in failed (a statement whose statement log cannot be written is
// not run, and counts). False when the file cannot be read.
bool RunTransferScript(const QString& databaseName, const QString& path, TLangQuery& tbl,
                       const TScriptTarget& target, int* failed = nullptr);

// A script of a flow whose statements did not all run.
struct TScriptFailure {
    QString Path;
    int Failed = 0;
};

// The flow's _sinit.txt on the source, then _dinit.txt on the destination (the _sfin/_dfin pair for
// the final scripts); missing files are skipped. Returns the scripts with failed statements.
std::vector<TScriptFailure> RunInitScripts(const QString& flowName, const QString& sourceDatabase,
                                           TLangQuery& tbl, const TScriptTarget& target);
std::vector<TScriptFailure> RunFinalScripts(const QString& flowName, const QString& sourceDatabase,
                                            TLangQuery& tbl, const TScriptTarget& target);
