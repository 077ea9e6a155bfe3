#include <QAction>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLineEdit>
#include <QRegularExpression>
#include <QTest>
#include <QToolBar>
#include <csignal>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <pty.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include "app/Data.h"
#include "app/ui/Main.h"
#include "cli/Child.h"
#include "fixtures/ScriptedAnswerer.h"
#include "fixtures/TestEnv.h"
#include "platform/RunLock.h"
#include "support/DBgesloKELVO.h"

namespace {

QByteArray ReadAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// "NAME outcome" of each entry of a summary's "flows" or "notRun".
QStringList Entries(const QJsonValue& list, const char* field) {
    QStringList entries;
    for (const QJsonValue& entry : list.toArray())
        entries << entry["name"].toString() + " " + entry[field].toString();
    return entries;
}

// The demo's flows and databases in a temporary program directory, on the test's data sources XQ and
// DnsDest, which the child inherits through ODBCINI.
class KelvoRun : public ::testing::Test {
protected:
    void LayOut(bool scripting) {
        const QDir files(TestEnv::DemoDir() + "/Files");
        for (const QString& name : files.entryList(QDir::Files))
            dir.WriteFile("Files/" + name, ReadAll(files.filePath(name)));
        dir.WriteFile("TransferSettings.ini",
                      scripting ? "[GENERAL]\r\nSCRIPTING=Y\r\n" : "[GENERAL]\r\nSCRIPTING=N\r\n");
        for (const char* file : {"Transfer.log", "FailedData.sql", "export.sql"})
            QFile::remove(dir.FilePath(file));
        TestEnv::ResetSqlite("XQ");
        TestEnv::ResetSqlite("DnsDest");
        ExecOn("XQ", QString::fromUtf8(ReadAll(TestEnv::DemoDir() + "/source.sql")));
        ExecOn("DnsDest", QString::fromUtf8(ReadAll(TestEnv::DemoDir() + "/dest.sql")));
    }
    TChildResult Run(QStringList args,
                     const QProcessEnvironment& env = QProcessEnvironment::systemEnvironment(),
                     const std::function<void(QProcess&)>& whileRunning = {}) {
        return RunChild(KelvoRunExe(), QStringList{"--program-dir", dir.Path()} + args, env, whileRunning);
    }
    // What a run leaves: the export file, the destination's rows, Transfer.log without its times.
    QStringList Traces() {
        QStringList log = QString::fromUtf8(dir.ReadFile("Transfer.log")).split("\r\n", Qt::SkipEmptyParts);
        for (QString& line : log)
            line = line.left(line.indexOf(" Duration: ")).replace(RunStamp(), "Run ");
        return QStringList{QString::fromUtf8(dir.ReadFile("export.sql"))} +
               QueryRows("DBDest", "select * from KUPCI order by SIFRA") +
               QueryRows("DBDest", "select * from NAROCILA order by ST") + log +
               QStringList{QFile::exists(dir.FilePath("FailedData.sql")) ? "failed data" : "none failed"};
    }
    // The same flows started from the window's "Start transfer".
    QStringList WindowTraces(bool scripting) {
        LayOut(scripting);
        std::unique_ptr<TD> data;
        {
            TScriptedAnswerer login;
            if (!scripting)
                login.AnswerLogin(std::pair<QString, QString>("", ""));
            data = std::make_unique<TD>();
        }
        D = data.get();
        auto main = std::make_unique<TFMain>();
        FMain = main.get();
        main->show();
        {
            TScriptedAnswerer answers;
            if (scripting)
                answers.AnswerSave(dir.FilePath("export.sql"))
                    .AnswerLogin(std::pair<QString, QString>("", ""));
            QTest::keyClicks(main->Filter, "P-2024");
            QTest::mouseClick(main->findChild<QToolBar*>("ToolBar1")->widgetForAction(main->RunAll),
                              Qt::LeftButton);
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        }
        auto db = OpenTestDatabase("DnsDest", "DBDest");
        const QStringList traces = Traces();
        FMain = nullptr;
        main.reset();
        D = nullptr;
        return traces;
    }

