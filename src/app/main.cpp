#include <QApplication>
#include <cstdio>

#include "app/CommandLine.h"
#include "app/Version.h"
#include "app/ui/Main.h"
#include "app/ui/StartUp.h"
#include "platform/ProgramDir.h"
#include "support/ui/RealAnswerer.h"

int main(int argc, char** argv) {
    // The command line is read before the toolkit starts, so help, version and errors need no display.
    const TWindowCommandLine line = ParseWindowCommandLine(ArgumentsOf(argc, argv));
    QString error = line.Action == TWindowCommandLine::Error ? line.Text : QString();
    if (error.isEmpty() && !line.ProgramDir.isEmpty())
        error = SetProgramDir(line.ProgramDir);
    if (!error.isEmpty()) {
        std::fprintf(stderr, "kelvo-transfer: %s\nTry 'kelvo-transfer --help'.\n", qPrintable(error));
        return 2;
    }
    if (line.Action != TWindowCommandLine::Run) {
        std::fputs(qPrintable(line.Text), stdout);
        return 0;
    }
    // Every argument has been taken; none is left for the toolkit to read as one of its own.
    int toolkitArgc = 1;
    QApplication app(toolkitArgc, argv);
    QApplication::setApplicationVersion(KelvoVersion());
    QApplication::setWindowIcon(KelvoIcon());
    TRealAnswerer answerer;
    SetAnswerer(&answerer);
    return RunProgram(app);
}
