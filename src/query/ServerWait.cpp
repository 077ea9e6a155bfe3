#include "query/ServerWait.h"

#include "platform/PathWatch.h"

#include <atomic>
#include <chrono>
#include <exception>
#include <memory>
#include <sql.h>
#include <thread>

#include "query/ConnectionThread.h"
#include "query/Database.h"

namespace {

std::function<bool()>& Hook() {
    static std::function<bool()> hook;
    return hook;
}

bool waiting = false; // touched by the user-interface thread only

// One wait at a time: a hook's pump could start another, on this connection or another.
class TOneWait {
public:
    TOneWait() {
        if (waiting)
            throw EDatabaseError(
                "The program is still waiting for the server to answer an earlier statement. "
                "Try again when that statement has ended.");
        waiting = true;
    }
    ~TOneWait() { waiting = false; }
    TOneWait(const TOneWait&) = delete;
    TOneWait& operator=(const TOneWait&) = delete;
};

// Asks the innermost hook whether to cancel, its pump free to run others' code; an error it raises is
// kept for after the call has returned, and cancels.
bool AskHook(std::exception_ptr& hookError) {
    try {
        const TOthersCodeScope others;
        return Hook() && Hook()();
    } catch (...) {
        hookError = std::current_exception();
        return true;
    }
}

TWaitResult AwaitPosted(TConnectionThread& thread, void* stmt, const std::vector<TSocket>& sockets);

} // namespace

TWaitHookScope::TWaitHookScope(std::function<bool()> hook) : previous_(std::move(Hook())) {
    Hook() = std::move(hook);
}

TWaitHookScope::~TWaitHookScope() {
    Hook() = std::move(previous_);
}

TWaitResult WaitForServer(TConnectionThread* thread, void* stmt, const std::vector<TSocket>& sockets,
                          const std::function<short()>& call) {
    // A file engine has no server that could fall silent: its calls stay on this thread, at no cost.
    if (!thread) {
        TWaitResult result;
        result.Rc = call();
        return result;
    }
    const TOneWait one;
    thread->Post(call);
    TWaitResult result = AwaitPosted(*thread, stmt, sockets);
    if (result.HookError)
        std::rethrow_exception(result.HookError);
    return result;
}

TWaitResult AwaitServer(TConnectionThread& thread, void* stmt, const std::vector<TSocket>& sockets) {
    const TOneWait one;
    return AwaitPosted(thread, stmt, sockets);
}

namespace {

TWaitResult AwaitPosted(TConnectionThread& posted, void* stmt, const std::vector<TSocket>& sockets) {
    TConnectionThread* const thread = &posted;
    TWaitResult result;
    using namespace std::chrono;
    const auto start = steady_clock::now();
    const int limit = TimeLimits().StatementSeconds;
    // The server gets this long to honour a cancel before its connection is cut.
    constexpr auto cancelGrace = seconds(2);
    auto forceAt = steady_clock::time_point::max();
    // SQLCancel may wait on the server itself (PostgreSQL's opens a connection of its own and waits for
    // the server to close it): it runs on a thread of its own, whose socket is shut with the statement's.
    std::vector<TSocket> beforeCancel;
    std::thread canceller;
    const auto cancelled = std::make_shared<std::atomic<bool>>(false);
    const auto shutCanceller = [&] {
        if (canceller.joinable() && !cancelled->load())
            Shut(NewSockets(beforeCancel, OpenSockets()));
    };
    short rc = 0;
    // A quick answer, the usual case, is taken without pumping anything.
    bool done = thread->WaitDone(milliseconds(100), rc);
    std::exception_ptr hookError;
    while (!done) {
        // The hook keeps pumping after a cancel too, so the window stays alive until the call returns.
        // Nothing may leave this loop before the call has returned: it runs on this frame's data.
        const bool cancel = AskHook(hookError);
        const auto now = steady_clock::now();
        if (result.End == TWaitEnd::Answered) {
            const bool late = limit > 0 && now - start >= seconds(limit);
            if (cancel || late) {
                result.End = cancel ? TWaitEnd::Cancelled : TWaitEnd::LimitReached;
                // Cancelling from another thread is what SQLCancel is for; the waiting call then
                // returns with the engine's cancel error. A call on the connection alone (a disconnect)
                // has nothing to cancel and only the grace.
                if (stmt) {
                    beforeCancel = OpenSockets();
                    canceller = std::thread([stmt, cancelled] {
                        SQLCancel(static_cast<SQLHSTMT>(stmt));
                        cancelled->store(true);
                    });
                }
                forceAt = now + cancelGrace;
            }
        } else if (!result.SocketsShut && now >= forceAt) {
            // A server that does not answer does not honour a cancel either (a paused process, a
            // dead host): shutting the sockets makes the driver's wait end with a connection error.
            Shut(sockets);
            shutCanceller();
            result.SocketsShut = true;
        }
        done = thread->WaitDone(milliseconds(40), rc);
    }
    if (canceller.joinable()) {
        // The call has returned; a cancel still on its way is cut too. One that cannot be cut (a connect
        // to a dead host) is left behind rather than holding the program.
        for (int tries = 0; tries < 50 && !cancelled->load(); ++tries) {
            if (tries % 10 == 9)
                shutCanceller();
            std::this_thread::sleep_for(milliseconds(20));
        }
        if (cancelled->load())
            canceller.join();
        else
            canceller.detach();
    }
    result.HookError = hookError;
    result.Rc = rc;
    return result;
}

} // namespace

TWaitResult WaitForLogin(TConnectionThread& thread, const std::vector<TSocket>& before, int limitSeconds,
                         const std::function<short()>& call) {
    const TOneWait one;

    using namespace std::chrono;
    thread.Post(call);
    const auto start = steady_clock::now();
    TWaitResult result;
    short rc = 0;
    bool done = thread.WaitDone(milliseconds(100), rc);
    std::exception_ptr hookError;
    while (!done) {
        const bool cancel = AskHook(hookError);
        const bool late = limitSeconds > 0 && steady_clock::now() - start >= seconds(limitSeconds + 1);
        if (!result.SocketsShut && (cancel || late)) {
            // The login's sockets are those the call opened meanwhile; shutting them makes its wait end.
            Shut(NewSockets(before, OpenSockets()));
            result.SocketsShut = true;
            result.End = cancel ? TWaitEnd::Cancelled : TWaitEnd::LimitReached;
        }
        done = thread.WaitDone(milliseconds(40), rc);
    }
    if (hookError)
        std::rethrow_exception(hookError);
    result.Rc = rc;
    return result;
}

bool PauseBeforeRetry(int ms) {
    using namespace std::chrono;
    const auto until = steady_clock::now() + milliseconds(ms);
    while (steady_clock::now() < until) {
        {
            const TOthersCodeScope others;
            if (Hook() && Hook()())
                return true;
        }
        std::this_thread::sleep_for(
            std::min<steady_clock::duration>(milliseconds(20), until - steady_clock::now()));
    }
    return false;
}

QString WaitEndText(const TWaitResult& wait) {
    QString text;
    if (wait.End == TWaitEnd::LimitReached)
        text = QString("The server did not answer within %1 seconds (QUERY_TIMEOUT in TransferSettings.ini); "
                       "the statement was cancelled.")
                   .arg(TimeLimits().StatementSeconds);
    else if (wait.End == TWaitEnd::Cancelled)
        text = "The statement was cancelled while it waited for the server.";
    if (wait.SocketsShut)
        text += " The server did not react to the cancel either, so its connection was closed.";
    return text;
}