    TTempProgramDir dir;
};

TEST_F(KelvoRun, GivesTheWindowsFilesAndRowsInBothModes) {
    for (bool scripting : {true, false}) {
        SCOPED_TRACE(scripting ? "scripting mode" : "direct mode");
        const QStringList window = WindowTraces(scripting);
        LayOut(scripting);
        const TChildResult run =
            Run(scripting ? QStringList{"--filter", "P-2024", "--export", dir.FilePath("export.sql")}
                          : QStringList{"--filter", "P-2024"});
        EXPECT_EQ(run.Status, 0) << run.Err.toStdString();
        auto db = OpenTestDatabase("DnsDest", "DBDest");
        EXPECT_EQ(Traces(), window);
        EXPECT_TRUE(window.contains("NAROCILA Transfered: 4 Failed: 0"));
        EXPECT_EQ(window.constFirst().count("Insert into"), scripting ? 9 : 0);
        EXPECT_TRUE(run.Out.contains(QRegularExpression("Total +9 +9 +0 "))) << run.Out.toStdString();
        EXPECT_TRUE(run.Err.contains("NAROCILA: read 4, copied 4, failed 0")) << run.Err.toStdString();
    }
}

TEST_F(KelvoRun, ExitStatusTellsHowTheRunEnded) {
    const QString noSources = dir.FilePath("none.ini");
    // The destination refuses the order 102, the second of contract P-2024.
    const char* refuse102 =
        "drop table NAROCILA; create table NAROCILA (ST integer primary key, KUPEC integer, "
        "ZNESEK numeric(12,2), DATUM date, STATUS varchar(12), POGODBA varchar(10), "
        "IZVOR integer check (IZVOR <> 102))";
    const QString exportFile = dir.FilePath("out/e.sql");
    struct TCase {
        const char* what;
        bool scripting;
        QStringList args;
        const char* setUp; // statements on the destination
        int status;
        const char* err;
    };
    // clang-format off
    const TCase cases[] = {
        {"every row copied", true, {"--filter", "P-2024", "--export", exportFile}, "", 0, "every row copied."},
        {"rows failed", false, {"--filter", "P-2024"}, refuse102, 1, "NAROCILA: read 4, copied 3, failed 1"},
        {"rows failed in batches", false, {"--filter", "P-2024", "--batch", "3"}, refuse102, 1, "NAROCILA: read 4, copied 3, failed 1"},
        {"stop on error", false, {"--filter", "P-2024", "--stop-on-error"}, refuse102, 1, "NAROCILA: stopped: read 2, copied 1, failed 1"},
        {"a dependency not run", false, {"--filter", "P-2024", "narocila"}, "", 1, "not run"},
        {"a script statement fails", false, {"--filter", "P-2024"}, "", 1, "script statements failed"},
        {"an error ends the run", false, {"--filter", "P-2024"}, "drop table NAROCILA", 3, "the run ended by an error"},
        // The row that found the export file full was read and kept, and is counted so.
        {"the export file is full", true, {"--filter", "P-2024", "--export", "/dev/full"}, "", 3, "KUPCI: error: read 1, copied 0, failed 1"},
        {"bad option", true, {"--filter", "x", "--nope"}, "", 2, "Unknown option 'nope'"},
        {"bad batch size", true, {"--filter", "x", "--batch", "0"}, "", 2, "--batch needs a whole number"},
        {"no filter", true, {"--export", "e.sql"}, "", 2, "Napaka filter za pogodbe je prazen."},
        {"empty filter", true, {"--filter", "", "--export", "e.sql"}, "", 2, "Napaka filter za pogodbe je prazen."},
        {"no export file in scripting mode", true, {"--filter", "P-2024"}, "", 2, "give --export FILE"},
        {"an unknown flow", true, {"--filter", "P-2024", "--export", "e.sql", "NOPE"}, "", 2, "No flow NOPE"},
        {"no Flows.ini", true, {"--filter", "P-2024", "--program-dir", dir.FilePath("Files")}, "", 2, "No flow index"},
        {"the connection fails", false, {"--filter", "P-2024"}, "", 2, "The ODBC data source DnsDest is not defined"},
        {"the source has no shadow table", true, {"--filter", "P-2024", "--export", exportFile}, "", 3, "Flow KUPCI: the table KUPCI could not be read in the source database (data source XQ). Scripting mode does not open the destination"},
    };
    // clang-format on
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.what);
        LayOut(c.scripting);
        if (*c.setUp)
            ExecOn("DnsDest", c.setUp);
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        if (QString(c.what) == "a script statement fails")
            dir.WriteFile("Files/KUPCI_dinit.txt", "delete from NO_SUCH_TABLE;\r\n");
        if (QString(c.what) == "the connection fails") {
            dir.WriteFile("none.ini", "");
            env.insert("ODBCINI", noSources);
        }
        if (QString(c.what) == "the source has no shadow table")
            ExecOn("XQ", "drop table KUPCI");
        const TChildResult run = Run(c.args, env);
        EXPECT_EQ(run.Status, c.status) << run.Err.toStdString();
        EXPECT_TRUE(run.Err.contains(c.err)) << run.Err.toStdString();
        EXPECT_TRUE(run.Err.indexOf(c.err) < run.Err.indexOf("No database connection.") ||
                    !run.Err.contains("No database connection."))
            << run.Err.toStdString();
        // An export file is announced only when the run wrote to it.
        const QRegularExpressionMatch announced =
            QRegularExpression("^Export file: (.*)$", QRegularExpression::MultilineOption).match(run.Out);
        EXPECT_TRUE(!announced.hasMatch() || QFileInfo(announced.captured(1)).size() > 0)
            << run.Out.toStdString();
        EXPECT_EQ(announced.hasMatch(), c.scripting && c.status < 2) << run.Out.toStdString();
        // A flow that started is told once, by its own line, never again as "not run".
        for (const char* flow : {"KUPCI", "NAROCILA"})
            EXPECT_LE(run.Out.count(
                          QRegularExpression(QString("^%1 ").arg(flow), QRegularExpression::MultilineOption)),
                      1)
                << flow << "\n"
                << run.Out.toStdString();
    }
}

