#pragma once

#include <QString>

// The program's version, from the project version the build is configured with.
QString KelvoVersion();
