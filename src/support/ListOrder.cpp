#include "support/ListOrder.h"

#include <algorithm>

bool ListOrderLess(const QString& a, const QString& b) {
    return a.compare(b, Qt::CaseInsensitive) < 0;
}

QStringList SortedLines(QStringList lines) {
    std::stable_sort(lines.begin(), lines.end(), ListOrderLess);
    return lines;
}

void SortLines(QStringList& lines) {
    std::stable_sort(lines.begin(), lines.end(), ListOrderLess);
}

QString LineName(const QString& line) {
    const qsizetype eq = line.indexOf('=');
    return eq < 0 ? line : line.left(eq);
}

QString LineValue(const QString& line) {
    const qsizetype eq = line.indexOf('=');
    return eq < 0 ? QString() : line.mid(eq + 1);
}

QStringView LineNameView(const QString& line) {
    const qsizetype eq = line.indexOf('=');
    return eq < 0 ? QStringView(line) : QStringView(line).left(eq);
}

int IndexOfName(const QStringList& list, QStringView name) {
    for (int i = 0; i < list.size(); ++i)
        if (LineNameView(list[i]).compare(name, Qt::CaseInsensitive) == 0)
            return i;
    return -1;
}

QString ListValue(const QStringList& list, QStringView name) {
    const int index = IndexOfName(list, name);
    return index < 0 ? QString() : LineValue(list[index]);
}
