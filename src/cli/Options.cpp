#include "cli/Options.h"

#include <QCommandLineParser>
#include <QFileInfo>

#include "app/Version.h"

namespace {

const char* HelpText =
    "Usage: kelvo-run --filter TEXT [--export FILE] [--program-dir DIR] [--stop-on-error] [--quiet]\n"
    "                 [--summary-json FILE] [--batch N] [FLOW ...]\n"
    "       kelvo-run --check --filter TEXT [--program-dir DIR] [--quiet] [FLOW ...]\n"
    "       kelvo-run --list [--program-dir DIR]\n"
    "       kelvo-run --set-source-login [--program-dir DIR] [USER]\n"
    "       kelvo-run --help | --version\n\n"
    "Runs the flows of a program directory without a window, as \"Start transfer\" runs them: every\n"
    "flow of Files/Flows.ini, or the named ones, in dependency order.\n\n"
    "  --filter TEXT       the contract filter, replacing %FILTERPOG% (required)\n"
    "  --export FILE       scripting mode's export file, extended, never replaced (required in\n"
    "                      scripting mode; its folder is created)\n"
    "  --program-dir DIR   the program directory (default: the executable's folder; for an\n"
    "                      installed copy ~/.local/share/kelvo-transfer)\n"
    "  --stop-on-error     end the run at the first row that fails to insert\n"
    "  --batch N           send up to N rows in one INSERT (BATCH_ROWS of TransferSettings.ini,\n"
    "                      default 1); a failing row is still kept alone with its reason\n"
    "  --quiet             only errors on stderr, no progress lines; the summary still goes to stdout\n"
    "  --summary-json FILE write the run's summary as JSON to FILE, also when the run ends by an\n"
    "                      error or a signal (replaced whole, never half written)\n"
    "  --check             connect and check the selected flows (tables, columns, translation and\n"
    "                      script files, dependencies) without touching data: a line per flow\n"
    "  --list              list the flows, translations and constants\n"
    "  --set-source-login  store the source login in KELVO.INI: USER, or asked for on the terminal;\n"
    "                      the password is read from the terminal without echo, or from the first\n"
    "                      line of standard input when that is no terminal\n"
    "  -h, --help          show this help\n"
    "  -v, --version       show the version\n\n"
    "The destination login is KELVO_DEST_USER and KELVO_DEST_PASSWORD when set, otherwise the data\n"
    "source's own user and password.\n\n"
    "Exit status: 0 every row copied; 1 rows failed or flows were not run; 2 usage or start-up\n"
    "error; 3 the run ended by an error; 130 SIGINT, 143 SIGTERM (the run is cancelled).\n"
    "With --check: 0 every flow can run; 1 one cannot; 2 usage or start-up error.\n";

TRunCommandLine Failure(const QString& text) {
    TRunCommandLine line;
    line.Action = TRunCommandLine::Error;
    line.Text = text;
    return line;
}

} // namespace

TRunCommandLine ParseRunCommandLine(const QStringList& args) {
    QCommandLineParser parser;
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    const QCommandLineOption filter("filter", "", "TEXT");
    const QCommandLineOption exportFile("export", "", "FILE");
    const QCommandLineOption dir("program-dir", "", "DIR");
    const QCommandLineOption stop("stop-on-error");
    const QCommandLineOption quiet("quiet");
    const QCommandLineOption summary("summary-json", "", "FILE");
    const QCommandLineOption check("check");
    const QCommandLineOption batch("batch", "", "N");
    const QCommandLineOption list("list");
    const QCommandLineOption sourceLogin("set-source-login");
    const QCommandLineOption help(QStringList{"h", "help"});
    const QCommandLineOption version(QStringList{"v", "version"});
    parser.addOptions(
        {filter, exportFile, dir, stop, quiet, summary, check, batch, list, sourceLogin, help, version});
    if (!parser.parse(args))
        return Failure(parser.errorText());

    TRunCommandLine line;
    if (parser.isSet(help)) {
        line.Action = TRunCommandLine::Help;
        line.Text = HelpText;
        return line;
    }
    if (parser.isSet(version)) {
        line.Action = TRunCommandLine::Version;
        line.Text = "kelvo-run " + KelvoVersion() + "\n";
        return line;
    }
    line.ProgramDir = parser.value(dir);
    if (parser.isSet(dir) && line.ProgramDir.isEmpty())
        return Failure("--program-dir needs a directory.");
    if (parser.isSet(sourceLogin)) {
        for (const QCommandLineOption* other :
             {&filter, &exportFile, &stop, &quiet, &summary, &check, &batch, &list})
            if (parser.isSet(*other))
                return Failure(QString("--set-source-login takes no --%1.").arg(other->names().constFirst()));
        if (parser.positionalArguments().size() > 1)
            return Failure("--set-source-login takes one user name at most.");
        line.Action = TRunCommandLine::SetSourceLogin;
        if (!parser.positionalArguments().isEmpty())
            line.SourceUser = parser.positionalArguments().constFirst();
        return line;
    }
    if (parser.isSet(list)) {
        for (const QCommandLineOption* other : {&filter, &exportFile, &stop, &summary, &check, &batch})
            if (parser.isSet(*other))
                return Failure(QString("--list takes no --%1.").arg(other->names().constFirst()));
        if (!parser.positionalArguments().isEmpty())
            return Failure("--list takes no flow names.");
        line.Action = TRunCommandLine::List;
        return line;
    }
    line.Quiet = parser.isSet(quiet);
    line.Filter = parser.value(filter);
    line.StopOnError = parser.isSet(stop);
    if (parser.isSet(batch)) {
        bool ok = false;
        line.BatchRows = parser.value(batch).toInt(&ok);
        if (!ok || line.BatchRows < 1)
            return Failure(QString("--batch needs a whole number of rows of at least 1, not \"%1\".")
                               .arg(parser.value(batch)));
    }
    for (auto [option, value] :
         {std::pair{&exportFile, &line.ExportFile}, std::pair{&summary, &line.SummaryFile}})
        if (parser.isSet(*option)) {
            if (parser.value(*option).isEmpty())
                return Failure(QString("--%1 needs a file name.").arg(option->names().constFirst()));
            *value = QFileInfo(parser.value(*option)).absoluteFilePath();
        }
    if (parser.isSet(check)) {
        // The run's own command line is accepted, so a scheduler can check exactly what it will run.
        if (parser.isSet(summary))
            return Failure("--check writes no --summary-json.");
        line.Action = TRunCommandLine::Check;
    }
    for (const QString& name : parser.positionalArguments())
        if (!line.Flows.contains(name, Qt::CaseInsensitive))
            line.Flows << name;
    return line;
}
