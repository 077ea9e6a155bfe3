#pragma once

#include <QString>

// The directory of the executable, with a trailing '/'. Every file of the system is found from it.
QString ProgramDir();
// Tests point the program directory at a temporary folder; nothing else may call this.
void SetProgramDirForTests(const QString& dir);
