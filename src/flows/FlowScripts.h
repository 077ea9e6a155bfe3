#pragma once

#include <QString>
#include <QStringList>
#include <functional>

class TLangQuery;

// The four script files beside a flow's definition: program directory + "Files/" + flow + suffix.
inline constexpr const char* SourceInitSuffix = "_sinit.txt";
inline constexpr const char* DestInitSuffix = "_dinit.txt";
inline constexpr const char* SourceFinalSuffix = "_sfin.txt";
inline constexpr const char* DestFinalSuffix = "_dfin.txt";
inline constexpr const char* ScriptDoneText = "Končano kot uspešno...";

QString ScriptPath(const QString& flowName, const QString& suffix);

// Creates the file empty when it does not exist, then hands it to the associated editor.
void EditScript(const QString& fileName);

// How a script's lines make statements.
enum class TScriptSplit {
    GoLines,       // a "GO" line (any case) ends one; lines after the last such line do not run
    SemicolonEnds, // a line whose trimmed text ends with ";" ends one, without its ";"
};

// The one way a script file runs: it is read (false when it cannot be), its "/*" lines dropped, split by
// the rule, and each statement handed to run with the script's log, to which run adds what it wants
// kept. The log (path + ".log") holds the path, those lines and the done line; when run lets an error
// through, the script ends there and its log is written with what it has.
bool RunScriptStatements(const QString& path, TScriptSplit split,
                         const std::function<void(const QStringList& statement, QStringList& log)>& run);

// Runs a script batch by batch ("GO" lines end batches, "/*" lines are dropped) on the connection named
// databaseName through tbl, showing each failing batch's error, and writes the two-line run log.
// False when the file cannot be read.
bool RunScript(const QString& databaseName, const QString& fileName, TLangQuery& tbl);
