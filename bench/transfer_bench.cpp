// Transfers N generated rows through the real run and progress window, and compares the direct run
// with a bare loop that sends the same INSERT statements one by one through ODBC, the scripting run
// with `sqlite3 .dump` of the same table, and the peak memory of each run at several sizes.
//   scripts/bench [rows]      (starts the private PostgreSQL server the destination needs)
// With rows above 10 000 the runs are repeated at 10 000, 100 000 and 1 000 000 rows up to the given
// count. Every run is a child process of its own, so its peak resident memory is its alone. Up to
// 100 000 rows each case runs three times, in turn with the others, and the figures are medians.
// Then one row holding a value of 10 MB (KELVO_BENCH_VALUE_MB), a text and bytes, goes from SQLite to
// PostgreSQL and to an export file, with its time and peak memory; `scripts/bench 0` runs only that.
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <map>
#include <memory>
#include <spawn.h>
#include <sql.h>
#include <sqlext.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include "platform/ProgramDir.h"
#include "platform/Regional.h"
#include "platform/TextFile.h"
#include "query/Database.h"
#include "support/Answerer.h"
#include "transfer/FlowOrder.h"
#include "transfer/ui/Transfer.h"

extern char** environ;

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

QString Env(const char* name, const char* def) {
    const QByteArray v = qgetenv(name);
    return v.isEmpty() ? QString(def) : QString::fromLocal8Bit(v);
}

std::unique_ptr<TDatabase> Connect(const QString& dsn, const QString& databaseName) {
    auto db = std::make_unique<TDatabase>();
    db->DatabaseName = databaseName;
    db->AliasName = dsn;
    db->Open();
    return db;
}

void Exec(const QString& dsn, const QStringList& statements) {
    auto db = Connect(dsn, "BenchSetup");
    for (const QString& s : statements)
        db->ExecDirect(s);
}

// Rows SQLite -> SQLite row by row copies: at one synced transaction a row, more only cost time.
constexpr int SqliteSingleRows = 2000;

struct TRunTimes {
    double seconds = 0;
    // Seconds taken by the first and by the last tenth of the rows, to show that a row's cost does
    // not grow with the rows already transferred.
    double firstTenth = 0;
    double lastTenth = 0;
    double peakMiB = 0;
};

TRunTimes RunFlow(const QString& flow, bool scripting, int rows, int batchRows = 1) {
    TRunSettings settings;
    settings.Scripting = scripting;
    settings.BatchRows = batchRows;
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
    window->RunTransfer({flow});
    TRunTimes times;
    times.seconds = timer.nsecsElapsed() / 1e9;
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    if (marks.size() >= 3) {
        times.firstTenth = marks[1] - marks[0];
        times.lastTenth = marks.last() - marks[marks.size() - 2];
    }
    return times;
}

// The statements of an export file, each as sent.
QStringList ExportedStatements(const QString& path) {
    QStringList statements;
    QStringList current;
    for (const QString& line : ReadTextLines(path)) {
        if (line == ";") {
            statements << current.join('\n');
            current.clear();
        } else if (!line.isEmpty()) {
            current << line;
        }
    }
    return statements;
}

// Orders flows F0000..F(n-1), each depending on the one before, listed in reverse.
double OrderChainedFlows(const QString& dir, int n) {
    const QString programDir = dir + "/order/";
    QDir().mkpath(programDir + "Files");
    SetProgramDirForTests(programDir);
    QStringList names;
    for (int i = n - 1; i >= 0; --i) {
        const QString name = QString("F%1").arg(i, 4, 10, QChar('0'));
        names << name;
        QByteArray text = "[DATA]\r\nNAME=" + name.toUtf8() +
                          "\r\nSQL=N\r\n[SOURCE]\r\nNAME=BENCH\r\n[TARGET]\r\n"
                          "NAME=BENCH_D\r\n[FIELDS]\r\nID=ID\r\n";
        if (i > 0) {
            const QByteArray before = QString("F%1").arg(i - 1, 4, 10, QChar('0')).toUtf8();
            text += "[DEPENDENT]\r\n" + before + "=" + before + "\r\n";
        }
        Write(programDir + "Files/" + name + ".INI", text);
    }
    QElapsedTimer timer;
    timer.start();
    TFlowOrder order;
    QStringList done;
    QString next;
    while (order.NextFlow(names, done, next))
        done << next;
    const double seconds = timer.nsecsElapsed() / 1e9;
    if (done.size() != n)
        std::fprintf(stderr, "ordering: %lld of %d flows ordered\n", static_cast<long long>(done.size()), n);
    return seconds;
}

