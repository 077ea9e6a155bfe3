// Transfers N generated rows through the real run and progress window, and compares the direct run
// with a bare loop that sends the same INSERT statements one by one through ODBC.
//   scripts/bench [rows]      (starts the private PostgreSQL server the destination needs)
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <memory>

#include "fixtures/TestEnv.h"
#include "platform/ProgramDir.h"
#include "platform/Regional.h"
#include "platform/TextFile.h"
#include "query/Database.h"
#include "support/Answerer.h"
#include "transfer/ui/Transfer.h"

namespace {

// Answers the export dialog with a fixed path; nothing else may be asked.
class TBenchAnswerer : public TAnswerer {
public:
    QString exportPath;
    int MessageDialog(const QString& text, TMsgDlgType, TMsgDlgButtons, int, int, int) override {
        std::fprintf(stderr, "unexpected question: %s\n", qPrintable(text));
        return mrNo;
    }
    void PlainMessage(const QString& text) override {
        std::fprintf(stderr, "message: %s\n", qPrintable(text));
    }
    bool InputText(const QString&, const QString&, QString&) override { return false; }
    bool SaveFileName(const TSaveDialogRequest&, QString& path) override {
        path = exportPath;
        return true;
    }
    bool Login(const QString&, QString&, QString&) override { return true; }
    bool ShellOpen(const QString&) override { return false; }
};

void Write(const QString& path, const QByteArray& text) {
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly))
        std::abort();
    f.write(text);
}

struct TRunTimes {
    double seconds = 0;
    // Seconds taken by the first and by the last tenth of the rows, to show that a row's cost does
    // not grow with the rows already transferred.
    double firstTenth = 0;
    double lastTenth = 0;
};

TRunTimes RunFlow(bool scripting, int rows) {
    TRunSettings settings;
    settings.Scripting = scripting;
    settings.ContractFilter = [] { return QString("1"); };
    TRunOptions options;
    options.ConstList = [] { return QStringList{"REG=SI-01"}; };
    auto* window = new TFTransfer(settings, options);
    QElapsedTimer timer;
    const int tenth = std::max(1, rows / 10);
    int inserts = 0;
    QList<double> marks; // elapsed seconds at every tenth
    window->QT().OnInsert = [&](TLangQuery*) {
        if (++inserts % tenth == 1 || tenth == 1)
            marks << timer.nsecsElapsed() / 1e9;
    };
    timer.start();
    window->RunTransfer({"BENCH"});
    TRunTimes times;
    times.seconds = timer.nsecsElapsed() / 1e9;
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    if (marks.size() >= 3) {
        times.firstTenth = marks[1] - marks[0];
        times.lastTenth = marks.last() - marks[marks.size() - 2];
    }
    return times;
}

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    TestEnv::Prepare();
    QApplication app(argc, argv);
    const int rows = argc > 1 ? std::atoi(argv[1]) : 100000;
    if (qEnvironmentVariableIsEmpty("KELVO_PG_PORT")) {
        std::fprintf(stderr, "run through scripts/bench, which starts the PostgreSQL destination\n");
        return 2;
    }
    QTemporaryDir dir;
    SetProgramDirForTests(dir.path());
    SetRegionalLocaleForTests(QLocale(QLocale::English, QLocale::UnitedStates));
    TBenchAnswerer answerer;
    answerer.exportPath = dir.path() + "/export.sql";
    SetAnswerer(&answerer);
    QDir(dir.path()).mkpath("Files");
    Write(dir.path() + "/Files/BENCH.INI",
          "[DATA]\r\nNAME=BENCH\r\nSQL=N\r\n[SOURCE]\r\nNAME=BENCH\r\n[TARGET]\r\nNAME=BENCH_D\r\n"
          "[FIELDS]\r\nID=ID\r\nNAME=NAME\r\nAMOUNT=AMOUNT\r\nCREATED=CREATED\r\nKIND=KIND\r\nREGION=CONST("
          "REG)\r\n"
          "[TRANS]\r\nKIND=KINDS\r\n");
    Write(dir.path() + "/Files/KINDS.ini",
          "[DATA]\r\nNAME=KINDS\r\nTYPE=S\r\nDEFAULT=?\r\n[TRANSLATIONS]\r\nK0=zero\r\nK1=one\r\nK2=two\r\n");

    const QString destDdl = "create table BENCH_D (ID integer, NAME varchar(40), AMOUNT float, CREATED date, "
                            "KIND varchar(5), REGION varchar(8))";
    TestEnv::ResetSqlite("KelvoLite");
    ExecOn("KelvoLite", "create table BENCH (ID integer, NAME varchar(40), AMOUNT float, CREATED date, KIND "
                        "varchar(5));" +
                            destDdl);
    ExecOn("KelvoLite",
           QString("insert into BENCH with recursive c(x) as (select 1 union all select x + 1 from c "
                   "where x < %1) select x, 'Partner ' || x || ' d.o.o.', x * 1.25, "
                   "date('2020-01-01', '+' || (x % 1000) || ' days'), 'K' || (x % 3) from c")
               .arg(rows));
    TestEnv::ResetPostgres();
    ExecOn("KelvoPg", destDdl);
    auto source = OpenTestDatabase("KelvoLite", "DBSource");
    auto dest = OpenTestDatabase("KelvoPg", "DBDest");

    const TRunTimes scriptedRun = RunFlow(true, rows);
    const TRunTimes directRun = RunFlow(false, rows);
    const double scripted = scriptedRun.seconds;
    const double direct = directRun.seconds;

    // The bare loop: the same statements, read back from the export file, sent one by one.
    QStringList statements;
    QStringList current;
    for (const QString& line : ReadTextLines(answerer.exportPath)) {
        if (line == ";") {
            statements << current.join('\n');
            current.clear();
        } else if (!line.isEmpty()) {
            current << line;
        }
    }
    dest->ExecDirect("truncate BENCH_D");
    QElapsedTimer timer;
    timer.start();
    for (const QString& s : statements)
        dest->ExecDirect(s);
    const double bare = timer.nsecsElapsed() / 1e9;

    std::printf("rows: %d (statements in the export file: %lld)\n", rows,
                static_cast<long long>(statements.size()));
    std::printf("(a) SQLite -> export file, scripting mode: %9.0f rows/s\n", rows / scripted);
    std::printf("(b) SQLite -> PostgreSQL, direct mode:     %9.0f rows/s\n", rows / direct);
    std::printf("    bare ODBC loop, same statements:      %9.0f rows/s\n", rows / bare);
    std::printf("    direct run / bare loop time ratio:    %9.2f\n", direct / bare);
    const int tenth = std::max(1, rows / 10);
    std::printf("    rows/s in the first and the last tenth: (a) %.0f / %.0f, (b) %.0f / %.0f\n",
                tenth / scriptedRun.firstTenth, tenth / scriptedRun.lastTenth, tenth / directRun.firstTenth,
                tenth / directRun.lastTenth);
    return 0;
}
