#pragma once

#include "cli/Options.h"

// kelvo-run after its command line was read: the listing, or the start-up and the run, with the exit
// status. Needs a QCoreApplication.
int RunCommand(const TRunCommandLine& line);
