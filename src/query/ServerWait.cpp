#include "query/ServerWait.h"

#include "platform/PathWatch.h"

#include <atomic>
#include <cerrno>
#include <chrono>
#include <dirent.h>
#include <exception>
#include <memory>
#include <semaphore.h>
#include <sql.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <thread>

#include <QFileInfo>
#include <QStringList>

#include "platform/IniFile.h"
#include "query/Database.h"

namespace {

TTimeLimits& Limits() {
    static TTimeLimits limits;
    return limits;
}

std::function<bool()>& Hook() {
    static std::function<bool()> hook;
    return hook;
}

// A hand-over between two threads: one wake-up at most each way, where a condition variable with
// its mutex makes the two threads wake each other several times per call.
class TSignal {
public:
    TSignal() { sem_init(&sem_, 0, 0); }
    void Post() { sem_post(&sem_); }
    bool TryTake() { return sem_trywait(&sem_) == 0; }
    void Take() {
        while (sem_wait(&sem_) != 0 && errno == EINTR) {
        }
    }
    // True when posted within the timeout.
    bool TakeWithin(std::chrono::microseconds timeout) {
        if (TryTake())
            return true;
        timespec at{};
        clock_gettime(CLOCK_MONOTONIC, &at);
        const long long ns = at.tv_nsec + std::chrono::nanoseconds(timeout).count();
        at.tv_sec += time_t(ns / 1000000000);
        at.tv_nsec = long(ns % 1000000000);
        for (;;) {
            if (sem_clockwait(&sem_, CLOCK_MONOTONIC, &at) == 0)
                return true;
            if (errno != EINTR)
                return false;
        }
    }
    // Takes the post if it comes within the time, awake: a sleeping thread's wake-up costs more than
    // the wait for an answer served from a driver's cache.
    bool TakeAwake(std::chrono::microseconds time) {
        const auto until = std::chrono::steady_clock::now() + time;
        do {
            if (TryTake())
                return true;
            std::this_thread::yield();
        } while (std::chrono::steady_clock::now() < until);
        return false;
    }

private:
    sem_t sem_;
};

// The program is single-threaded by design, and stays so for everything but this: the one ODBC call
// that waits on a server runs here, so the user-interface thread can pump messages, keep the time
// limit and cancel it. Nothing else (no Qt object, no program state) is touched on this thread; the
// caller reads the call's diagnostics after it returned. Created once and never destroyed, so no
// static destruction can pull the semaphores from under it at exit.
class TWaitThread {
public:
    static TWaitThread& Instance() {
        static TWaitThread* thread = new TWaitThread;
        return *thread;
    }

    void Post(const std::function<short()>& call) {
        call_ = &call;
        posted_.Post();
    }

    // True when the call has returned; its result is then in rc. Every posted call is waited for
    // until it returns, so each answer is taken by the wait of its own call.
    bool WaitDone(std::chrono::milliseconds timeout, short& rc) {
        const bool answered =
            (quick_.load(std::memory_order_relaxed) &&
             finished_.TakeAwake(std::min<std::chrono::microseconds>(AnswerSpin, timeout))) ||
            finished_.TakeWithin(timeout);
        if (answered)
            rc = rc_;
        return answered;
    }

private:
    TWaitThread() {
        std::thread([this] { Loop(); }).detach();
    }

    void Loop() {
        for (;;) {
            if (!(quick_.load(std::memory_order_relaxed) && posted_.TakeAwake(SpinFor)))
                posted_.Take();
            const auto start = std::chrono::steady_clock::now();
            const short rc = (*call_)();
            const bool quick = std::chrono::steady_clock::now() - start < QuickCall;
            quick_.store(quick && lastQuick_, std::memory_order_relaxed);
            lastQuick_ = quick;
            rc_ = rc;
            finished_.Post();
        }
    }

    // Only while calls come back at once (rows served from a driver's cache: two quick calls in a
    // row, as a statement followed by a quick call for its next result is not) are the next call and
    // its answer waited for awake, long enough for a row's work between two calls and for such an
    // answer. Around calls that go to the server the waits sleep, as spinning would only take the
    // processor from the server.
    static constexpr std::chrono::microseconds QuickCall{50}, SpinFor{100}, AnswerSpin{20};
    std::atomic<bool> quick_{false};
    bool lastQuick_ = false; // the waiting thread's own
    // The semaphores order everything else: call_ is written before posted_ is posted and read after
    // it is taken, rc_ likewise with finished_.
    TSignal posted_, finished_;
    const std::function<short()>* call_ = nullptr;
    short rc_ = 0;
};

bool waiting = false; // touched by the user-interface thread only

bool SameSocket(const TSocket& socket) {
    struct stat st {};
    return fstat(socket.Fd, &st) == 0 && S_ISSOCK(st.st_mode) && st.st_ino == socket.Inode;
}

// Shuts those of sockets that are still what they were, which ends a driver's wait on them.
void Shut(const std::vector<TSocket>& sockets) {
    for (const TSocket& socket : sockets)
        if (SameSocket(socket))
            shutdown(socket.Fd, SHUT_RDWR);
}

// One wait at a time: the wait thread serves one call, and a hook's pump could start another.
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

} // namespace

