#pragma once

// How the database layer types result columns and reads their values: the mapping from ODBC's description
// of a column to a field type, and the readings of a value held as the engine's text (ISO dates, '.'
// decimals) as display text, number, integer, boolean and day count. Every failed reading raises
// EDatabaseError naming the value.

#include <QString>

#include "query/Database.h"

namespace DatabaseValues {

// What ODBC reports of a result column.
struct TColumnInfo {
    int sqlType = 0;             // SQLDescribeCol's data type
    unsigned long long size = 0; // SQLDescribeCol's column size
    QString typeName;            // SQL_DESC_TYPE_NAME
    bool isUnsigned = false;     // SQL_DESC_UNSIGNED
    bool autoIncrement = false;  // SQL_DESC_AUTO_UNIQUE_VALUE
};

TFieldType MapType(const TColumnInfo& column);
// Characters for character types, bytes for fixed binary, digits for BCD; 0 where the type has no
// declared length.
int DeclaredSize(TFieldType type, unsigned long long columnSize);

QString DisplayText(TFieldType type, const QString& raw);
double ReadFloat(TFieldType type, const QString& raw);
qint64 ReadInteger(TFieldType type, const QString& raw);
bool ReadBoolean(TFieldType type, const QString& raw);
double ReadDateTime(TFieldType type, const QString& raw);

} // namespace DatabaseValues
