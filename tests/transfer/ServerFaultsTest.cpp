#include <QCoreApplication>
#include <QFile>
#include <QPointer>
#include <QPushButton>
#include <QRegularExpression>
#include <QTimer>
#include <gtest/gtest.h>
#include <set>
#include <thread>

#include "fixtures/OwnPostgres.h"
#include "fixtures/ScriptedAnswerer.h"
#include "fixtures/TestEnv.h"
#include "query/Database.h"
#include "query/ServerWait.h"
#include "transfer/ui/Transfer.h"

namespace {

constexpr int rowCount = 8;
constexpr int faultRow = 3;

// A flow of rowCount rows from SQLite into a PostgreSQL server of the test's own, which the test stops,
// restarts or pauses while the run inserts row faultRow.
class ServerFaults : public ::testing::Test {
public:
    void SetUp() override {
        ASSERT_TRUE(pg.Running());
        SetTimeLimits({1, 1});
        TestEnv::ResetSqlite("KelvoLite");
        ExecOn("KelvoLite", "create table SRC (ID integer)");
        for (int i = 1; i <= rowCount; ++i)
            ExecOn("KelvoLite", QString("insert into SRC values (%1)").arg(i));
        ExecOn(TOwnPostgres::Dsn(), "create table SRC_D (ID integer)");
        source = OpenTestDatabase("KelvoLite", "DBSource");
        dest = OpenTestDatabase(TOwnPostgres::Dsn(), "DBDest");
        dir.WriteFile("Files/F.INI", "[DATA]\r\nNAME=F\r\n[SOURCE]\r\nNAME=SRC\r\n[TARGET]\r\nNAME=SRC_D\r\n"
                                     "[FIELDS]\r\nID=ID\r\n");
    }
    void TearDown() override { SetTimeLimits(TTimeLimits{}); }

    // Runs flow F through a real progress window; fault acts while row faultRow is inserted. Returns the
    // message of the error that ended the run, empty when it ended by itself.
    // atStart: fault acts when the run starts instead.
    QString Run(std::function<void(TFTransfer&)> fault, bool atStart = false) {
        TRunSettings settings;
        settings.BatchRows = batchRows;
        settings.ContractFilter = [] { return QString("1"); };
        TRunOptions options;
        options.StopOnError = [this] { return stopOnError; };
        auto* window = new TFTransfer(settings, options);
        int row = 0;
        window->QT().OnSend = [&, window](TLangQuery*) {
            if (++row == faultRow)
                fault(*window);
        };
        QPointer<TFTransfer> guard(window);
        if (atStart)
            fault(*window);
        QString error;
        try {
            window->RunTransfer({"F"});
        } catch (const EKelvoError& e) {
            error = e.Message();
        }
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        EXPECT_TRUE(guard.isNull()) << "the run releases its window";
        return error;
    }
    int BackendPid() { return QueryRows("DBDest", "select pg_backend_pid()").value(0).toInt(); }
    std::set<int> Ids(const QStringList& values) {
        std::set<int> ids;
        for (const QString& v : values)
            ids.insert(v.toInt());
        return ids;
    }
    std::set<int> Failed() {
        QStringList ids;
        static const QRegularExpression value(R"(values\s*\((\d+)\))");
        for (auto it = value.globalMatch(QString::fromUtf8(dir.ReadFile("FailedData.sql"))); it.hasNext();)
            ids << it.next().captured(1);
        return Ids(ids);
    }
    // Every row read is in the destination or in FailedData.sql; returns the rows in the destination.
    std::set<int> CheckEveryReadRowKept(int rowsRead) {
        auto check = OpenTestDatabase(TOwnPostgres::Dsn(), "KelvoCheck");
        const std::set<int> copied = Ids(QueryRows("KelvoCheck", "select ID from SRC_D"));
        std::set<int> kept = Failed();
        kept.insert(copied.begin(), copied.end());
        std::set<int> read;
        for (int i = 1; i <= rowsRead; ++i)
            read.insert(i);
        EXPECT_EQ(kept, read);
        return copied;
    }
    QStringList LogLines() const {
        QStringList lines = QString::fromUtf8(dir.ReadFile("Transfer.log")).split("\r\n", Qt::SkipEmptyParts);
        for (QString& l : lines)
            l = l.left(l.indexOf(" Duration: ")).replace(RunStamp(), "Run ");
        return lines;
    }

