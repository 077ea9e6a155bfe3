#include <QCoreApplication>
#include <cstdio>
#include <exception>

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
    // The last guard: an error nobody caught is still a message and a start-up error, never an abort.
    try {
        return RunCommand(line);
    } catch (const std::exception& error) {
        std::fprintf(stderr, "kelvo-run: %s\n", error.what());
    } catch (...) {
        std::fputs("kelvo-run: an unknown error ended the program\n", stderr);
    }
    return 2;
}
