#pragma once

#include <QString>
#include <QtGlobal>

// The source database login, stored scrambled in "KELVO.INI" by an outside program or by the program's
// own "Source login". The file lies in the program directory or one or two levels above it.

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
// The stored form of clear, which DescrambleValue reverses: prefix (20 characters) and clear as bytes of
// the Windows code page 1250, each XOR-ed with key used cyclically, as two upper-case hex digits. A
// character the code page lacks raises EKelvoError.
QString ScrambleValue(const QString& clear, const QString& key, const QString& prefix);
// Stores the user name and password in the "KELVO.INI" that ReadLoginSettings reads (a new one in the
// program directory when there is none), keeping every other line; returns its path. A value the file
// cannot hold (over 30 characters, a control character, one outside code page 1250) or a file that
// cannot be read or written raises EKelvoError with the file left as it was.
QString WriteSourceLogin(const QString& userName, const QString& password);
