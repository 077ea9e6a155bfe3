#include "transfer/InsertBatch.h"

#include <QFileInfo>
#include <algorithm>

#include "platform/IniFile.h"

int BatchRowCap(int wanted, TEngineKind engine) {
    const int cap = engine == TEngineKind::SqlServer ? 1000 : wanted;
    return std::max(1, std::min(wanted, cap));
}

QStringList BatchStatement(const std::vector<QStringList>& rows, size_t from, size_t to) {
    if (to - from == 1)
        return rows[from];
    QStringList lines = rows[from].mid(0, 3);
    lines.reserve(qsizetype(to - from) + 3);
    for (size_t i = from; i + 1 < to; ++i) {
        // A value line ends with ") " after an unquoted value; the comma goes right after the ')'.
        QStringView row = rows[i].size() > 3 ? QStringView(rows[i][3]) : QStringView();
        while (row.endsWith(u' '))
            row.chop(1);
        QString line(row.size() + 1, Qt::Uninitialized);
        std::copy(row.begin(), row.end(), line.data());
        line[row.size()] = u',';
        lines << line;
    }
    lines << rows[to - 1].value(3);
    return lines;
}

QString ReadBatchRows(const QString& settingsFile, int& rows) {
    rows = 1;
    const QString text = IniReadString(settingsFile, "GENERAL", "BATCH_ROWS", "");
    if (text.trimmed().isEmpty())
        return {};
    bool ok = false;
    const int value = text.trimmed().toInt(&ok);
    if (!ok || value < 1)
        return QString("%1: BATCH_ROWS=%2 is not a whole number of rows of at least 1; rows are sent one per "
                       "INSERT.")
            .arg(QFileInfo(settingsFile).fileName(), text);
    rows = value;
    return {};
}
