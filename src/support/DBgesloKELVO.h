#pragma once

#include <QString>
#include <QtGlobal>

// The source database login, stored scrambled in "KELVO.INI" by an outside program. The file lies in
// the program directory or one or two levels above it; this unit only reads it.

// Fills the four outputs from the first "KELVO.INI" found; a missing file leaves them as they were,
// one that cannot be read as text (a folder, a pipe, no permission, binary) raises EKelvoError. The mode text
// is returned as stored, the other three descrambled.
void ReadLoginSettings(QString& databaseName, QString& userName, QString& password, QString& modeText);
// Clear text of a stored value: hex digit pairs XOR-ed with key used cyclically, the first 20
// characters dropped, at most 100 kept.
QString DescrambleValue(const QString& s, const QString& key);
// Hexadecimal value of text; characters that are not hex digits count as zero digits. Digits beyond
// the sixteenth from the right fall outside the 64-bit range and add nothing.
quint64 HexValue(const QString& text);
// The directory above path, with its trailing '/'; path itself when it has no directory part.
QString ParentDir(const QString& path);