// A file of the program directory that is no readable text file stops kelvo-run before it connects:
// its message names the file, the status is 2, nothing is written, and a pipe is never waited on.
TEST_F(KelvoRun, ABadFileOfTheProgramDirectoryStopsTheStart) {
    enum TKind { Binary, Folder, Pipe, Unreadable };
    const struct {
        const char* file;
        TKind kind;
        bool list;
    } cases[] = {
        {"Files/Flows.ini", Binary, false},
        {"Files/Flows.ini", Binary, true},
        {"Files/Flows.ini", Pipe, true},
        {"Files/Flows.ini", Unreadable, false},
        {"Files/KUPCI.INI", Pipe, false},
        {"Files/NAROCILA.INI", Folder, true},
        {"TransferSettings.ini", Unreadable, false},
        {"TransferSettings.ini", Folder, false},
        {"TransferSettings.ini", Pipe, false},
        {"Files/REGIJA.ini", Binary, false},
        {"KELVO.INI", Pipe, false},
        {"Login.ini", Folder, false},
        {"Files/KUPCI_dinit.txt", Binary, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.file) + " " + std::to_string(c.kind) + (c.list ? " --list" : ""));
        LayOut(true);
        const QString path = dir.FilePath(c.file);
        QFile::remove(path);
        if (c.kind == Binary)
            dir.WriteFile(c.file, QByteArray("\x7f"
                                             "ELF\0\0\x01[NAME]\r\n",
                                             13));
        if (c.kind == Folder)
            QDir().mkpath(path);
        if (c.kind == Pipe) {
            ASSERT_EQ(::mkfifo(QFile::encodeName(path).constData(), 0644), 0);
        }
        if (c.kind == Unreadable) {
            dir.WriteFile(c.file, "[GENERAL]\r\nSCRIPTING=N\r\n");
            // No read permission at all, which the program refuses also as root.
            QFile::setPermissions(path, QFile::WriteOwner);
        }
        const TChildResult run =
            Run(c.list ? QStringList{"--list"}
                       : QStringList{"--filter", "P-2024", "--export", dir.FilePath("export.sql")});
        EXPECT_EQ(run.Status, 2) << run.Err.toStdString();
        EXPECT_TRUE(run.Err.contains("\"" + path + "\"")) << run.Err.toStdString();
        EXPECT_FALSE(QFile::exists(dir.FilePath("export.sql")));
        EXPECT_FALSE(QFile::exists(dir.FilePath("Transfer.log")));
        QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner);
        QFile::remove(path); // a pipe left there would hold up the next lay-out
        QDir(path).removeRecursively();
    }
}

