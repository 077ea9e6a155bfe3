#pragma once

#include <QString>
#include <QStringList>

class TLangQuery;

// The traces a run leaves beside the executable, and the flow scripts as a transfer runs them.

// Appends one line; when no file can be named by path, to "Logfile.txt" in the program directory.
void AppendLogLine(const QString& path, const QString& line);
// Appends the statement lines, a "Go" line and an empty line; nothing for no lines.
void AppendFailedStatement(const QString& path, const QStringList& lines);

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
// with the done line. False when the file cannot be read.
bool RunTransferScript(const QString& databaseName, const QString& path, TLangQuery& tbl,
                       const TScriptTarget& target);

// The flow's _sinit.txt on the source, then _dinit.txt on the destination (the _sfin/_dfin pair for
// the final scripts); missing files are skipped.
void RunInitScripts(const QString& flowName, const QString& sourceDatabase, TLangQuery& tbl,
                    const TScriptTarget& target);
void RunFinalScripts(const QString& flowName, const QString& sourceDatabase, TLangQuery& tbl,
                     const TScriptTarget& target);
