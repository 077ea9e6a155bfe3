#pragma once

#include <QString>

// File names are matched without regard to letter case, as on the platform the files come from.

// Backslashes become '/', so paths spelled the Windows way reach the same file.
QString ToSlashes(const QString& path);
// Resolves path component by component against what exists on disk, ignoring letter case
// ("FIles/CUSTOMERS.INI" finds "Files/customers.ini"). Components that do not exist keep the given
// spelling, so a writer that creates a file reuses an existing match or else the name it was given.
// Backslashes count as separators. When several entries differ only in case, an exact match wins,
// otherwise the first in name order.
QString ResolvePath(const QString& path);
// True when a file or directory of that name exists, ignoring letter case.
bool FileExists(const QString& path);
// Creates the directory with all missing parents, reusing existing folders whatever their case.
// Raises EKelvoError when it cannot.
void ForceDirectories(const QString& dir);
