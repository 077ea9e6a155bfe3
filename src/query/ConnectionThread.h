#pragma once

// The thread a server connection's ODBC calls run on. Every call on the connection's handles goes to
// it, so a driver that keeps a lock of its own after an error (MariaDB's, after a failed text of
// several statements) only ever meets that lock again on the thread that holds it. The caller hands
// one call over at a time and waits for it (see ServerWait), free to pump the window, keep the time
// limit and cancel meanwhile.

#include <chrono>
#include <functional>
#include <memory>

class TConnectionThread {
public:
    TConnectionThread();
    // The thread ends after the call it serves; one stuck in a driver for good is left to itself, its
    // state freed by whichever of the two lets go last.
    ~TConnectionThread();
    TConnectionThread(const TConnectionThread&) = delete;
    TConnectionThread& operator=(const TConnectionThread&) = delete;

    // Hands call over. It must stay alive until WaitDone says it has returned.
    void Post(const std::function<short()>& call);
    // True when the posted call has returned, its result then in rc.
    bool WaitDone(std::chrono::milliseconds timeout, short& rc);

    struct TState;

private:
    std::shared_ptr<TState> state_;
};
