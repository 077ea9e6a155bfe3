#pragma once

// Many rows in one INSERT: a flow's rows are composed one by one as always and sent together, up to a
// number of rows and of bytes per statement.

#include <QString>
#include <QStringList>
#include <vector>

#include "query/Dialect.h"

// A statement's size stays well inside every engine's packet limit (MariaDB's default is 16 MB, its
// oldest 1 MB); a single row larger than that goes alone.
inline constexpr qsizetype BatchByteCap = 512 * 1024;

// The rows one statement takes at most: the wanted number, and SQL Server reads at most 1 000 rows in
// one VALUES list.
int BatchRowCap(int wanted, TEngineKind engine);

// The INSERT of rows [from, to): the lines of the first row's own statement (INSERT, columns, "values
// "), then each row's value line, separated by commas. Every row has the same table and columns.
QStringList BatchStatement(const std::vector<QStringList>& rows, size_t from, size_t to);

// BATCH_ROWS of [GENERAL] in a settings file into rows (1 when absent). A value that is not a whole
// number of at least 1 leaves rows at 1; the returned text says so (empty when all is well).
QString ReadBatchRows(const QString& settingsFile, int& rows);