// A run holds the program directory for its whole length: a second one, from kelvo-run or the window,
// is refused and told who holds it; the text a dead holder left blocks nothing.
TEST_F(KelvoRun, OneRunAtATimePerProgramDirectory) {
    LayOut(true);
    const QStringList args{"--filter", "P-2024", "--export", dir.FilePath("export.sql")};
    {
        const TRunLock held(dir.Path());
        const QString holder = QString("process %1 (").arg(QCoreApplication::applicationPid());
        const TChildResult refused = Run(args);
        EXPECT_EQ(refused.Status, 2);
        EXPECT_TRUE(refused.Err.contains(holder) && refused.Err.contains(", started "))
            << refused.Err.toStdString();

        std::unique_ptr<TD> data = std::make_unique<TD>();
        D = data.get();
        TFMain main;
        FMain = &main;
        main.show();
        main.Filter->setText("P-2024");
        TScriptedAnswerer answers;
        answers.AnswerMessage(mrOk);
        main.RunAll->trigger();
        FMain = nullptr;
        D = nullptr;
        ASSERT_EQ(answers.Asked().size(), 1u);
        EXPECT_EQ(answers.Asked()[0].type, mtError);
        EXPECT_TRUE(answers.Asked()[0].text.contains(holder)) << answers.Asked()[0].text.toStdString();
        EXPECT_FALSE(QFile::exists(dir.FilePath("export.sql")));
        EXPECT_FALSE(QFile::exists(dir.FilePath("Transfer.log")));
    }
    dir.WriteFile("Transfer.lock", "process 999999 (kelvo-run), started 2020-01-01 00:00:00\n");
    EXPECT_EQ(Run(args).Status, 0);
}

