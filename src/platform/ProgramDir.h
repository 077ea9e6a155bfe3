#pragma once

#include <QString>

// The program directory, with a trailing '/': the one the command line named, else the directory of the
// executable; for an installed copy (an executable beside the installed data folder) the user's data
// folder ~/.local/share/kelvo-transfer/ instead. Every file of the system is found from it.
QString ProgramDir();
// Where an installed copy's shared data (the demo) lies, relative to the executable's folder.
QString InstalledDataRelativeDir();
// The program directory named on the command line (--program-dir). Returns an error text, empty when the
// directory exists and was taken.
QString SetProgramDir(const QString& dir);
// Tests point the program directory at a temporary folder; nothing else may call this.
void SetProgramDirForTests(const QString& dir);