// ---- child processes

// The child's own peak: the rusage of a spawned child also counts its parent's peak, as the child
// starts in the parent's memory until it execs.
double OwnPeakMiB() {
    QFile status("/proc/self/status");
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').first().toDouble() / 1024.0;
    return 0;
}

// One generated row of the bench's destination table, as text, column by column.
QStringList BenchRowTexts(int id) {
    return {QString::number(id), QString("Partner %1 d.o.o.").arg(id), QString::number(id * 1.25, 'f', 4),
            "2020-01-01",        QString("K%1").arg(id % 3),           "SI-01"};
}

// Rows sent bare, 1 000 a statement, as the batches' multi-row VALUES, as PostgreSQL's unnested arrays
// (one per column), or as ODBC parameter arrays (one prepared statement, 1 000 sets of parameters an
// execution): which of them a driver and its server take fastest.
enum class TInsertForm { Values, Unnest, ParameterArrays };

double SendInsertForm(TDatabase& dest, TInsertForm form, int rows) {
    constexpr int per = 1000;
    QElapsedTimer timer;
    timer.start();
    if (form == TInsertForm::Values) {
        for (int first = 1; first <= rows; first += per) {
            QStringList values;
            for (int id = first; id < first + per && id <= rows; ++id) {
                const QStringList t = BenchRowTexts(id);
                values << QString("(%1, '%2', %3, '%4', '%5', '%6')").arg(t[0], t[1], t[2], t[3], t[4], t[5]);
            }
            dest.ExecDirect("insert into BENCH_D (ID, NAME, AMOUNT, CREATED, KIND, REGION) values " +
                            values.join(", "));
        }
        return timer.nsecsElapsed() / 1e9;
    }
    if (form == TInsertForm::Unnest) {
        // As the batches send them: one array a column, bound to ?::type[].
        const char* types[] = {"int4", "varchar", "float8", "date", "varchar", "varchar"};
        QString sql = "insert into BENCH_D (ID, NAME, AMOUNT, CREATED, KIND, REGION) select * from unnest(";
        for (int c = 0; c < 6; ++c)
            sql += QString("?::%1[]%2").arg(types[c], c < 5 ? ", " : ")");
        SQLHSTMT h = SQL_NULL_HSTMT;
        SQLAllocHandle(SQL_HANDLE_STMT, static_cast<SQLHDBC>(dest.Handle()), &h);
        for (int first = 1; first <= rows; first += per) {
            QStringList columns[6];
            for (int id = first; id < first + per && id <= rows; ++id) {
                const QStringList t = BenchRowTexts(id);
                for (int c = 0; c < 6; ++c)
                    columns[c] << "\"" + t[c] + "\"";
            }
            QString arrays[6];
            SQLLEN lengths[6];
            for (int c = 0; c < 6; ++c) {
                arrays[c] = "{" + columns[c].join(',') + "}";
                lengths[c] = SQLLEN(arrays[c].size() * 2);
                SQLBindParameter(h, SQLUSMALLINT(c + 1), SQL_PARAM_INPUT, SQL_C_WCHAR, SQL_WLONGVARCHAR,
                                 SQLULEN(arrays[c].size()), 0, const_cast<ushort*>(arrays[c].utf16()),
                                 lengths[c], &lengths[c]);
            }
            const SQLRETURN rc = SQLExecDirectW(h, (SQLWCHAR*)sql.utf16(), SQL_NTS);
            if (!SQL_SUCCEEDED(rc)) {
                std::fprintf(stderr, "unnested arrays failed (%d)\n", int(rc));
                std::exit(1);
            }
        }
        SQLFreeHandle(SQL_HANDLE_STMT, h);
        return timer.nsecsElapsed() / 1e9;
    }
    SQLHSTMT h = SQL_NULL_HSTMT;
    SQLAllocHandle(SQL_HANDLE_STMT, static_cast<SQLHDBC>(dest.Handle()), &h);
    constexpr int width = 48;
    std::vector<char> buffers(size_t(6 * per * width));
    std::vector<SQLLEN> lengths(size_t(6 * per));
    SQLSetStmtAttr(h, SQL_ATTR_PARAM_BIND_TYPE, SQL_PARAM_BIND_BY_COLUMN, 0);
    SQLSetStmtAttr(h, SQL_ATTR_PARAMSET_SIZE, reinterpret_cast<SQLPOINTER>(SQLULEN(per)), 0);
    SQLPrepare(
        h,
        (SQLCHAR*)"insert into BENCH_D (ID, NAME, AMOUNT, CREATED, KIND, REGION) values (?, ?, ?, ?, ?, ?)",
        SQL_NTS);
    for (int c = 0; c < 6; ++c)
        SQLBindParameter(h, SQLUSMALLINT(c + 1), SQL_PARAM_INPUT, SQL_C_CHAR, SQL_VARCHAR, width - 1, 0,
                         buffers.data() + size_t(c * per * width), width, lengths.data() + size_t(c * per));
    for (int first = 1; first <= rows; first += per) {
        const int n = std::min(per, rows - first + 1);
        SQLSetStmtAttr(h, SQL_ATTR_PARAMSET_SIZE, reinterpret_cast<SQLPOINTER>(SQLULEN(n)), 0);
        for (int r = 0; r < n; ++r) {
            const QStringList t = BenchRowTexts(first + r);
            for (int c = 0; c < 6; ++c) {
                const QByteArray v = t[c].toUtf8();
                std::memcpy(buffers.data() + size_t((c * per + r) * width), v.constData(), size_t(v.size()));
                lengths[size_t(c * per + r)] = v.size();
            }
        }
        const SQLRETURN rc = SQLExecute(h);
        if (!SQL_SUCCEEDED(rc)) {
            std::fprintf(stderr, "parameter arrays failed (%d)\n", int(rc));
            std::exit(1);
        }
    }
    SQLFreeHandle(SQL_HANDLE_STMT, h);
    return timer.nsecsElapsed() / 1e9;
}