    TOwnPostgres pg;
    TTempProgramDir dir;
    std::unique_ptr<TDatabase> source, dest;
    bool stopOnError = false;
    int batchRows = 1;
};

TEST_F(ServerFaults, ServerRestartedMidRunIsReopenedAndTheRunGoesOn) {
    SetTimeLimits({1, 10});
    // The fault comes as statement faultRow is sent: in batches of two, rows 5 and 6. The rows composed
    // while that statement ran wait for the new connection.
    const struct {
        int batchRows;
        std::set<int> failed;
        QString counts;
    } cases[] = {
        {1, {faultRow}, "F Transfered: 7 Failed: 1|1 of 8"},
        {2, {5, 6}, "F Transfered: 6 Failed: 2|2 of 8"},
    };
    // Up at once, and back only after the first tries to reconnect have met a closed port.
    for (const auto& c : cases)
        for (const int downMs : {0, 1500}) {
            SCOPED_TRACE(QString("batch %1, down %2 ms").arg(c.batchRows).arg(downMs).toStdString());
            batchRows = c.batchRows;
            QFile::remove(dir.FilePath("Transfer.log"));
            QFile::remove(dir.FilePath("FailedData.sql"));
            ExecOn(TOwnPostgres::Dsn(), "delete from SRC_D");
            std::thread restart;
            EXPECT_EQ(Run([&](TFTransfer&) {
                          pg.Stop();
                          restart = std::thread([&] {
                              std::this_thread::sleep_for(std::chrono::milliseconds(downMs));
                              pg.Start();
                          });
                          if (downMs == 0)
                              restart.join();
                      }),
                      "");
            if (restart.joinable())
                restart.join();
            EXPECT_EQ(Failed(), c.failed); // the statement that met the broken connection
            EXPECT_EQ(CheckEveryReadRowKept(rowCount).size(), rowCount - c.failed.size());
            const QStringList counts = c.counts.split('|');
            EXPECT_EQ(LogLines(), (QStringList{"Run Filter: 1 Export file: none", counts[0],
                                               "Run ended: Data transfer ended with errors. " + counts[1] +
                                                   " rows failed, see FailedData.sql."}));
        }
    batchRows = 1;
}

TEST_F(ServerFaults, ServerStoppedForGoodEndsTheRunNamingFlowAndRow) {
    const QString error = Run([this](TFTransfer&) { pg.Stop(); });
    EXPECT_TRUE(
        error.startsWith("Flow F ended at row 3: the connection to database DBDest was lost and could "
                         "not be reopened.\n"))
        << error.toStdString();
    pg.Start();
    EXPECT_EQ(Failed(), std::set<int>{faultRow}); // the rows not read are not counted as failed
    EXPECT_EQ(CheckEveryReadRowKept(faultRow).size(), size_t(faultRow - 1));
}

TEST_F(ServerFaults, PausedServerEndsTheStatementAfterTheLimitAndTheRunGoesOn) {
    const int pid = BackendPid();
    stopOnError = true;
    TScriptedAnswerer answers;
    QString asked;
    answers.AnswerMessageWith([&](const TScriptedAnswerer::TAsked& a) {
        asked = a.text;
        return int(mrYes);
    });
    EXPECT_EQ(Run([&](TFTransfer&) { pg.Pause(pid); }), "");
    EXPECT_TRUE(asked.contains("The server did not answer within 1 seconds (QUERY_TIMEOUT in "
                               "TransferSettings.ini); the statement was cancelled."))
        << asked.toStdString();
    pg.Resume(pid); // the paused statement may still end in the destination: it is kept either way
    EXPECT_TRUE(Failed().count(faultRow));
    CheckEveryReadRowKept(rowCount);
}

// A server frozen whole (postmaster too) takes no cancel: the cancel itself would wait on it. The
// statement still ends after its limit, its connection is given up, and the run ends naming the row.
TEST_F(ServerFaults, FrozenServerEndsTheStatementAndTheRun) {
    const int pid = BackendPid();
    const auto start = std::chrono::steady_clock::now();
    const QString error = Run([&](TFTransfer&) {
        pg.Pause(pid);
        pg.Pause();
    });
    // Bounded, not timed: before, the run waited on the cancel for good.
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(20));
    pg.Resume();
    pg.Resume(pid);
    EXPECT_TRUE(
        error.startsWith("Flow F ended at row 3: the connection to database DBDest was lost and could "
                         "not be reopened.\n"))
        << error.toStdString();
    EXPECT_EQ(Failed(), std::set<int>{faultRow});
}

