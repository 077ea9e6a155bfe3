#include "app/CommandLine.h"

#include <QCommandLineParser>

#include "app/Version.h"

TWindowCommandLine ParseWindowCommandLine(const QStringList& args) {
    QCommandLineParser parser;
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    const QCommandLineOption dir("program-dir", "", "DIR");
    const QCommandLineOption help(QStringList{"h", "help"});
    const QCommandLineOption version(QStringList{"v", "version"});
    parser.addOptions({dir, help, version});
    TWindowCommandLine line;
    if (!parser.parse(args)) {
        line.Action = TWindowCommandLine::Error;
        line.Text = parser.errorText();
    } else if (!parser.positionalArguments().isEmpty()) {
        line.Action = TWindowCommandLine::Error;
        line.Text = QString("Unexpected argument: %1").arg(parser.positionalArguments().join(' '));
    } else if (parser.isSet(help)) {
        line.Action = TWindowCommandLine::Help;
        line.Text = "Usage: kelvo-transfer [--program-dir DIR]\n"
                    "       kelvo-transfer --help | --version\n\n"
                    "Opens the Kelvo data transfer window on a program directory: the folder holding\n"
                    "TransferSettings.ini, KELVO.INI, Login.ini and Files/ with the flow definitions.\n\n"
                    "  --program-dir DIR  use DIR as the program directory (default: the executable's\n"
                    "                     folder; for an installed copy ~/.local/share/kelvo-transfer)\n"
                    "  -h, --help         show this help\n"
                    "  -v, --version      show the version\n\n"
                    "Runs without a window: kelvo-run --help.\n";
    } else if (parser.isSet(version)) {
        line.Action = TWindowCommandLine::Version;
        line.Text = "kelvo-transfer " + KelvoVersion() + "\n";
    } else if (parser.isSet(dir)) {
        line.ProgramDir = parser.value(dir);
        if (line.ProgramDir.isEmpty()) {
            line.Action = TWindowCommandLine::Error;
            line.Text = "--program-dir needs a directory.";
        }
    }
    return line;
}

QStringList ArgumentsOf(int argc, char** argv) {
    QStringList args;
    for (int i = 0; i < argc; ++i)
        args << QString::fromLocal8Bit(argv[i]);
    return args;
}