// A line appended while another program converts the Windows-1250 Transfer.log to UTF-8 (under the
// file's lock, replacing the file) lands in the converted file instead of the replaced one.
TEST_F(KelvoRun, AnAppendWaitsForAConversionOfTheFile) {
    LayOut(true);
    dir.WriteFile("Transfer.log", "\xC8"
                                  "as 1250\r\n");
    const QString log = dir.FilePath("Transfer.log");
    const int held = ::open(QFile::encodeName(log).constData(), O_WRONLY | O_CLOEXEC);
    ASSERT_GE(held, 0);
    ASSERT_EQ(::flock(held, LOCK_EX), 0);
    const TChildResult run = Run({"--filter", "P-2024", "--export", dir.FilePath("export.sql")},
                                 QProcessEnvironment::systemEnvironment(), [&](QProcess& child) {
                                     // Converted once the child waits for the lock (/proc/locks shows it
                                     // waiting).
                                     const QRegularExpression waiting(
                                         QString("-> FLOCK +ADVISORY +WRITE +%1 ").arg(child.processId()));
                                     QElapsedTimer waited;
                                     waited.start();
                                     while (!QString::fromLatin1(ReadAll("/proc/locks")).contains(waiting) &&
                                            waited.elapsed() < 60000)
                                         child.waitForFinished(20);
                                     dir.WriteFile("Transfer.log.new", "\xC4\x8C"
                                                                       "as 1250\r\n");
                                     ::rename(QFile::encodeName(dir.FilePath("Transfer.log.new")).constData(),
                                              QFile::encodeName(log).constData());
                                     ::close(held);
                                 });
    EXPECT_EQ(run.Status, 0) << run.Err.toStdString();
    const QString text = QString::fromUtf8(dir.ReadFile("Transfer.log"));
    EXPECT_TRUE(text.contains(QRegularExpression("^\u010Cas 1250\r\nRun [^\r\n]*\r\nKUPCI Transfered: 5 ")))
        << text.toStdString();
    EXPECT_TRUE(text.endsWith("Run ended: Data transfer succeded.\r\n")) << text.toStdString();
}

// A run long enough to be interrupted: the demo's customers many times over.
TEST_F(KelvoRun, SignalsCancelTheRunAsTheWindowsCancelDoes) {
    for (int signal : {SIGINT, SIGTERM}) {
        SCOPED_TRACE(signal);
        LayOut(true);
        ExecOn("XQ", "insert into CUSTOMERS (ID, NAME, CITY) with recursive N(I) as (select 100 union all "
                     "select I + 1 from N where I < 300000) select I, 'Name ' || I, 'Ljubljana' from N");
        const TChildResult run =
            Run({"--filter", "P-2024", "--export", dir.FilePath("export.sql"), "--summary-json",
                 dir.FilePath("summary.json")},
                QProcessEnvironment::systemEnvironment(), [&](QProcess& child) {
                    QElapsedTimer waited;
                    waited.start();
                    while (dir.ReadFile("export.sql").count("Insert into") < 10 && waited.elapsed() < 60000)
                        child.waitForFinished(20);
                    ::kill(pid_t(child.processId()), signal);
                });
        EXPECT_EQ(run.Status, 128 + signal) << run.Err.toStdString();
        const QString log = QString::fromUtf8(dir.ReadFile("Transfer.log"));
        EXPECT_TRUE(log.contains(QRegularExpression("^Run [^\r\n]* Filter: P-2024 Export file: [^\r\n]*\r\n"
                                                    "KUPCI User canceled. Transfered: \\d+ Failed: 0 .*\r\n"
                                                    "Run ended: Data transfer cancelled by the user.\r\n$")))
            << log.toStdString();
        EXPECT_FALSE(log.contains("NAROCILA"));
        // Every statement written is whole: the file ends with a statement's separator.
        EXPECT_TRUE(dir.ReadFile("export.sql").endsWith(";\r\n\r\n"));
        EXPECT_TRUE(run.Out.contains(QRegularExpression("KUPCI .* canceled"))) << run.Out.toStdString();
        const QJsonObject summary = QJsonDocument::fromJson(dir.ReadFile("summary.json")).object();
        EXPECT_EQ(summary["exitStatus"].toInt(), 128 + signal);
        EXPECT_EQ(Entries(summary["flows"], "outcome"), QStringList{"KUPCI cancelled"});
        EXPECT_EQ(Entries(summary["notRun"], "reason"),
                  QStringList{"NAROCILA the run was cancelled before it"});
    }
}

