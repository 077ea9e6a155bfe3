#pragma once

// How long a login and a statement may wait for their server, as TransferSettings.ini sets them.

#include <QString>

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

// How long a lost connection is tried again: a server restart takes seconds. The statement limit or
// 30 seconds, whichever is less.
int ReconnectWindowMs();
