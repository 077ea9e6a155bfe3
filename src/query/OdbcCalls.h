#pragma once

// The ODBC plumbing every part of the database layer shares: text to and from the driver, the engine's
// diagnostics, the program's one environment.

#include <QString>
#include <QStringList>
#include <locale.h>
#include <sql.h>
#include <sqlext.h>
#include <sqlucode.h>

#include "query/Database.h"

namespace Odbc {

SQLWCHAR* W(const QString& s);
QString FromW(const SQLWCHAR* p, qsizetype length);

// The engine's own diagnostic texts, one line per record, and their SQLSTATEs.
QString Diagnostics(SQLSMALLINT handleType, SQLHANDLE handle, QStringList* states = nullptr);
// The diagnostics, or a text naming action and rc when the engine left none.
QString ErrorText(SQLSMALLINT handleType, SQLHANDLE handle, SQLRETURN rc, const char* action);
[[noreturn]] void Fail(SQLSMALLINT handleType, SQLHANDLE handle, SQLRETURN rc, const char* action);

// A text the driver tells of a connection (SQLGetInfo: SQL_DBMS_NAME, SQL_DRIVER_NAME); empty when it
// tells none.
QString InfoText(SQLHDBC dbc, SQLUSMALLINT info);

// One environment for the whole program.
SQLHENV Environment();

// unixODBC converts the wide calls for drivers without wide entry points (the SQLite driver among them)
// through iconv, using the codeset of the locale in force when the connection handle is allocated. Under a
// locale that is not UTF-8 every letter outside ASCII would reach such a driver mangled, so the connection
// is made under a UTF-8 codeset (for this thread only).
class TUtf8CodesetScope {
public:
    TUtf8CodesetScope();
    ~TUtf8CodesetScope();
    TUtf8CodesetScope(const TUtf8CodesetScope&) = delete;
    TUtf8CodesetScope& operator=(const TUtf8CodesetScope&) = delete;

private:
    locale_t previous_ = nullptr;
};

// Whether a failure means the connection itself broke: SQLSTATE class 08 (connection exception), the
// server ending the session (57P01-57P03), or a driver that says so only in words.
bool BrokenConnection(const QStringList& states, const QString& text);

} // namespace Odbc