// The summary file tells how every run ended, also one refused at its start or ended by an error.
TEST_F(KelvoRun, SummaryJsonTellsHowTheRunEnded) {
    struct TCase {
        const char* what;
        QStringList flows;
        int status;
        const char* outcome;
        QStringList flowOutcomes;
        QStringList notRun;
    };
    // clang-format off
    const TCase cases[] = {
        {"every row copied", {}, 0, "completed", {"KUPCI completed", "NAROCILA completed"}, {}},
        {"an unknown flow", {"KUPCI", "NOPE"}, 2, "error", {}, {"KUPCI the run did not start", "NOPE the run did not start"}},
        {"a bad flow", {}, 3, "error", {"KUPCI completed", "NAROCILA error"}, {}},
    };
    // clang-format on
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.what);
        LayOut(true);
        if (QString(c.what) == "a bad flow")
            dir.WriteFile("Files/NAROCILA.INI",
                          dir.ReadFile("Files/NAROCILA.INI").replace("=CUSTOMER_ID", "=NO_COLUMN"));
        const QString file = dir.FilePath("out.json");
        const TChildResult run = Run(QStringList{"--quiet", "--filter", "P-2024", "--export",
                                                 dir.FilePath("export.sql"), "--summary-json", file} +
                                     c.flows);
        EXPECT_EQ(run.Status, c.status) << run.Err.toStdString();
        // Quiet: a clean run says nothing on stderr, yet its table still goes to stdout.
        EXPECT_EQ(run.Err.isEmpty(), c.status == 0) << run.Err.toStdString();
        EXPECT_TRUE(run.Out.contains("Total") || c.status == 2) << run.Out.toStdString();
        QJsonParseError error;
        const QJsonObject summary = QJsonDocument::fromJson(dir.ReadFile("out.json"), &error).object();
        ASSERT_EQ(error.error, QJsonParseError::NoError) << dir.ReadFile("out.json").toStdString();
        EXPECT_EQ(summary["outcome"].toString(), c.outcome);
        EXPECT_EQ(summary["exitStatus"].toInt(), c.status);
        EXPECT_EQ(Entries(summary["flows"], "outcome"), c.flowOutcomes);
        EXPECT_EQ(Entries(summary["notRun"], "reason"), c.notRun);
        EXPECT_EQ(summary.contains("message"), c.status != 0);
        const QDateTime start = QDateTime::fromString(summary["start"].toString(), Qt::ISODateWithMs);
        EXPECT_TRUE(start.isValid() && start.timeSpec() == Qt::UTC)
            << summary["start"].toString().toStdString();
        EXPECT_LE(start, QDateTime::fromString(summary["end"].toString(), Qt::ISODateWithMs));
        for (const QJsonValue& flow : summary["flows"].toArray()) {
            EXPECT_LE(start, QDateTime::fromString(flow["start"].toString(), Qt::ISODateWithMs));
            EXPECT_EQ(flow["read"].toInt() - flow["failed"].toInt(), flow["copied"].toInt());
        }
        if (c.status == 0) {
            EXPECT_EQ(summary["flows"][0]["read"].toInt(), 5);
        }
    }
}

