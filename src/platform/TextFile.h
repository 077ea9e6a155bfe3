#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <functional>

// Text files: UTF-8 in everything the program writes. Files made by earlier Windows installations are
// in code page 1250, so a file that is not valid UTF-8 is read as Windows-1250. Paths are resolved
// without regard to letter case. Every failure raises EKelvoError.

// Windows-1250 to Unicode. The five bytes the code page leaves undefined map to the control characters
// of the same number, as Windows maps them, so no byte is lost.
QString DecodeWindows1250(const QByteArray& bytes);
// UTF-8 (a leading byte order mark dropped) when the bytes are valid UTF-8, otherwise Windows-1250.
QString DecodeText(const QByteArray& bytes);
// Splits at CR LF, LF and CR. A final line end does not start another line; empty text has no lines.
QStringList SplitTextLines(const QString& text);
// Blanks and control characters off both ends, the trim of statement values and script lines.
QString TrimControl(const QString& text);

// The whole file. Raises "Cannot open file "<path>"" when it is missing, with the reason after a colon
// when it is unreadable; a file without any read permission counts as unreadable even for a user the
// system lets read anyway.
QString ReadTextFile(const QString& path);
QStringList ReadTextLines(const QString& path);
// Raises, with the reason, when path names a folder, a pipe or device, a file that cannot be read or
// one holding NUL characters (no text file does); nothing when it names nothing.
void CheckTextFile(const QString& path);

// Replaces the whole file atomically (a temporary file beside it, then a rename), so an interrupted
// write never leaves half a file. The folder must exist; it is never created. A missing folder, a
// read-only file or folder, or any other failure raises "Unable to write to <path>" and leaves the old
// file as it was.
void WriteTextFile(const QString& path, const QString& text);
// Each line followed by lineEnd. CR LF by default: the files are shared with Windows installations.
void WriteTextLines(const QString& path, const QStringList& lines, const QString& lineEnd = "\r\n");
// Appends each line followed by CR LF, creating the file (not its folder) when missing; the file is
// closed again before returning. Non-ASCII text appended to a Windows-1250 file first turns the file
// into UTF-8, so the file keeps one encoding and reads back correctly; that happens under the file's
// lock, so a line another process appends meanwhile lands in the converted file. Failures raise as
// above. The lines arrive whole or not at all: a write that fails part way (a full disk) cuts the file
// back to its size before and raises EWriteError.
void AppendTextLines(const QString& path, const QStringList& lines);
void AppendTextLine(const QString& path, const QString& line);

// Appends bytes to an open descriptor all or nothing: after a failed or short write the file is cut
// back to the size it had before. The file's flock is held meanwhile, so appenders in other processes
// neither interleave nor lose lines. False on failure, with errno set. Every append of the program's
// logs, failed statements and export file goes through here.
// path names the file for the test hook below.
bool AppendAllOrNothing(int fd, const QByteArray& bytes, const QString& path);
// The same for bytes that come a part at a time: nextPart puts the next into its argument and says
// whether there was one.
bool AppendPartsAllOrNothing(int fd, const std::function<bool(QByteArray&)>& nextPart, const QString& path);
// The parts of bytes given whole: they, then none.
std::function<bool(QByteArray&)> OnePart(const QByteArray& bytes);
// The text of errno after a failed call.
QString SystemErrorText(int error);
// Test hook of a full disk: appends to files whose path ends with fileName fail with ENOSPC once this
// many more bytes have been written to them; an empty fileName turns it off.
void SetWriteFaultForTests(const QString& fileName, qint64 bytesBeforeFailure);