void SetTimeLimits(const TTimeLimits& limits) {
    Limits() = limits;
}

const TTimeLimits& TimeLimits() {
    return Limits();
}

bool ParseLimitSeconds(const QString& text, int& seconds) {
    bool ok = false;
    const int value = text.trimmed().toInt(&ok);
    if (!ok || value < 0)
        return false;
    seconds = value;
    return true;
}

QString ReadTimeLimits(const QString& settingsFile) {
    TTimeLimits limits;
    QStringList problems;
    const std::pair<const char*, int*> keys[] = {{"LOGIN_TIMEOUT", &limits.LoginSeconds},
                                                 {"QUERY_TIMEOUT", &limits.StatementSeconds}};
    for (const auto& [key, seconds] : keys) {
        const QString text = IniReadString(settingsFile, "GENERAL", key, "");
        if (!text.trimmed().isEmpty() && !ParseLimitSeconds(text, *seconds))
            problems << QString(
                            "%1: %2=%3 is not a whole number of seconds (0 for no limit); the limit stays "
                            "%4 seconds.")
                            .arg(QFileInfo(settingsFile).fileName(), key, text)
                            .arg(*seconds);
    }
    SetTimeLimits(limits);
    return problems.join('\n');
}

TWaitHookScope::TWaitHookScope(std::function<bool()> hook) : previous_(std::move(Hook())) {
    Hook() = std::move(hook);
}

TWaitHookScope::~TWaitHookScope() {
    Hook() = std::move(previous_);
}

std::vector<TSocket> OpenSockets() {
    std::vector<TSocket> sockets;
    DIR* dir = opendir("/proc/self/fd");
    if (!dir)
        return sockets;
    while (const dirent* entry = readdir(dir)) {
        if (entry->d_name[0] < '0' || entry->d_name[0] > '9')
            continue;
        const int fd = atoi(entry->d_name);
        struct stat st {};
        if (fd != dirfd(dir) && fstat(fd, &st) == 0 && S_ISSOCK(st.st_mode))
            sockets.push_back({fd, static_cast<unsigned long>(st.st_ino)});
    }
    closedir(dir);
    return sockets;
}

std::vector<TSocket> NewSockets(const std::vector<TSocket>& before, const std::vector<TSocket>& after) {
    std::vector<TSocket> added;
    for (const TSocket& s : after) {
        const bool old = std::any_of(before.begin(), before.end(),
                                     [&](const TSocket& b) { return b.Fd == s.Fd && b.Inode == s.Inode; });
        if (!old)
            added.push_back(s);
    }
    return added;
}

TWaitResult WaitForServer(void* stmt, const std::vector<TSocket>& sockets,
                          const std::function<short()>& call) {
    TWaitResult result;
    // A file engine has no server that could fall silent: its calls stay on this thread, at no cost.
    if (sockets.empty()) {
        result.Rc = call();
        return result;
    }
    const TOneWait one;

    using namespace std::chrono;
    TWaitThread& thread = TWaitThread::Instance();
    thread.Post(call);
    const auto start = steady_clock::now();
    const int limit = Limits().StatementSeconds;
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
    bool done = thread.WaitDone(milliseconds(100), rc);
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
                // returns with the engine's cancel error.
                beforeCancel = OpenSockets();
                canceller = std::thread([stmt, cancelled] {
                    SQLCancel(static_cast<SQLHSTMT>(stmt));
                    cancelled->store(true);
                });
                forceAt = now + cancelGrace;
            }
        } else if (!result.SocketsShut && now >= forceAt) {
            // A server that does not answer does not honour a cancel either (a paused process, a
            // dead host): shutting the sockets makes the driver's wait end with a connection error.
            Shut(sockets);
            shutCanceller();
            result.SocketsShut = true;
        }
        done = thread.WaitDone(milliseconds(40), rc);
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
    if (hookError)
        std::rethrow_exception(hookError);
    result.Rc = rc;
    return result;
}

TWaitResult WaitForLogin(const std::vector<TSocket>& before, int limitSeconds,
                         const std::function<short()>& call) {
    const TOneWait one;

    using namespace std::chrono;
    TWaitThread& thread = TWaitThread::Instance();
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

int ReconnectWindowMs() {
    const int limit = Limits().StatementSeconds;
    return 1000 * (limit > 0 ? std::min(limit, 30) : 30);
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
                   .arg(Limits().StatementSeconds);
    else if (wait.End == TWaitEnd::Cancelled)
        text = "The statement was cancelled while it waited for the server.";
    if (wait.SocketsShut)
        text += " The server did not react to the cancel either, so its connection was closed.";
    return text;
}
