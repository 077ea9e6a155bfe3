#pragma once

// Many rows of a PostgreSQL INSERT as one array per column, unnested: the server reads an array many
// times faster than a VALUES list of the same rows. Each element is taken from the literal the row's
// own INSERT carries and read by the column type's own input, so both forms insert the same values.
// The arrays are bound to the statement's "?" marks, which spares the driver and the server reading
// them as literals; the logs show each as its literal (E'{...}'::int4[]).

#include <QString>
#include <QStringList>
#include <vector>

#include "query/LangQuery.h"

// Whether a PostgreSQL built-in type (pg_type's typname) reads an array element as it reads the
// literal a row's INSERT gives a column of that type.
bool IsArrayElementType(const QString& typeName);

class TArrayInsert {
public:
    // The element types of the INSERT's columns in order; none: the rows go as a VALUES list.
    void Reset(QStringList types);
    // Adds one row's values, in column order. A value whose literal has no element form sends the
    // batch as a VALUES list.
    void Add(const std::vector<TFd>& values);
    // Whether the rows added since the last Clear can go as arrays.
    bool Usable() const { return usable_ && rows_ > 0; }
    // The statement's lines: the row INSERT's own first two (table, columns), then the unnested arrays,
    // each a "?" spliced with its array, which it hands over: the rows added are cleared.
    QStringList Take(const QString& insertLine, const QString& columnsLine, TLargeSplices& splices);
    void Clear();

private:
    QStringList types_;
    std::vector<QString> arrays_; // each column's array so far: "{", then its elements comma-separated
    int rows_ = 0;
    bool usable_ = false;
};
