#pragma once

#include <QString>
#include <QStringList>

// NAME=VALUE lines, as the definition files, the index and the main window's lists hold them, and the
// order of those lists: alphabetical without regard to letter case, equal lines in the order they came.
bool ListOrderLess(const QString& a, const QString& b);
QStringList SortedLines(QStringList lines);
void SortLines(QStringList& lines);

// The text before the first '=' of a NAME=VALUE line (the whole line without one), and the text after it.
QString LineName(const QString& line);
QString LineValue(const QString& line);
// The name without a copy of its own, valid while the line is.
QStringView LineNameView(const QString& line);

// The value of the first line whose name equals name without regard to case; empty when none.
QString ListValue(const QStringList& list, QStringView name);
// The index of that line; -1 when none.
int IndexOfName(const QStringList& list, QStringView name);
