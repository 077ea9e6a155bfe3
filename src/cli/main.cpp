#include <QCoreApplication>

#include "app/CommandLine.h"
#include "app/Version.h"
#include "cli/Options.h"
#include "cli/RunCommand.h"

// kelvo-run: the window's transfer without a window, for schedulers.
int main(int argc, char** argv) {
    const TRunCommandLine line = ParseRunCommandLine(ArgumentsOf(argc, argv));
    int coreArgc = 1;
    QCoreApplication app(coreArgc, argv);
    QCoreApplication::setApplicationName("Kelvo data transfer");
    QCoreApplication::setApplicationVersion(KelvoVersion());
    return RunCommand(line);
}
