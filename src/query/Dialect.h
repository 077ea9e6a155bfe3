#pragma once

// What the destination engine is and how it reads literals: whether backslashes inside a quoted text are
// escapes, and the form of a binary literal. Learnt from a live connection (ServerDialect.h) or, where
// the destination is not opened (scripting mode), from its data source's driver.

#include <QString>
#include <QStringList>

enum class TEngineKind { Unknown, SQLite, PostgreSQL, MariaDB, SqlServer };

enum class TBackslashes {
    Literal, // a backslash is an ordinary character
    Escape,  // the engine reads backslash escapes in '...' (MariaDB by default, PostgreSQL with
             // standard_conforming_strings off)
    Unknown, // PostgreSQL whose setting is not known (an export file): texts holding one use E'...'
};

struct TDialect {
    TEngineKind Engine = TEngineKind::Unknown;
    TBackslashes Backslashes = TBackslashes::Literal;
};

// The engine a DBMS name (SQL_DBMS_NAME), an ODBC driver name or a driver library path stands for.
TEngineKind EngineFromName(const QString& name);

// The dialect of a server as its engine and its reported setting give it: "off" for PostgreSQL's
// standard_conforming_strings, the sql_mode text for MariaDB; empty when not asked.
TDialect DialectFromSetting(TEngineKind engine, const QString& setting);

// The dialect the export file is written for: from the Driver entry of the ODBC data source dsn (its
// name, else the library odbcinst.ini names for it). MariaDB is taken with its default sql_mode and
// PostgreSQL with either setting of standard_conforming_strings.
TDialect DataSourceDialect(const QString& dsn);
