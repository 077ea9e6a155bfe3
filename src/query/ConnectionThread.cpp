#include "query/ConnectionThread.h"

#include <atomic>
#include <cerrno>
#include <ctime>
#include <semaphore.h>
#include <thread>

namespace {

// A hand-over between two threads: one wake-up at most each way, where a condition variable with
// its mutex makes the two threads wake each other several times per call.
class TSignal {
public:
    TSignal() { sem_init(&sem_, 0, 0); }
    ~TSignal() { sem_destroy(&sem_); }
    TSignal(const TSignal&) = delete;
    TSignal& operator=(const TSignal&) = delete;
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

// Only while calls come back at once (rows served from a driver's cache: two quick calls in a row,
// as a statement followed by a quick call for its next result is not) are the next call and its
// answer waited for awake, long enough for a row's work between two calls and for such an answer.
// Around calls that go to the server the waits sleep, as spinning would only take the processor from
// the server.
constexpr std::chrono::microseconds QuickCall{50}, SpinFor{100}, AnswerSpin{20};

} // namespace

struct TConnectionThread::TState {
    std::atomic<bool> quick{false};
    bool lastQuick = false; // the connection thread's own
    std::atomic<bool> stop{false};
    // The semaphores order everything else: call is written before posted is posted and read after it
    // is taken, rc likewise with finished.
    TSignal posted, finished;
    const std::function<short()>* call = nullptr;
    short rc = 0;

    static void Loop(std::shared_ptr<TState> state) {
        TState& s = *state;
        for (;;) {
            if (!(s.quick.load(std::memory_order_relaxed) && s.posted.TakeAwake(SpinFor)))
                s.posted.Take();
            if (s.stop.load())
                return;
            const auto start = std::chrono::steady_clock::now();
            const short rc = (*s.call)();
            const bool quick = std::chrono::steady_clock::now() - start < QuickCall;
            s.quick.store(quick && s.lastQuick, std::memory_order_relaxed);
            s.lastQuick = quick;
            s.rc = rc;
            s.finished.Post();
        }
    }
};

TConnectionThread::TConnectionThread() : state_(std::make_shared<TState>()) {
    std::thread(TState::Loop, state_).detach();
}

TConnectionThread::~TConnectionThread() {
    state_->stop.store(true);
    state_->posted.Post();
}

void TConnectionThread::Post(const std::function<short()>& call) {
    state_->call = &call;
    state_->posted.Post();
}

bool TConnectionThread::WaitDone(std::chrono::milliseconds timeout, short& rc) {
    TState& s = *state_;
    const bool answered = (s.quick.load(std::memory_order_relaxed) &&
                           s.finished.TakeAwake(std::min<std::chrono::microseconds>(AnswerSpin, timeout))) ||
                          s.finished.TakeWithin(timeout);
    if (answered)
        rc = s.rc;
    return answered;
}
