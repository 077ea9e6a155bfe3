#include "query/OdbcCalls.h"

#include <algorithm>
#include <langinfo.h>
#include <locale.h>
#include <vector>

static_assert(sizeof(SQLWCHAR) == sizeof(char16_t), "unixODBC's SQLWCHAR is expected to be UTF-16");

namespace Odbc {

SQLWCHAR* W(const QString& s) {
    return const_cast<SQLWCHAR*>(reinterpret_cast<const SQLWCHAR*>(s.utf16()));
}

QString FromW(const SQLWCHAR* p, qsizetype length) {
    return QString::fromUtf16(reinterpret_cast<const char16_t*>(p), length);
}

QString Diagnostics(SQLSMALLINT handleType, SQLHANDLE handle, QStringList* states) {
    QStringList lines;
    std::vector<SQLWCHAR> message(1024);
    SQLWCHAR state[6];
    SQLINTEGER nativeError = 0;
    for (SQLSMALLINT record = 1;; ++record) {
        SQLSMALLINT length = 0;
        const SQLRETURN rc = SQLGetDiagRecW(handleType, handle, record, state, &nativeError, message.data(),
                                            SQLSMALLINT(message.size()), &length);
        if (rc == SQL_SUCCESS_WITH_INFO && length >= SQLSMALLINT(message.size())) {
            message.resize(size_t(length) + 1);
            --record;
            continue;
        }
        if (!SQL_SUCCEEDED(rc))
            break;
        lines << FromW(message.data(), length);
        if (states)
            *states << FromW(state, 5);
    }
    return lines.join('\n');
}

QString ErrorText(SQLSMALLINT handleType, SQLHANDLE handle, SQLRETURN rc, const char* action) {
    QString text = handle ? Diagnostics(handleType, handle) : QString();
    if (text.isEmpty())
        text =
            QString("%1 failed without a message from the engine (ODBC return code %2).").arg(action).arg(rc);
    return text;
}

[[noreturn]] void Fail(SQLSMALLINT handleType, SQLHANDLE handle, SQLRETURN rc, const char* action) {
    throw EDatabaseError(ErrorText(handleType, handle, rc, action));
}

QString InfoText(SQLHDBC dbc, SQLUSMALLINT info) {
    SQLWCHAR text[256] = {};
    SQLSMALLINT bytes = 0;
    if (!SQL_SUCCEEDED(SQLGetInfoW(dbc, info, text, SQLSMALLINT(sizeof text), &bytes)))
        return {};
    return FromW(text,
                 std::min<qsizetype>(bytes / qsizetype(sizeof(SQLWCHAR)), qsizetype(std::size(text) - 1)));
}

// One environment for the whole program. It is never freed: connections may outlive any static that would
// own it, and the process end releases it anyway.
SQLHENV Environment() {
    static SQLHENV env = [] {
        SQLHENV h = SQL_NULL_HENV;
        if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &h)))
            throw EDatabaseError("The ODBC driver manager could not create its environment.");
        const SQLRETURN rc =
            SQLSetEnvAttr(h, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0);
        if (!SQL_SUCCEEDED(rc)) {
            const QString text = ErrorText(SQL_HANDLE_ENV, h, rc, "Selecting ODBC 3");
            SQLFreeHandle(SQL_HANDLE_ENV, h);
            throw EDatabaseError(text);
        }
        return h;
    }();
    return env;
}

TUtf8CodesetScope::TUtf8CodesetScope() {
    const char* codeset = nl_langinfo(CODESET);
    if (qstricmp(codeset, "UTF-8") == 0 || qstricmp(codeset, "UTF8") == 0)
        return;
    static const locale_t utf8 = newlocale(LC_CTYPE_MASK, "C.UTF-8", locale_t(nullptr));
    if (utf8)
        previous_ = uselocale(utf8);
}

TUtf8CodesetScope::~TUtf8CodesetScope() {
    if (previous_)
        uselocale(previous_);
}

bool BrokenConnection(const QStringList& states, const QString& text) {
    for (const QString& state : states)
        if (state.startsWith("08") || state == "57P01" || state == "57P02" || state == "57P03")
            return true;
    static const char* const phrases[] = {"connection is down",
                                          "connection lost",
                                          "connection dead",
                                          "server closed the connection",
                                          "no connection to the server",
                                          "terminating connection",
                                          "lost connection",
                                          "server has gone away"};
    return std::any_of(std::begin(phrases), std::end(phrases),
                       [&](const char* p) { return text.contains(QLatin1String(p), Qt::CaseInsensitive); });
}

} // namespace Odbc