// Whatever statement waits when the operator cancels, the run ends as cancelled: no error, no question,
// nothing inserted with an empty value, the row in flight neither copied nor failed.
TEST_F(ServerFaults, CancelWhileAnyStatementWaitsEndsTheRunAsCancelled) {
    SetTimeLimits({1, 0}); // no statement limit: only Cancel can end the wait
    ExecOn(TOwnPostgres::Dsn(), "create table LOCKED (ID integer); create table SRC_PG (ID integer); "
                                "insert into SRC_PG values (1)");
    const QString canceled = "Run ended: Data transfer cancelled by the user.";
    const struct {
        const char* waits;
        QString source;  // a table, or a statement
        QString trans;   // [TRANS] lines
        QString script;  // F_dinit.txt
        QString locked;  // the table another connection holds locked
        bool pgSource;   // the source is the paused server too
        int fromRow;     // the row whose insert pauses the server (0: none)
        QStringList log; // Transfer.log without the run's first line and durations
    } cases[] = {
        {"count",
         "LOCKED",
         "",
         "",
         "LOCKED",
         true,
         0,
         {"F User canceled. Transfered: 0 Failed: 0", canceled}},
        {"source read",
         "select ID, pg_sleep(30) as S from SRC_PG",
         "",
         "",
         "",
         true,
         0,
         {"F User canceled. Transfered: 0 Failed: 0", canceled}},
        {"catalogue",
         "SRC",
         "",
         "",
         "SRC_D",
         false,
         0,
         {"F User canceled. Transfered: 0 Failed: 0", canceled}},
        {"script",
         "SRC",
         "",
         "delete from LOCKED;\r\n",
         "LOCKED",
         false,
         0,
         {"F User canceled. Transfered: 0 Failed: 0", canceled}},
        {"lookup",
         "SRC",
         "ID=REF\r\n",
         "",
         "LOCKED",
         false,
         0,
         {"F User canceled. Transfered: 0 Failed: 0",
          canceled +
              " Record 1 of flow F was not copied: the run was cancelled while its statement waited."}},
        {"insert",
         "SRC",
         "",
         "",
         "",
         false,
         faultRow,
         {"F User canceled. Transfered: 2 Failed: 0",
          canceled +
              " Record 3 of flow F was not copied: the run was cancelled while its statement waited."}},
    };
    dir.WriteFile("Files/REF.ini", "[DATA]\r\nTYPE=R\r\n[TRANSLATIONS]\r\nV=select ID from LOCKED\r\n");
    for (const auto& c : cases) {
        SCOPED_TRACE(c.waits);
        ExecOn(TOwnPostgres::Dsn(), "delete from SRC_D");
        for (const char* file :
             {"Transfer.log", "FailedData.sql", "Files/F_dinit.txt", "Files/F_dinit.txt.log"})
            QFile::remove(dir.FilePath(file));
        const bool sql = c.source.startsWith("select");
        dir.WriteFile("Files/F.INI",
                      QString("[DATA]\r\nNAME=F\r\nSQL=%1\r\n[SOURCE]\r\nNAME=%2\r\n[TARGET]\r\n"
                              "NAME=SRC_D\r\n[FIELDS]\r\nID=ID\r\n[TRANS]\r\n%3")
                          .arg(sql ? "Y" : "N", c.source, c.trans)
                          .toUtf8());
        if (!c.script.isEmpty())
            dir.WriteFile("Files/F_dinit.txt", c.script.toUtf8());
        source.reset();
        source = OpenTestDatabase(c.pgSource ? TOwnPostgres::Dsn() : "KelvoLite", "DBSource");
        std::unique_ptr<TDatabase> locker;
        if (!c.locked.isEmpty()) {
            locker = OpenTestDatabase(TOwnPostgres::Dsn(), "Locker");
            locker->ExecDirect("begin");
            locker->ExecDirect("lock table " + c.locked + " in access exclusive mode");
        }
        const int pid = BackendPid();
        TScriptedAnswerer strict; // a question or message would fail the test
        EXPECT_EQ(Run(
                      [&](TFTransfer& window) {
                          if (c.fromRow)
                              pg.Pause(pid);
                          QTimer::singleShot(300, &window, [&window] {
                              window.findChild<QPushButton*>("BitBtn1")->click();
                          });
                      },
                      c.fromRow == 0),
                  "");
        pg.Resume(pid);
        locker.reset();
        QStringList log = LogLines();
        log.removeFirst();
        EXPECT_EQ(log, c.log);
        EXPECT_EQ(dir.ReadFile("FailedData.sql"), "");
        if (!c.script.isEmpty()) {
            EXPECT_TRUE(dir.ReadFile("Files/F_dinit.txt.log").contains("Canceled by the user"));
        }
        const QStringList copied = QueryRows("DBDest", "select ID from SRC_D order by ID");
        EXPECT_TRUE(copied.isEmpty() || c.fromRow) << copied.join(",").toStdString();
    }
}

} // namespace
