#pragma once

#include <QString>

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

// Runs a script batch by batch ("GO" lines end batches, "/*" lines are dropped) on the connection named
// databaseName through tbl, showing each failing batch's error, and writes the two-line run log.
// False when the file cannot be read.
bool RunScript(const QString& databaseName, const QString& fileName, TLangQuery& tbl);
