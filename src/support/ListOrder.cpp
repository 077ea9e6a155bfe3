#include "support/ListOrder.h"

#include <algorithm>

bool ListOrderLess(const QString& a, const QString& b) {
    return a.compare(b, Qt::CaseInsensitive) < 0;
}

QStringList SortedLines(QStringList lines) {
    std::stable_sort(lines.begin(), lines.end(), ListOrderLess);
    return lines;
}
