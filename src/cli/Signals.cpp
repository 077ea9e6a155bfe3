#include "cli/Signals.h"

#include <csignal>

namespace {
volatile std::sig_atomic_t pending = 0;

extern "C" void OnCancelSignal(int signal) {
    pending = signal;
}
} // namespace

void InstallCancelSignals() {
    struct sigaction action = {};
    action.sa_handler = OnCancelSignal;
    sigemptyset(&action.sa_mask);
    // SA_RESETHAND: the next signal has its default effect, so a run stuck in a statement still ends.
    action.sa_flags = SA_RESTART | SA_RESETHAND;
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
}

int PendingSignal() {
    return pending;
}
