#include <QFile>
#include <arpa/inet.h>
#include <chrono>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include "fixtures/OwnPostgres.h"
#include "fixtures/TestEnv.h"
#include "query/Database.h"
#include "query/ServerWait.h"

namespace {

// Restores the default limits after a test changed them.
struct TLimitsScope {
    explicit TLimitsScope(TTimeLimits limits) { SetTimeLimits(limits); }
    ~TLimitsScope() { SetTimeLimits(TTimeLimits{}); }
};

// The error a statement ends with (empty when it ran).
QString ErrorOf(TDatabase& db, const QString& statement) {
    try {
        db.ExecDirect(statement);
    } catch (const EDatabaseError& error) {
        return error.Message();
    }
    return {};
}

TEST(ServerWait, TimeLimitSettings) {
    TTempProgramDir dir;
    const struct {
        const char* ini;
        int login, statement;
        const char* problem; // part of the message, empty for none
    } cases[] = {
        {"", 30, 600, ""},
        {"[GENERAL]\r\nLOGIN_TIMEOUT=5\r\nQUERY_TIMEOUT=0\r\n", 5, 0, ""},
        {"[GENERAL]\r\nLOGIN_TIMEOUT=soon\r\nQUERY_TIMEOUT=-1\r\n", 30, 600,
         "LOGIN_TIMEOUT=soon is not a whole number of seconds (0 for no limit); the limit stays 30 seconds."
         "\nTransferSettings.ini: QUERY_TIMEOUT=-1"},
    };
    for (const auto& c : cases) {
        dir.WriteFile("TransferSettings.ini", c.ini);
        const QString problems = ReadTimeLimits(dir.FilePath("TransferSettings.ini"));
        EXPECT_EQ(TimeLimits().LoginSeconds, c.login) << c.ini;
        EXPECT_EQ(TimeLimits().StatementSeconds, c.statement) << c.ini;
        EXPECT_EQ(problems.isEmpty(), !*c.problem) << problems.toStdString();
        EXPECT_TRUE(problems.contains(c.problem)) << problems.toStdString();
    }
    SetTimeLimits(TTimeLimits{});
}

TEST(ServerWait, SlowBusyPausedAndSilentServers) {
    TOwnPostgres pg;
    ASSERT_TRUE(pg.Running());
    const TLimitsScope limits({1, 1});
    auto db = OpenTestDatabase(TOwnPostgres::Dsn(), "KelvoOwn");

    // A live server honours the cancel at the limit: the connection stays usable.
    const QString slow = ErrorOf(*db, "select pg_sleep(30)");
    EXPECT_TRUE(slow.contains("did not answer within 1 seconds (QUERY_TIMEOUT")) << slow.toStdString();
    EXPECT_FALSE(db->Lost());
    EXPECT_EQ(ErrorOf(*db, "select 1"), "");

    // A paused backend ignores the cancel: its connection is cut, and the next statement reopens it.
    const QStringList pid = QueryRows("KelvoOwn", "select pg_backend_pid()");
    ASSERT_EQ(pid.size(), 1);
    pg.Pause(pid[0].toInt());
    const QString paused = ErrorOf(*db, "select 1");
    EXPECT_TRUE(paused.contains("did not react to the cancel either")) << paused.toStdString();
    EXPECT_TRUE(db->Lost());
    pg.Resume(pid[0].toInt());
    EXPECT_EQ(ErrorOf(*db, "select 1"), "");
    EXPECT_FALSE(db->Lost());

    // A silent server at login.
    pg.Pause();
    auto silent = std::make_unique<TDatabase>();
    silent->DatabaseName = "KelvoSilent";
    silent->AliasName = TOwnPostgres::Dsn();
    try {
        silent->Open();
        ADD_FAILURE() << "the login to a paused server ended without an error";
    } catch (const EDatabaseError& error) {
        EXPECT_TRUE(error.Message().contains("did not answer the login within 1 seconds (LOGIN_TIMEOUT"))
            << error.what();
    }
    pg.Resume();
}

// A listener on a loopback port that the kernel completes connections for and that never answers: a
// login waits for a greeting that does not come.
TEST(ServerWait, ALoginToAServerThatNeverAnswersEndsAtItsLimit) {
    const int listener = socket(AF_INET, SOCK_STREAM, 0);
    ASSERT_GE(listener, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    ASSERT_EQ(bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ASSERT_EQ(listen(listener, 8), 0);
    ASSERT_EQ(getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length), 0);
    const int port = ntohs(address.sin_port);
    QFile ini(qEnvironmentVariable("ODBCINI"));
    ASSERT_TRUE(ini.open(QIODevice::Append));
    ini.write(
        QString("\n[KelvoSilentPg]\nDriver=PostgreSQL Unicode\nServername=127.0.0.1\nPort=%1\nDatabase=x\n"
                "\n[KelvoSilentMaria]\nDriver=MariaDB Unicode\nServer=127.0.0.1\nPort=%1\nDatabase=x\n"
                "User=x\n")
            .arg(port)
            .toUtf8());
    ini.close();
    const TLimitsScope limits({2, 2});
    for (const char* dsn : {"KelvoSilentPg", "KelvoSilentMaria"}) {
        TDatabase silent;
        silent.DatabaseName = "KelvoSilent";
        silent.AliasName = dsn;
        const auto start = std::chrono::steady_clock::now();
        try {
            silent.Open();
            ADD_FAILURE() << dsn << ": the login to a silent server ended without an error";
        } catch (const EDatabaseError& error) {
            EXPECT_TRUE(error.Message().contains(
                QString("(data source %1) did not answer the login within 2 seconds (LOGIN_TIMEOUT")
                    .arg(dsn)))
                << error.what();
        }
        // Bounded, not timed: without an end of its own the wait would last until the test's timeout.
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2 + 5)) << dsn;
    }
    close(listener);
}

} // namespace
