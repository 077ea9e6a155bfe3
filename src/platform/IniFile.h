#pragma once

#include <QString>
#include <QStringList>

// Windows profile-file rules over our own parser: sections and keys without regard to case, the first
// '=' splits, blanks around keys and values trimmed, one pair of matching quotes stripped on read,
// values cut to 2047 characters, key lists through a 16384-byte budget, a missing file or section
// reads as the default. A write replaces a key in place or appends it, creates the file (never the
// folder) and replaces the file atomically. A failed write raises "Unable to write to %s".
// Paths are resolved without regard to letter case.

// Whole: every key, whatever the budget; for files whose every line matters (flow definitions).
enum class TKeyBudget { Limited, Whole };

QString IniReadString(const QString& file, const QString& section, const QString& key, const QString& def);
// Keys of a section in file order (the 16384-byte budget applies).
QStringList IniReadSectionKeys(const QString& file, const QString& section,
                               TKeyBudget budget = TKeyBudget::Limited);
// Clears list, then one KEY=VALUE line per key; a repeated key yields its first value both times.
void IniReadSectionValues(const QString& file, const QString& section, QStringList& list);
void IniReadSectionValues(const QString& file, const QString& section, QStringList& list, TKeyBudget budget);
void IniWriteString(const QString& file, const QString& section, const QString& key, const QString& value);
void IniEraseSection(const QString& file, const QString& section);
// A missing key or file is no error.
void IniDeleteKey(const QString& file, const QString& section, const QString& key);
// Erases the section, then writes each KEY=VALUE line (split at the first '=').
void IniWriteSection(const QString& file, const QString& section, const QStringList& list);