// --check connects and tells per flow whether it can run, writing nothing and running no script.
TEST_F(KelvoRun, CheckTellsWhichFlowsCanRunAndTouchesNoData) {
    struct TCase {
        const char* what;
        bool scripting;
        const char* from; // in NAROCILA.INI
        const char* to;
        QStringList flows;
        int status;
        const char* out;
    };
    // clang-format off
    const TCase cases[] = {
        {"every flow can run", false, "", "", {}, 0, "KUPCI: ok\nNAROCILA: ok\n"},
        {"in scripting mode too", true, "", "", {}, 0, "KUPCI: ok\nNAROCILA: ok\n"},
        {"a missing source column", false, "=CUSTOMER_ID", "=NO_COLUMN", {}, 1, "NAROCILA: Flow NAROCILA: the destination column KUPEC is mapped to NO_COLUMN, which is not a column of the source."},
        {"a missing translation file", true, "STATUS=STATUSI", "STATUS=NONE", {}, 1, "NAROCILA: the translation file "},
        {"a dependency left out", false, "", "", {"NAROCILA"}, 1, "NAROCILA: it depends on KUPCI, which this run does not include."},
        {"an unknown flow", false, "", "", {"NOPE"}, 2, ""},
    };
    // clang-format on
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.what);
        LayOut(c.scripting);
        ExecOn("DnsDest", "insert into KUPCI (SIFRA, NAZIV) values (1, 'kept')");
        if (*c.from)
            dir.WriteFile("Files/NAROCILA.INI", dir.ReadFile("Files/NAROCILA.INI").replace(c.from, c.to));
        const TChildResult run = Run(
            QStringList{"--check", "--filter", "P-2024", "--export", dir.FilePath("export.sql")} + c.flows);
        EXPECT_EQ(run.Status, c.status) << run.Err.toStdString();
        EXPECT_TRUE(run.Out.contains(c.out)) << run.Out.toStdString();
        if (c.status == 0) {
            EXPECT_TRUE(run.Err.isEmpty()) << run.Err.toStdString();
        }
        // KUPCI_dinit.txt would have emptied the table.
        auto db = OpenTestDatabase("DnsDest", "DBDest");
        EXPECT_EQ(QueryRows("DBDest", "select count(*) from KUPCI"), QStringList{"1"});
        EXPECT_FALSE(QFile::exists(dir.FilePath("export.sql")));
        EXPECT_FALSE(QFile::exists(dir.FilePath("Transfer.log")));
    }
}

// --set-source-login stores the login the run then connects with: the password from standard input,
// never the command line; a bad value is refused and the file stays as it was.
TEST_F(KelvoRun, SetSourceLoginTakesThePasswordFromStandardInput) {
    const auto store = [&](const QStringList& args, const QByteArray& input) {
        return Run(QStringList{"--set-source-login"} + args, QProcessEnvironment::systemEnvironment(),
                   [&](QProcess& child) {
                       child.write(input);
                       child.closeWriteChannel();
                   });
    };
    const struct {
        QStringList args;
        QByteArray input;
        int status;
        QStringList login; // as read back
    } cases[] = {
        {{"operater"}, "skrivno\r\n", 0, {"", "operater", "skrivno", ""}},
        {{QString::fromUtf8("Šef")},
         QByteArray("geslo-\xC4\x8D"),
         0,
         {"", QString::fromUtf8("Šef"), QString::fromUtf8("geslo-č"), ""}},
        {{"operater"}, "", 2, {"", QString::fromUtf8("Šef"), QString::fromUtf8("geslo-č"), ""}},
        {{}, "skrivno\n", 2, {"", QString::fromUtf8("Šef"), QString::fromUtf8("geslo-č"), ""}},
        {{"operater"},
         QByteArray(31, 'x') + "\n",
         2,
         {"", QString::fromUtf8("Šef"), QString::fromUtf8("geslo-č"), ""}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args.join(' ').toStdString() + " < " + c.input.toStdString());
        const TChildResult run = store(c.args, c.input);
        EXPECT_EQ(run.Status, c.status) << run.Err.toStdString();
        EXPECT_EQ(run.Err.isEmpty(), c.status == 0) << run.Err.toStdString();
        QStringList login = {"?", "?", "?", "?"};
        ReadLoginSettings(login[0], login[1], login[2], login[3]);
        EXPECT_EQ(login, c.login);
    }
    EXPECT_EQ(Run({"--set-source-login", "--filter", "x"}).Status, 2);
}