int RunChild(int argc, char** argv) {
    const QString kind = argv[2];
    const int rows = std::atoi(argv[3]);
    const QString dir = argv[4];
    SetProgramDirForTests(dir);
    SetRegionalLocaleForTests(QLocale(QLocale::English, QLocale::UnitedStates));
    TBenchAnswerer answerer;
    SetAnswerer(&answerer);
    QElapsedTimer timer;
    TRunTimes t;
    if (kind == "order") {
        t.seconds = OrderChainedFlows(dir, rows);
    } else if (kind == "bare") {
        auto dest = Connect("BenchPg", "DBDest");
        const QStringList statements = ExportedStatements(dir + "/export-a.sql");
        dest->ExecDirect("truncate BENCH_D");
        timer.start();
        for (const QString& s : statements)
            dest->ExecDirect(s);
        t.seconds = timer.nsecsElapsed() / 1e9;
        if (statements.size() != rows)
            std::fprintf(stderr, "bare loop: %lld statements for %d rows\n",
                         static_cast<long long>(statements.size()), rows);
    } else if (kind.startsWith("large-")) {
        // One row holding a value of `rows` MB: large-text|large-blob, then -direct or -export.
        const bool blob = kind.contains("blob");
        const bool scripting = kind.endsWith("export");
        const bool maria = kind.endsWith("maria");
        answerer.exportPath = dir + "/export-" + kind + ".sql";
        QFile::remove(answerer.exportPath);
        auto source = Connect("BenchLite", "DBSource");
        std::unique_ptr<TDatabase> dest;
        if (!scripting) {
            dest = Connect(maria ? "BenchMaria" : "BenchPg", "DBDest");
            dest->ExecDirect(blob ? "truncate BIGB_D" : "truncate BIGT_D");
        }
        t = RunFlow(blob ? "BIGB" : "BIGT", scripting, 1);
        if (scripting && QFileInfo(answerer.exportPath).size() < qint64(rows) * 1000000)
            std::fprintf(stderr, "%s: the export file holds less than the value\n", qPrintable(kind));
        if (!scripting) {
            TQuery q;
            q.DatabaseName = "DBDest";
            // Characters of the text (MariaDB's length counts bytes), bytes of the blob.
            q.SQL << (blob ? "select sum(length(V)) from BIGB_D" : "select sum(char_length(V)) from BIGT_D");
            q.Open();
            if (q.Fields(0).AsInteger() != qint64(rows) * 1000000)
                std::fprintf(stderr, "%s: %lld of %d MB arrived\n", qPrintable(kind), q.Fields(0).AsInteger(),
                             rows);
        }
    } else if (kind.startsWith("form-")) {
        // form-values|unnest|arrays-pg|maria
        auto dest = Connect(kind.endsWith("maria") ? "BenchMaria" : "BenchPg", "DBDest");
        dest->ExecDirect("truncate table BENCH_D");
        t.seconds = SendInsertForm(*dest,
                                   kind.contains("arrays")   ? TInsertForm::ParameterArrays
                                   : kind.contains("unnest") ? TInsertForm::Unnest
                                                             : TInsertForm::Values,
                                   rows);
        TQuery q;
        q.DatabaseName = "DBDest";
        q.SQL << "select count(*) from BENCH_D";
        q.Open();
        if (q.Fields(0).AsInteger() != rows)
            std::fprintf(stderr, "%s: %lld of %d rows arrived\n", qPrintable(kind), q.Fields(0).AsInteger(),
                         rows);
    } else if (kind == "h" || kind == "i") {
        // SQLite -> SQLite: row by row each INSERT is a synced transaction, so h copies only its first
        // SqliteSingleRows rows; i the whole table with 1000 rows an INSERT.
        auto source = Connect("BenchLite", "DBSource");
        auto dest = Connect("BenchLite2", "DBDest");
        dest->ExecDirect("delete from BENCH_D");
        t = kind == "h" ? RunFlow("BENCHL", false, SqliteSingleRows) : RunFlow("BENCH", false, rows, 1000);
    } else {
        const bool pgSource = kind == "c";
        // d and e: b and a with batches of a thousand rows.
        // f and g: b and d into MariaDB.
        const bool maria = kind == "f" || kind == "g";
        const bool scripting = kind != "b" && kind != "d" && !maria;
        const int batchRows = kind == "d" || kind == "e" || kind == "g" ? 1000 : 1;
        answerer.exportPath = dir + "/export-" + kind + ".sql";
        QFile::remove(answerer.exportPath);
        auto source = Connect(pgSource ? "BenchPg" : "BenchLite", "DBSource");
        std::unique_ptr<TDatabase> dest;
        if (!scripting) {
            dest = Connect(maria ? "BenchMaria" : "BenchPg", "DBDest");
            dest->ExecDirect("truncate table BENCH_D");
        }
        t = RunFlow(pgSource ? "BENCHPG" : "BENCH", scripting, rows, batchRows);
    }
    (void)argc;
    std::printf("%.6f %.6f %.6f %.1f\n", t.seconds, t.firstTenth, t.lastTenth, OwnPeakMiB());
    return 0;
}

