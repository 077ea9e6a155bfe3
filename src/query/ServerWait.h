#pragma once

// Time limits for logins and statements, and the wait for a server's answer: a statement on a server
// connection runs off the user-interface thread, so the window can go on pumping while it waits, the
// operator can cancel it, and a server that stops answering cannot block the program forever.

#include <QString>
#include <functional>
#include <vector>

struct TTimeLimits {
    // Seconds; 0 means no limit.
    int LoginSeconds = 30;
    // Generous, so that a long script statement (a delete of a large table) still ends by itself,
    // while a server that went silent releases the program within minutes. Cancel acts at any time.
    int StatementSeconds = 600;
};

void SetTimeLimits(const TTimeLimits& limits);
const TTimeLimits& TimeLimits();

// Reads a limit in whole seconds (0 for none); false when the text is not one.
bool ParseLimitSeconds(const QString& text, int& seconds);
// Sets the limits from LOGIN_TIMEOUT and QUERY_TIMEOUT of [GENERAL] in a settings file. A value that is
// not a number of seconds keeps its limit's default; the returned text says so (empty when all is well).
QString ReadTimeLimits(const QString& settingsFile);

// While a statement waits on its server for longer than a moment, the waiting thread calls the hook of
// the innermost scope every few tens of milliseconds; the hook pumps the window's messages and returns
// true to cancel the statement.
class TWaitHookScope {
public:
    explicit TWaitHookScope(std::function<bool()> hook);
    ~TWaitHookScope();
    TWaitHookScope(const TWaitHookScope&) = delete;
    TWaitHookScope& operator=(const TWaitHookScope&) = delete;

private:
    std::function<bool()> previous_;
};

enum class TWaitEnd {
    Answered,     // the server answered (with a result or an error)
    LimitReached, // the statement limit passed and the statement was cancelled
    Cancelled,    // the operator cancelled it
};

struct TWaitResult {
    short Rc = 0; // SQLRETURN
    TWaitEnd End = TWaitEnd::Answered;
    // The server ignored the cancel, so the connection's sockets were shut to end the call; the
    // connection is then unusable.
    bool SocketsShut = false;
};

// Runs call (an ODBC call on the statement handle stmt). On a connection without sockets (a file
// engine) it runs at once on this thread; otherwise on the wait thread while this one waits, cancels
// the statement at the limit or when the hook asks, and shuts the sockets when the server ignores the
// cancel. Raises EDatabaseError when another wait is still in progress.
struct TSocket {
    int Fd = -1;
    unsigned long Inode = 0; // tells the socket apart from a later one reusing the number
};
TWaitResult WaitForServer(void* stmt, const std::vector<TSocket>& sockets,
                          const std::function<short()>& call);

// Runs a login call (a connect) on the wait thread while this one waits and calls the hook. At
// limitSeconds (0: none) and a second's grace for the driver's own limit, or when the hook asks to
// cancel, the sockets opened since before are shut, which ends a driver's wait on a server that
// accepted the connection and never answers.
TWaitResult WaitForLogin(const std::vector<TSocket>& before, int limitSeconds,
                         const std::function<short()>& call);

// The sockets this process holds now, to tell which ones a new connection opened.
std::vector<TSocket> OpenSockets();
// The sockets of after that are not in before.
std::vector<TSocket> NewSockets(const std::vector<TSocket>& before, const std::vector<TSocket>& after);

// How long a lost connection is tried again: a server restart takes seconds. The statement limit or
// 30 seconds, whichever is less.
int ReconnectWindowMs();
// Sleeps ms before the next try of a connection, the innermost hook called as during a wait so the
// window stays alive; true when the hook asked to cancel.
bool PauseBeforeRetry(int ms);

// Text for an error that ended a wait, put before the engine's own message.
QString WaitEndText(const TWaitResult& wait);
