#include "query/StatementText.h"

#include <algorithm>
#include <sqlext.h>

#include "query/OdbcCalls.h"

namespace {

bool IsNameStart(QChar c) {
    return c.isLetter() || c == '_';
}
bool IsNamePart(QChar c) {
    return c.isLetterOrNumber() || c == '_' || c == '$';
}

// psqlODBC's own connection attributes: whether a SELECT is read through a cursor, and how many
// rows each read of that cursor brings.
constexpr SQLINTEGER psqlUseDeclareFetch = 65539;
constexpr SQLINTEGER psqlFetch = 65541;
constexpr SQLULEN portionRows = 1000;

} // namespace

TParsedStatement ParseStatement(const QString& sql) {
    TParsedStatement out;
    if (!sql.contains(':'))
        return out; // no marker: the statement is sent as it is, without a copy (a large value's)
    out.text.reserve(sql.size());
    const qsizetype n = sql.size();
    auto copyUntil = [&](qsizetype& i, QStringView end) {
        const qsizetype found = sql.indexOf(end, i);
        const qsizetype stop = found < 0 ? n : found + end.size();
        out.text += QStringView(sql).mid(i, stop - i);
        i = stop;
    };
    for (qsizetype i = 0; i < n;) {
        const QChar c = sql[i];
        const QChar next = i + 1 < n ? sql[i + 1] : QChar();
        if (c == '\'' || c == '"') {
            out.text += c;
            ++i;
            copyUntil(i, QStringView(&c, 1)); // a doubled quote re-enters on the next round
        } else if (c == '[') {
            copyUntil(i, u"]");
        } else if (c == '-' && next == '-') {
            copyUntil(i, u"\n");
        } else if (c == '/' && next == '*') {
            out.text += u"/*";
            i += 2;
            copyUntil(i, u"*/");
        } else if (c == ':' && next == ':') { // a PostgreSQL cast
            out.text += u"::";
            i += 2;
        } else if (c == ':' && IsNameStart(next)) {
            qsizetype j = i + 1;
            while (j < n && IsNamePart(sql[j]))
                ++j;
            out.markers << sql.mid(i + 1, j - i - 1);
            out.text += '?';
            i = j;
        } else if (c == ':' && next == '"') {
            const qsizetype close = sql.indexOf('"', i + 2);
            if (close < 0) {
                out.text += c;
                ++i;
                continue;
            }
            out.markers << sql.mid(i + 2, close - i - 2);
            out.text += '?';
            i = close + 1;
        } else {
            out.text += c;
            ++i;
        }
    }
    return out;
}

bool IsPsqlOdbc(SQLHDBC dbc) {
    return Odbc::InfoText(dbc, SQL_DRIVER_NAME).startsWith("psqlodbc", Qt::CaseInsensitive);
}

TPortionScope::TPortionScope(SQLHDBC dbc, bool wanted) {
    if (!wanted)
        return;
    SQLULEN declare = 0, fetch = 0;
    if (!SQL_SUCCEEDED(SQLGetConnectAttrW(dbc, psqlUseDeclareFetch, &declare, 0, nullptr)) ||
        !SQL_SUCCEEDED(SQLGetConnectAttrW(dbc, psqlFetch, &fetch, 0, nullptr)))
        return;
    if (declare != 0)
        return; // the data source reads through cursors already
    if (!SQL_SUCCEEDED(SQLSetConnectAttrW(dbc, psqlUseDeclareFetch, reinterpret_cast<SQLPOINTER>(1), 0)))
        return;
    dbc_ = dbc;
    if (fetch < portionRows)
        SQLSetConnectAttrW(dbc, psqlFetch, reinterpret_cast<SQLPOINTER>(portionRows), 0);
}

TPortionScope::~TPortionScope() {
    if (dbc_)
        SQLSetConnectAttrW(dbc_, psqlUseDeclareFetch, reinterpret_cast<SQLPOINTER>(0), 0);
}
