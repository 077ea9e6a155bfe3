#include <QDir>
#include <QFile>
#include <functional>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <utime.h>

#include "fixtures/TestEnv.h"
#include "platform/PathWatch.h"

namespace {

// What happens to a file (or the folders on its way) while a ticket on it is held, and whether each
// kind of ticket must notice.
TEST(PathWatch, TicketsNoticeWhatAStatWouldAndNothingElse) {
    struct TCase {
        const char* what;
        std::function<void(const QString& dir)> act;
        bool identitySpoiled;
        bool contentSpoiled;
    };
    auto write = [](const QString& path, const QByteArray& text, QIODevice::OpenMode mode) {
        QFile f(path);
        ASSERT_TRUE(f.open(mode));
        f.write(text);
    };
    const std::vector<TCase> cases = {
        {"nothing", [](const QString&) {}, false, false},
        {"appended to", [&](const QString& d) { write(d + "Log/Query.log", "more", QIODevice::Append); },
         false, true},
        {"touched",
         [](const QString& d) { utime(QFile::encodeName(d + "Log/Query.log").constData(), nullptr); }, false,
         true},
        {"a sibling created",
         [&](const QString& d) { write(d + "Log/Other.log", "x", QIODevice::WriteOnly); }, false, false},
        {"deleted", [](const QString& d) { QFile::remove(d + "Log/Query.log"); }, true, true},
        {"renamed away", [](const QString& d) { QFile::rename(d + "Log/Query.log", d + "Log/Old.log"); },
         true, true},
        {"replaced by a rename",
         [&](const QString& d) {
             write(d + "Log/New.log", "new", QIODevice::WriteOnly);
             ::rename(QFile::encodeName(d + "Log/New.log").constData(),
                      QFile::encodeName(d + "Log/Query.log").constData());
         },
         true, true},
        // Names resolve without regard to case, so a name that differs only in case may now be the file.
        {"a name differing in case created",
         [&](const QString& d) { write(d + "Log/QUERY.LOG", "x", QIODevice::WriteOnly); }, true, true},
        {"its folder renamed", [](const QString& d) { QDir().rename(d + "Log", d + "Log2"); }, true, true},
        {"a folder further up renamed",
         [](const QString& d) {
             QDir().rename(d, d.chopped(1) + "-moved");
             QDir().rename(d.chopped(1) + "-moved", d);
         },
         true, true},
    };
    for (const TCase& c : cases) {
        for (const TPathChanges kind : {TPathChanges::Identity, TPathChanges::Content}) {
            SCOPED_TRACE(std::string(c.what) +
                         (kind == TPathChanges::Content ? " (content)" : " (identity)"));
            TTempProgramDir dir;
            dir.WriteFile("Log/Query.log", "statement");
            const TPathTicket ticket = WatchPath(QFile::encodeName(dir.Path() + "Log/Query.log"), kind);
            ASSERT_TRUE(PathUnchanged(ticket)) << "the test folder is on a file system the kernel reports";
            c.act(dir.Path());
            EXPECT_EQ(!PathUnchanged(ticket),
                      kind == TPathChanges::Content ? c.contentSpoiled : c.identitySpoiled);
        }
    }
}

TEST(PathWatch, AMissingFileIsWatchedForItsCreationAndUnwatchablePathsAreNeverUnchanged) {
    TTempProgramDir dir;
    const TPathTicket missing = WatchPath(QFile::encodeName(dir.Path() + "Login.ini"), TPathChanges::Content);
    EXPECT_TRUE(PathUnchanged(missing));
    dir.WriteFile("login.INI", "[SQL_LOG]\r\nPATH=x\r\n");
    EXPECT_FALSE(PathUnchanged(missing));

    // Within one moment the kernel is asked once; the next moment sees what happened meanwhile.
    const TPathTicket ini = WatchPath(QFile::encodeName(dir.Path() + "login.INI"), TPathChanges::Content);
    {
        const TPathCheckMoment moment;
        EXPECT_TRUE(PathUnchanged(ini));
        dir.WriteFile("login.INI", "[SQL_LOG]\r\nPATH=y\r\n");
        EXPECT_TRUE(PathUnchanged(ini));
    }
    EXPECT_FALSE(PathUnchanged(ini));
    // Others' code inside a moment (a dialog, a wait's pump) is seen by its own checks and by the
    // checks after it.
    const TPathTicket again = WatchPath(QFile::encodeName(dir.Path() + "login.INI"), TPathChanges::Content);
    {
        const TPathCheckMoment moment;
        EXPECT_TRUE(PathUnchanged(again));
        {
            const TOthersCodeScope others;
            dir.WriteFile("login.INI", "[SQL_LOG]\r\nPATH=z\r\n");
            EXPECT_FALSE(PathUnchanged(again));
        }
        const TPathTicket third =
            WatchPath(QFile::encodeName(dir.Path() + "login.INI"), TPathChanges::Content);
        EXPECT_TRUE(PathUnchanged(third));
        {
            const TOthersCodeScope others;
            EXPECT_TRUE(PathUnchanged(third));
            dir.WriteFile("login.INI", "[SQL_LOG]\r\nPATH=w\r\n");
        }
        EXPECT_FALSE(PathUnchanged(third));
    }

    for (const char* path : {"relative/Login.ini", "/tmp/../etc/Login.ini", ""})
        EXPECT_FALSE(PathUnchanged(WatchPath(path, TPathChanges::Content))) << path;
    EXPECT_FALSE(PathUnchanged(TPathTicket{}));
}

} // namespace
