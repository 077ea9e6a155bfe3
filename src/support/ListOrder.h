#pragma once

#include <QString>
#include <QStringList>

// The order of the main window's sorted lists: alphabetical without regard to letter case, equal lines
// in the order they came.
bool ListOrderLess(const QString& a, const QString& b);
QStringList SortedLines(QStringList lines);
