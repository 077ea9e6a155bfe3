#pragma once

// What the program does to a statement's text and its execution before a driver sees them: ":NAME"
// parameter markers become '?' markers, and psqlODBC is asked to read a large result through a cursor.

#include <QString>
#include <QStringList>
#include <sql.h>

struct TParsedStatement {
    QString text;
    QStringList markers; // parameter name of each '?', in order
};

// ":NAME" and ':"NAME"' markers outside quotes, identifiers and comments become '?' markers. A text
// without a ':' comes back empty with no markers: it is sent as it is, without a copy.
TParsedStatement ParseStatement(const QString& sql);

// Whether the connection's driver is PostgreSQL's psqlODBC.
bool IsPsqlOdbc(SQLHDBC dbc);

// Turns psqlODBC's cursor reading on for the statements executed while it lives, and back to what
// the data source says afterwards. Only the statement whose rows a transfer walks asks for it: an
// open cursor holds a transaction open on its connection, which other statements there must not
// run inside. The portion size stays: the driver reads it again at every later read of the cursor
// (restored, every portion after the first was the data source's 100 rows), and it touches nothing
// but cursors.
class TPortionScope {
public:
    TPortionScope(SQLHDBC dbc, bool wanted);
    ~TPortionScope();
    TPortionScope(const TPortionScope&) = delete;
    TPortionScope& operator=(const TPortionScope&) = delete;

private:
    SQLHDBC dbc_ = nullptr;
};
