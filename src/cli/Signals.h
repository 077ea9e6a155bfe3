#pragma once

// SIGINT and SIGTERM cancel the run as the window's Cancel does. The handler only records the signal;
// the console view polls it between rows. A second signal of the same kind ends the process at once.
void InstallCancelSignals();
// The signal received, 0 when none.
int PendingSignal();
