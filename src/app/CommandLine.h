#pragma once

#include <QString>
#include <QStringList>

// What the window's command line asks for. Anything but the options below is an error, never ignored.
struct TWindowCommandLine {
    enum TAction { Run, Help, Version, Error };
    TAction Action = Run;
    QString ProgramDir; // empty: the default program directory
    QString Text;       // the help or version text, or the error
};

// args as main receives them, the program's name first.
TWindowCommandLine ParseWindowCommandLine(const QStringList& args);

// The command line of main as text.
QStringList ArgumentsOf(int argc, char** argv);