// Runs argv as a child process with stdout into outFile; returns the peak resident memory its rusage
// reports (for a spawned child that includes the parent's peak).
double Spawn(const std::vector<std::string>& args, const QString& outFile, double& wallSeconds) {
    std::vector<char*> argv;
    for (const std::string& a : args)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    const QByteArray out = QFile::encodeName(outFile);
    posix_spawn_file_actions_addopen(&actions, 1, out.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    QElapsedTimer timer;
    timer.start();
    pid_t pid = 0;
    if (posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ) != 0) {
        std::perror("posix_spawn");
        std::exit(1);
    }
    posix_spawn_file_actions_destroy(&actions);
    int status = 0;
    rusage usage{};
    if (wait4(pid, &status, 0, &usage) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        std::fprintf(stderr, "%s %s failed\n", args[0].c_str(), args.size() > 2 ? args[2].c_str() : "");
        std::exit(1);
    }
    wallSeconds = timer.nsecsElapsed() / 1e9;
    return usage.ru_maxrss / 1024.0;
}

TRunTimes RunCase(const char* self, const char* kind, int rows, const QString& dir) {
    const QString out = dir + "/result-" + kind + ".txt";
    double wall = 0;
    TRunTimes t;
    Spawn({self, "--child", kind, std::to_string(rows), dir.toStdString()}, out, wall);
    QFile f(out);
    if (!f.open(QIODevice::ReadOnly) || std::sscanf(f.readAll().constData(), "%lf %lf %lf %lf", &t.seconds,
                                                    &t.firstTenth, &t.lastTenth, &t.peakMiB) != 4) {
        std::fprintf(stderr, "no result from run %s\n", kind);
        std::exit(1);
    }
    return t;
}

