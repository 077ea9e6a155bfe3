#pragma once

// The wait for a server's answer: a call on a server connection runs on that connection's own thread
// while the caller waits, so the window can go on pumping, the operator can cancel it, and a server
// that stops answering cannot block the program forever.

#include <QString>
#include <exception>
#include <functional>
#include <vector>

#include "query/Sockets.h"
#include "query/TimeLimits.h"

class TConnectionThread;

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
    // What the hook raised while the call ran (AwaitServer only; WaitForServer raises it).
    std::exception_ptr HookError;
};

// Runs call (ODBC calls on the statement handle stmt, or on the connection when stmt is null). Without
// a thread (a file engine) it runs at once on this thread; otherwise on the connection's thread while
// this one waits, cancels the statement at the limit or when the hook asks, and shuts the sockets
// when the server ignores the cancel. Raises EDatabaseError when another wait is still in progress.
TWaitResult WaitForServer(TConnectionThread* thread, void* stmt, const std::vector<TSocket>& sockets,
                          const std::function<short()>& call);

// Waits as WaitForServer does for a call posted on thread earlier (while its caller prepared the next
// one). Raises EDatabaseError, the call untouched, when another wait is in progress.
TWaitResult AwaitServer(TConnectionThread& thread, void* stmt, const std::vector<TSocket>& sockets);

// Runs a login call (a connect) on the connection's thread while this one waits and calls the hook.
// At limitSeconds (0: none) and a second's grace for the driver's own limit, or when the hook asks to
// cancel, the sockets opened since before are shut, which ends a driver's wait on a server that
// accepted the connection and never answers.
TWaitResult WaitForLogin(TConnectionThread& thread, const std::vector<TSocket>& before, int limitSeconds,
                         const std::function<short()>& call);

// Sleeps ms before the next try of a connection, the innermost hook called as during a wait so the
// window stays alive; true when the hook asked to cancel.
bool PauseBeforeRetry(int ms);

// Text for an error that ended a wait, put before the engine's own message.
QString WaitEndText(const TWaitResult& wait);
