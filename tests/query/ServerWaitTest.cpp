#include <gtest/gtest.h>

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

} // namespace