// An operator who presses Ctrl-C (or whose terminal closes) at the password keeps a terminal that shows
// what is typed, and nothing is stored.
TEST_F(KelvoRun, ASignalAtThePasswordPromptLeavesTheTerminalEchoing) {
    for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
        SCOPED_TRACE(signal);
        int master = -1, terminal = -1;
        ASSERT_EQ(openpty(&master, &terminal, nullptr, nullptr, nullptr), 0);
        const QByteArray exe = QFile::encodeName(KelvoRunExe()), programDir = QFile::encodeName(dir.Path());
        const pid_t child = fork();
        if (child == 0) {
            sigset_t none;
            sigemptyset(&none);
            sigprocmask(SIG_SETMASK, &none, nullptr);
            for (const int s : {SIGINT, SIGTERM, SIGHUP})
                std::signal(s, SIG_DFL);
            setsid();
            dup2(terminal, 0);
            dup2(terminal, 1);
            dup2(terminal, 2);
            execl(exe.constData(), exe.constData(), "--program-dir", programDir.constData(),
                  "--set-source-login", "operater", nullptr);
            _exit(127);
        }
        QByteArray shown;
        QElapsedTimer waited;
        waited.start();
        while (!shown.contains("Source password: ") && waited.elapsed() < 20000) {
            pollfd ready{master, POLLIN, 0};
            char buffer[256];
            if (poll(&ready, 1, 100) > 0) {
                const ssize_t n = read(master, buffer, sizeof buffer);
                if (n > 0)
                    shown.append(buffer, n);
            }
        }
        ASSERT_TRUE(shown.contains("Source password: ")) << shown.toStdString();
        termios asking{};
        for (waited.start(); waited.elapsed() < 20000; QTest::qWait(5)) {
            tcgetattr(terminal, &asking);
            if (!(asking.c_lflag & ECHO))
                break; // the password is being asked for
        }
        ASSERT_FALSE(asking.c_lflag & ECHO);
        write(master, "skriv", 5);
        kill(child, signal);
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == signal) << status;
        termios after{};
        tcgetattr(terminal, &after);
        EXPECT_TRUE(after.c_lflag & ECHO);
        close(master);
        close(terminal);
        QString a = "?", user = "?", password = "?", b = "?";
        ReadLoginSettings(a, user, password, b);
        EXPECT_NE(user, "operater");
    }
}

TEST_F(KelvoRun, RunsWithNoDisplayAndLinksNoGuiLibrary) {
    LayOut(true);
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM", "XAUTHORITY"})
        env.remove(name);
    const TChildResult run = Run({"--filter", "P-2024", "--export", dir.FilePath("export.sql")}, env);
    EXPECT_EQ(run.Status, 0) << run.Err.toStdString();
    EXPECT_EQ(dir.ReadFile("export.sql").count("Insert into"), 9);
    const TChildResult ldd = RunChild("ldd", {KelvoRunExe()});
    EXPECT_TRUE(ldd.Out.contains("libQt6Core")) << ldd.Out.toStdString();
    EXPECT_FALSE(ldd.Out.contains(QRegularExpression("libQt6(Gui|Widgets)|libX11|libxcb")))
        << ldd.Out.toStdString();
}

TEST_F(KelvoRun, ListsFlowsTranslationsAndConstants) {
    LayOut(true);
    // Every dependency, as the run orders by them, even past the key lists' usual byte budget.
    QByteArray flow = dir.ReadFile("Files/NAROCILA.INI");
    for (int i = 0; i < 3000; ++i)
        flow += QString("D%1=D%1\r\n").arg(i, 4, 10, QChar('0')).toUtf8();
    dir.WriteFile("Files/NAROCILA.INI", flow);
    const TChildResult list = Run({"--list"});
    EXPECT_EQ(list.Status, 0);
    for (const char* line : {"KUPCI  CUSTOMERS -> KUPCI", "-> NAROCILA  (after KUPCI, D0000, ",
                             ", D2998, D2999)", "REGIJA  (REGIJA.ini)", "STATUSI", "VIR=Kelvo demo"})
        EXPECT_TRUE(list.Out.contains(line)) << line << "\n" << list.Out.toStdString();
    EXPECT_EQ(Run({"--list", "--filter", "x"}).Status, 2);
}

} // namespace
