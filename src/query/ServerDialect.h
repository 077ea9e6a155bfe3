#pragma once

// What a live connection's server says of its dialect and its tables.

#include <QString>
#include <QStringList>
#include <utility>
#include <vector>

#include "query/Dialect.h"

// The dialect of the registered connection databaseName, opening it when closed (with its login). Asked
// once per connection.
TDialect ConnectionDialect(const QString& databaseName);

// The character columns of table that have no declared length although the driver reports one
// (PostgreSQL's varchar and bpchar without a length, SQLite's types without one), as the engine's catalogue
// of the connection databaseName names them. Empty for engines whose character types always carry one.
QStringList UnboundedTextColumns(const QString& databaseName, const QString& table);

// PostgreSQL: each column of table (pg_attribute's name) with its built-in type's name ("int4",
// "varchar"); columns of arrays, domains and types of extensions are left out. Empty for other engines.
std::vector<std::pair<QString, QString>> BuiltInColumnTypes(const QString& databaseName,
                                                            const QString& table);
