#pragma once

// Statement logs: "Query.log" holds the last statement, "Modify.log" and script files collect
// statement blocks (the lines, a line ";", an empty line). Lines end with CR LF; text is UTF-8.
//
// Every write behaves as if the file were opened and closed for it: afterwards a reader finds the
// file complete, a file deleted or moved meanwhile is created again, and a changed log directory
// applies to the next write. Files are nevertheless kept open between writes (checked against the
// path each time), as truncating and closing a file per statement costs a flush on common file
// systems.

#include <QString>
#include <QStringList>

#include "query/LargeValue.h"

// [SQL_LOG] PATH of "Login.ini" in the program directory, exactly as read, or ProgramDir() + "Log/".
// File names are appended to it directly.
QString GetLogDir();

// Creates the directory with all missing parents; nothing when it exists. Raises EKelvoError.
void ForceLogDirectory(const QString& dir);

// Replaces the file's content by the lines. Raises EKelvoError.
void ReplaceFile(const QString& fileName, const QStringList& lines);

// Appends one statement block, creating the file when missing; no lines write nothing. An empty
// file name writes to "Datoteka.txt" in the program directory. splices: the large values the lines
// stand for. Raises EKelvoError.
void AppendToFile(const QString& fileName, const QStringList& lines, const TLargeSplices& splices = {});

// The log step of a statement: creates the log directory, replaces "Query.log" and, when
// toModifyLog, appends to "Modify.log". The log directory is asked anew for each file.
void LogStatement(const QStringList& lines, bool toModifyLog, const TLargeSplices& splices = {});

// Closes the files kept open between writes (the next write opens them again).
void CloseStatementLogs();
