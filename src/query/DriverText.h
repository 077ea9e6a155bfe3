#pragma once

// How text reaches a driver. unixODBC hands a driver without wide-character entry points every wide
// call converted to 8 bits through UCS-2, which cannot hold a character beyond the basic plane (an
// emoji): such a driver gets the narrow calls with UTF-8 text, which carry every character.

#include <QString>

// A value of an ODBC profile file (odbc.ini, odbcinst.ini) as unixODBC finds it; empty when absent.
QString OdbcProfileString(const QString& section, const char* key, const char* file);

// Whether the driver of an open connection has wide-character entry points of its own: the library
// the driver manager loaded for it (odbcinst.ini's Driver of the data source dsn, or the file
// SQL_DRIVER_NAME names) exports SQLExecDirectW, as the driver manager itself looks it up. True when
// the library cannot be found, so nothing changes where nothing is known.
bool DriverHasWideCalls(void* dbc, const QString& dsn);

// Runs a statement text through SQLExecDirectW, or with narrow through SQLExecDirect as UTF-8.
short ExecDirectText(void* stmt, const QString& text, bool narrow);