// Seconds psql takes to run an export file into the emptied destination table, as an operator would.
double ReplayWithPsql(const QString& file, const QString& dir) {
    Exec("BenchPg", {"truncate BENCH_D"});
    qputenv("PGOPTIONS", QString("-c search_path=kbench%1").arg(QCoreApplication::applicationPid()).toUtf8());
    double seconds = 0;
    Spawn({"/usr/bin/psql", "-X", "-q", "-v", "ON_ERROR_STOP=1", "-h", "127.0.0.1", "-p",
           Env("KELVO_PG_PORT", "5432").toStdString(), "-U", Env("KELVO_PG_USER", "kelvo").toStdString(),
           "-d", Env("KELVO_PG_DB", "kelvo_test").toStdString(), "-f", file.toStdString()},
          dir + "/replay.txt", seconds);
    return seconds;
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

// The run of median time, with its own tenths.
TRunTimes MedianRun(std::vector<TRunTimes> runs) {
    std::sort(runs.begin(), runs.end(),
              [](const TRunTimes& x, const TRunTimes& y) { return x.seconds < y.seconds; });
    return runs[(runs.size() - 1) / 2];
}

// Three runs of each case up to 100 000 rows, one above (a direct run of a million rows takes minutes);
// KELVO_BENCH_REPEAT sets another count.
int Repeats(int rows) {
    const int asked = qEnvironmentVariableIntValue("KELVO_BENCH_REPEAT");
    return asked > 0 ? asked : rows <= 100000 ? 3 : 1;
}

void CreateTables(int rows) {
    const QString destDdl = "create table BENCH_D (ID integer, NAME varchar(40), AMOUNT float, CREATED date, "
                            "KIND varchar(5), REGION varchar(8))";
    const QString sourceDdl = "create table BENCH (ID integer, NAME varchar(40), AMOUNT float, CREATED date, "
                              "KIND varchar(5))";
    Exec("BenchLite",
         {"drop table if exists BENCH", "drop table if exists BENCH_D", sourceDdl, destDdl,
          QString("insert into BENCH with recursive c(x) as (select 1 union all select x + 1 from c "
                  "where x < %1) select x, 'Partner ' || x || ' d.o.o.', x * 1.25, "
                  "date('2020-01-01', '+' || (x % 1000) || ' days'), 'K' || (x % 3) from c")
              .arg(rows)});
    Exec("BenchMaria", {"drop table if exists BENCH_D", destDdl});
    Exec("BenchLite2", {"drop table if exists BENCH_D", destDdl});
    Exec("BenchPg", {"drop table if exists BENCH", "drop table if exists BENCH_D", sourceDdl, destDdl,
                     QString("insert into BENCH select x, 'Partner ' || x || ' d.o.o.', x * 1.25, "
                             "date '2020-01-01' + (x % 1000), 'K' || (x % 3) from generate_series(1, %1) x")
                         .arg(rows)});
}

// One row with a text (each pair of characters "č'", to be quoted) and one with random bytes, of mb
// megabytes (text: characters) each, with destination tables on both engines (the export takes its
// structure from the source).
void CreateLargeValues(int mb) {
    const QString n = QString::number(mb * 1000000);
    const QStringList common = {"drop table if exists BIGT", "drop table if exists BIGB",
                                "drop table if exists BIGT_D", "drop table if exists BIGB_D",
                                "create table BIGT_D (ID integer, V text)"};
    Exec("BenchLite", QStringList(common)
                          << "create table BIGB_D (ID integer, V blob)"
                          << "create table BIGT (ID integer, V text)"
                          << "create table BIGB (ID integer, V blob)"
                          << "insert into BIGT values (1, replace(hex(zeroblob(" + n + " / 2)), '00', 'č'''))"
                          << "insert into BIGB values (1, randomblob(" + n + "))");
    Exec("BenchPg", QStringList(common) << "create table BIGB_D (ID integer, V bytea)");
    // MariaDB takes no value larger than its packet limit (16 MB by default): raised, as an operator would
    // for such values, for the connections made from now on.
    Exec("BenchMariaAdmin", {"set global max_allowed_packet = 1024 * 1024 * 1024"});
    Exec("BenchMaria",
         {"drop table if exists BIGT_D", "drop table if exists BIGB_D",
          "create table BIGT_D (ID integer, V longtext)", "create table BIGB_D (ID integer, V longblob)"});
}

// The run of each large-value case (one row, one value), time and peak memory.
void RunLargeValues(const char* self, const QString& dir) {
    const int mb = qEnvironmentVariableIsEmpty("KELVO_BENCH_VALUE_MB")
                       ? 10
                       : qEnvironmentVariableIntValue("KELVO_BENCH_VALUE_MB");
    CreateLargeValues(mb);
    for (const char* kind : {"large-text-direct", "large-text-export", "large-blob-direct",
                             "large-blob-export", "large-text-maria", "large-blob-maria"}) {
        const TRunTimes t = RunCase(self, kind, mb, dir);
        std::printf("one %d MB value, %-18s: %7.2f s, peak RSS %7.1f MiB\n", mb, kind + 6, t.seconds,
                    t.peakMiB);
        std::fflush(stdout);
    }
}

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    if (argc > 4 && std::strcmp(argv[1], "--child") == 0) {
        QApplication app(argc, argv);
        return RunChild(argc, argv);
    }
    QApplication app(argc, argv);
    const int maxRows = argc > 1 ? std::atoi(argv[1]) : 100000;
    const int flowsToOrder = argc > 2 ? std::atoi(argv[2]) : 1000;
    if (qEnvironmentVariableIsEmpty("KELVO_PG_PORT")) {
        std::fprintf(stderr, "run through scripts/bench, which starts the PostgreSQL destination\n");
        return 2;
    }
    QTemporaryDir tmp;
    const QString dir = tmp.path();
    // Kept for profiling a single case: transfer_bench --child a|b|c ROWS DIR, with ODBCINI=DIR/odbc.ini
    // (the PostgreSQL schema stays too, while that server runs).
    const bool keep = !qEnvironmentVariableIsEmpty("KELVO_BENCH_KEEP");
    if (keep) {
        tmp.setAutoRemove(false);
        std::fprintf(stderr, "work folder kept: %s\n", qPrintable(dir));
    }
    const QString schema = QString("kbench%1").arg(QCoreApplication::applicationPid());
    // The PostgreSQL data source as the README writes it: no fetch settings of its own.
    const QString odbcIni =
        QString(
            "[BenchLite]\nDriver=SQLite3\nDatabase=%1/bench.db\nTimeout=5000\n\n"
            "[BenchLite2]\nDriver=SQLite3\nDatabase=%1/bench-dest.db\nTimeout=5000\n\n"
            "[BenchPg]\nDriver=PostgreSQL Unicode\nServername=127.0.0.1\nPort=%2\nDatabase=%3\n"
            "Username=%4\nBoolsAsChar=0\nConnSettings=set search_path to %5\n\n"
            "[BenchMaria]\nDriver=MariaDB Unicode\nServer=127.0.0.1\nPort=%6\nDatabase=%5\nUser=%7\n\n"
            "[BenchMariaAdmin]\nDriver=MariaDB Unicode\nServer=127.0.0.1\nPort=%6\nDatabase=%8\nUser=%7\n")
            .arg(dir, Env("KELVO_PG_PORT", "5432"), Env("KELVO_PG_DB", "kelvo_test"),
                 Env("KELVO_PG_USER", "kelvo"), schema, Env("KELVO_MARIA_PORT", "3306"),
                 Env("KELVO_MARIA_USER", "kelvo"), Env("KELVO_MARIA_DB", "kelvo_test"));
    Write(dir + "/odbc.ini", odbcIni.toUtf8());
    // pgloader copies the SQLite table into a table of its own in the bench's schema, as its users load one.
    Write(dir + "/pgloader.load",
          QString("LOAD DATABASE FROM sqlite://%1/bench.db\n"
                  "INTO postgresql://%2@127.0.0.1:%3/%4\n"
                  "WITH include drop, create tables, create no indexes, reset no sequences\n"
                  "SET search_path TO '%5'\n"
                  "INCLUDING ONLY TABLE NAMES LIKE 'BENCH'\n"
                  "ALTER TABLE NAMES MATCHING 'BENCH' RENAME TO 'bench_pgloader';\n")
              .arg(dir, Env("KELVO_PG_USER", "kelvo"), Env("KELVO_PG_PORT", "5432"),
                   Env("KELVO_PG_DB", "kelvo_test"), schema)
              .toUtf8());
    qputenv("ODBCINI", QFile::encodeName(dir + "/odbc.ini"));
    Exec("BenchPg",
         {QString("drop schema if exists %1 cascade").arg(schema), QString("create schema %1").arg(schema)});
    Exec("BenchMariaAdmin",
         {QString("drop database if exists %1").arg(schema), QString("create database %1").arg(schema)});
    QDir(dir).mkpath("Files");
    const QByteArray flowBody =
        "\r\nSQL=N\r\n[SOURCE]\r\nNAME=BENCH\r\n[TARGET]\r\nNAME=BENCH_D\r\n"
        "[FIELDS]\r\nID=ID\r\nNAME=NAME\r\nAMOUNT=AMOUNT\r\nCREATED=CREATED\r\nKIND=KIND\r\n"
        "REGION=CONST(REG)\r\n[TRANS]\r\nKIND=KINDS\r\n";
    Write(dir + "/Files/BENCH.INI", "[DATA]\r\nNAME=BENCH" + flowBody);
    Write(dir + "/Files/BENCHPG.INI", "[DATA]\r\nNAME=BENCHPG" + flowBody);
    Write(dir + "/Files/BENCHL.INI",
          "[DATA]\r\nNAME=BENCHL" + QByteArray(flowBody)
                                        .replace("SQL=N", "SQL=Y")
                                        .replace("NAME=BENCH\r\n[TARGET]",
                                                 "NAME=select * from BENCH where ID <= " +
                                                     QByteArray::number(SqliteSingleRows) + "\r\n[TARGET]"));
    for (const char* big : {"BIGT", "BIGB"})
        Write(dir + "/Files/" + big + ".INI",
              QByteArray("[DATA]\r\nNAME=") + big + "\r\nSQL=N\r\n[SOURCE]\r\nNAME=" + big +
                  "\r\n[TARGET]\r\nNAME=" + big + "_D\r\n[FIELDS]\r\nID=ID\r\nV=V\r\n");
    Write(dir + "/Files/KINDS.ini",
          "[DATA]\r\nNAME=KINDS\r\nTYPE=S\r\nDEFAULT=?\r\n[TRANSLATIONS]\r\nK0=zero\r\nK1=one\r\nK2=two\r\n");

    std::vector<int> sizes;
    for (int n : {10000, 100000, 1000000})
        if (n < maxRows && maxRows > 10000)
            sizes.push_back(n);
    sizes.push_back(maxRows);

    const char* self = "/proc/self/exe";
    char selfPath[4096] = {};
    const ssize_t len = readlink(self, selfPath, sizeof selfPath - 1);
    if (len <= 0)
        return 1;
    if (maxRows == 0) { // transfer_bench 0: only the large values
        RunLargeValues(selfPath, dir);
        sizes.clear();
    }
    for (int rows : sizes) {
        CreateTables(rows);
        // The machine's speed drifts between runs: each case runs in turn with the others, and every
        // figure is the median of the repeats (ratios the median of those of runs made side by side).
        const int repeats = Repeats(rows);
        std::vector<TRunTimes> scriptedRuns, directRuns, pgRuns, batchedDirect, batchedScripted, mariaRuns,
            mariaBatched, liteRuns, liteBatched;
        std::vector<double> bares, dumps, directRatios, dumpRatios, replays, batchedReplays, pgloaders;
        double peakA = 0, peakB = 0, peakC = 0;
        std::map<std::string, std::vector<double>> forms;
        for (int r = 0; r < repeats; ++r) {
            scriptedRuns.push_back(RunCase(selfPath, "a", rows, dir));
            directRuns.push_back(RunCase(selfPath, "b", rows, dir));
            bares.push_back(RunCase(selfPath, "bare", rows, dir).seconds);
            pgRuns.push_back(RunCase(selfPath, "c", rows, dir));
            batchedDirect.push_back(RunCase(selfPath, "d", rows, dir));
            batchedScripted.push_back(RunCase(selfPath, "e", rows, dir));
            mariaRuns.push_back(RunCase(selfPath, "f", rows, dir));
            mariaBatched.push_back(RunCase(selfPath, "g", rows, dir));
            liteRuns.push_back(RunCase(selfPath, "h", rows, dir));
            liteBatched.push_back(RunCase(selfPath, "i", rows, dir));
            for (const char* form : {"form-values-pg", "form-unnest-pg", "form-arrays-pg",
                                     "form-values-maria", "form-arrays-maria"})
                forms[form].push_back(RunCase(selfPath, form, rows, dir).seconds);
            replays.push_back(ReplayWithPsql(dir + "/export-a.sql", dir));
            batchedReplays.push_back(ReplayWithPsql(dir + "/export-e.sql", dir));
            double dump = 0;
            Spawn({"/usr/bin/sqlite3", (dir + "/bench.db").toStdString(), ".dump BENCH"}, dir + "/dump.sql",
                  dump);
            dumps.push_back(dump);
            double pgloader = 0;
            Spawn({"/usr/bin/pgloader", (dir + "/pgloader.load").toStdString()}, dir + "/pgloader.txt",
                  pgloader);
            pgloaders.push_back(pgloader);
            directRatios.push_back(directRuns.back().seconds / bares.back());
            dumpRatios.push_back(dump / scriptedRuns.back().seconds);
            peakA = std::max(peakA, scriptedRuns.back().peakMiB);
            peakB = std::max(peakB, directRuns.back().peakMiB);
            peakC = std::max(peakC, pgRuns.back().peakMiB);
        }
        const TRunTimes scriptedRun = MedianRun(scriptedRuns);
        const TRunTimes directRun = MedianRun(directRuns);
        const TRunTimes pgRun = MedianRun(pgRuns);
        const double scripted = scriptedRun.seconds;
        const double direct = directRun.seconds;
        const double bare = Median(bares);
        const double dump = Median(dumps);

        std::printf("rows: %d (statements in the export file: %lld)\n", rows,
                    static_cast<long long>(ExportedStatements(dir + "/export-a.sql").size()));
        if (repeats > 1)
            std::printf("    medians of %d runs of each case, taken in turn\n", repeats);
        std::printf("(a) SQLite -> export file, scripting mode: %9.0f rows/s\n", rows / scripted);
        std::printf("(b) SQLite -> PostgreSQL, direct mode:     %9.0f rows/s\n", rows / direct);
        std::printf("    bare ODBC loop, same statements:      %9.0f rows/s\n", rows / bare);
        std::printf("    direct run / bare loop time ratio:    %9.2f\n", Median(directRatios));
        const int tenth = std::max(1, rows / 10);
        std::printf("    rows/s in the first and the last tenth: (a) %.0f / %.0f, (b) %.0f / %.0f\n",
                    tenth / scriptedRun.firstTenth, tenth / scriptedRun.lastTenth,
                    tenth / directRun.firstTenth, tenth / directRun.lastTenth);
        std::printf("(c) PostgreSQL -> export file, scripting:  %9.0f rows/s\n", rows / pgRun.seconds);
        std::printf("    sqlite3 .dump of the same table:      %9.0f rows/s (whole process)\n", rows / dump);
        std::printf("    scripting run / .dump rows/s ratio:   %9.3f\n", Median(dumpRatios));
        const double batchedRun = MedianRun(batchedDirect).seconds;
        const double batchedExport = MedianRun(batchedScripted).seconds;
        std::printf("(d) (b) with 1000 rows an INSERT:          %9.0f rows/s (%.1f x (b))\n",
                    rows / batchedRun, direct / batchedRun);
        std::printf("(e) (a) with 1000 rows an INSERT:          %9.0f rows/s (%.3f x .dump)\n",
                    rows / batchedExport, dump / batchedExport);
        const double mariaRun = MedianRun(mariaRuns).seconds, mariaBatch = MedianRun(mariaBatched).seconds;
        std::printf(
            "(f) SQLite -> MariaDB, direct mode:        %9.0f rows/s; 1000 rows an INSERT: %.0f (%.1f x)\n",
            rows / mariaRun, rows / mariaBatch, mariaRun / mariaBatch);
        const double liteRate = SqliteSingleRows / MedianRun(liteRuns).seconds,
                     liteBatchRate = rows / MedianRun(liteBatched).seconds;
        std::printf("(g) SQLite -> SQLite, direct mode:         %9.0f rows/s (first %d rows); 1000 rows an "
                    "INSERT: %.0f (%.0f x)\n",
                    liteRate, SqliteSingleRows, liteBatchRate, liteBatchRate / liteRate);
        std::printf(
            "    bare ODBC, 1000 rows a statement, multi-row VALUES / unnested arrays / parameter arrays: "
            "PostgreSQL %.0f / %.0f / %.0f rows/s, MariaDB %.0f / - / %.0f rows/s\n",
            rows / Median(forms["form-values-pg"]), rows / Median(forms["form-unnest-pg"]),
            rows / Median(forms["form-arrays-pg"]), rows / Median(forms["form-values-maria"]),
            rows / Median(forms["form-arrays-maria"]));
        std::printf(
            "    pgloader, the same table into PostgreSQL: %7.0f rows/s (whole process; (d) is %.2f x)\n",
            rows / Median(pgloaders), Median(pgloaders) / batchedRun);
        std::printf("    psql replaying the export of (a), (e): %9.0f / %.0f rows/s (%.1f x)\n",
                    rows / Median(replays), rows / Median(batchedReplays),
                    Median(replays) / Median(batchedReplays));
        double peakD = 0;
        for (const TRunTimes& t : batchedDirect)
            peakD = std::max(peakD, t.peakMiB);
        std::printf("peak RSS MiB at %d rows: (a) %.1f, (b) %.1f, (c) %.1f, (d) %.1f\n", rows, peakA, peakB,
                    peakC, peakD);
        std::fflush(stdout);
    }
    if (maxRows > 0) {
        RunLargeValues(selfPath, dir);
        const TRunTimes order = RunCase(selfPath, "order", flowsToOrder, dir);
        std::printf("ordering %d flows chained in reverse: %.3f s\n", flowsToOrder, order.seconds);
    }
    if (!keep)
        Exec("BenchPg", {QString("drop schema if exists %1 cascade").arg(schema)});
    return 0;
}
