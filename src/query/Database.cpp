#include "query/Database.h"

#include <QDateTime>
#include <algorithm>
#include <chrono>
#include <langinfo.h>
#include <locale.h>
#include <odbcinst.h>
#include <sql.h>
#include <sqlext.h>
#include <sqlucode.h>

#include "query/ColumnRead.h"
#include "query/DatabaseValues.h"
#include "query/Dialect.h"
#include "query/DriverText.h"
#include "support/Answerer.h"

static_assert(sizeof(SQLWCHAR) == sizeof(char16_t), "unixODBC's SQLWCHAR is expected to be UTF-16");

namespace {

using namespace DatabaseValues;

// ---------------------------------------------------------------------------------------------------------
// ODBC plumbing

SQLWCHAR* W(const QString& s) {
    return const_cast<SQLWCHAR*>(reinterpret_cast<const SQLWCHAR*>(s.utf16()));
}

QString FromW(const SQLWCHAR* p, qsizetype length) {
    return QString::fromUtf16(reinterpret_cast<const char16_t*>(p), length);
}

// The engine's own diagnostic texts, one line per record, and their SQLSTATEs.
QString Diagnostics(SQLSMALLINT handleType, SQLHANDLE handle, QStringList* states = nullptr) {
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

// unixODBC converts the wide calls for drivers without wide entry points (the SQLite driver among them)
// through iconv, using the codeset of the locale in force when the connection handle is allocated. Under a
// locale that is not UTF-8 every letter outside ASCII would reach such a driver mangled, so the connection
// is made under a UTF-8 codeset (for this thread only).
class TUtf8CodesetScope {
public:
    TUtf8CodesetScope() {
        const char* codeset = nl_langinfo(CODESET);
        if (qstricmp(codeset, "UTF-8") == 0 || qstricmp(codeset, "UTF8") == 0)
            return;
        static const locale_t utf8 = newlocale(LC_CTYPE_MASK, "C.UTF-8", locale_t(nullptr));
        if (utf8)
            previous_ = uselocale(utf8);
    }
    ~TUtf8CodesetScope() {
        if (previous_)
            uselocale(previous_);
    }
    TUtf8CodesetScope(const TUtf8CodesetScope&) = delete;
    TUtf8CodesetScope& operator=(const TUtf8CodesetScope&) = delete;

private:
    locale_t previous_ = nullptr;
};

class TStatementHandle {
public:
    explicit TStatementHandle(SQLHDBC dbc) {
        const SQLRETURN rc = SQLAllocHandle(SQL_HANDLE_STMT, dbc, &h);
        if (!SQL_SUCCEEDED(rc))
            Fail(SQL_HANDLE_DBC, dbc, rc, "Allocating a statement");
    }
    ~TStatementHandle() { SQLFreeHandle(SQL_HANDLE_STMT, h); }
    TStatementHandle(const TStatementHandle&) = delete;
    TStatementHandle& operator=(const TStatementHandle&) = delete;
    SQLHSTMT h = SQL_NULL_HSTMT;
};

// Whether a failure means the connection itself broke: SQLSTATE class 08 (connection exception), the
// server ending the session (57P01-57P03), or a driver that says so only in words.
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

// ---------------------------------------------------------------------------------------------------------
// Connections

std::vector<TDatabase*>& Registry() {
    static std::vector<TDatabase*> registry;
    return registry;
}

// The value of a KEY=VALUE line (key without regard to case); empty when absent.
QString ParamValue(const QStringList& params, const QString& key) {
    for (const QString& line : params) {
        const qsizetype eq = line.indexOf('=');
        if (eq >= 0 && line.left(eq).trimmed().compare(key, Qt::CaseInsensitive) == 0)
            return line.mid(eq + 1);
    }
    return {};
}

// A connection-string value, braced when it holds characters that would end or alter the attribute.
QString AttributeValue(const QString& value) {
    static const QString reserved = QStringLiteral("[]{}(),;?*=!@");
    const bool braced = value != value.trimmed() ||
                        std::any_of(value.begin(), value.end(), [](QChar c) { return reserved.contains(c); });
    if (!braced)
        return value;
    return '{' + QString(value).replace('}', QStringLiteral("}}")) + '}';
}

// The user name configured for a data source, offered in the login prompt.
QString DataSourceUser(const QString& dsn) {
    const QByteArray section = dsn.toUtf8();
    for (const char* key : {"UID", "Username", "User"}) {
        char buffer[512] = {};
        const int n =
            SQLGetPrivateProfileString(section.constData(), key, "", buffer, int(sizeof buffer), "odbc.ini");
        if (n > 0 && buffer[0])
            return QString::fromUtf8(buffer, qstrnlen(buffer, sizeof buffer));
    }
    return {};
}

enum class TReadKind { Text, Binary, Double };

TReadKind ReadKindOf(TFieldType type, SQLSMALLINT sqlType) {
    if (type == TFieldType::ftBlob || type == TFieldType::ftBytes)
        return TReadKind::Binary;
    // PostgreSQL's money reads as text with a currency sign and group separators of the server's locale;
    // as a double it arrives clean.
    if (type == TFieldType::ftCurrency &&
        (sqlType == SQL_FLOAT || sqlType == SQL_DOUBLE || sqlType == SQL_REAL))
        return TReadKind::Double;
    return TReadKind::Text;
}

// ---------------------------------------------------------------------------------------------------------
// Parameters: ":NAME" markers outside quotes, identifiers and comments become '?' markers.

struct TParsedStatement {
    QString text;
    QStringList markers; // parameter name of each '?', in order
};

bool IsNameStart(QChar c) {
    return c.isLetter() || c == '_';
}
bool IsNamePart(QChar c) {
    return c.isLetterOrNumber() || c == '_' || c == '$';
}

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

struct TColumnData {
    QString raw;
    bool null = true;
    TReadKind kind = TReadKind::Text;
};

// psqlODBC's own connection attributes: whether a SELECT is read through a cursor, and how many
// rows each read of that cursor brings.
constexpr SQLINTEGER psqlUseDeclareFetch = 65539;
constexpr SQLINTEGER psqlFetch = 65541;
constexpr SQLULEN portionRows = 1000;

bool IsPsqlOdbc(SQLHDBC dbc) {
    SQLWCHAR name[128] = {};
    SQLSMALLINT bytes = 0;
    if (!SQL_SUCCEEDED(SQLGetInfoW(dbc, SQL_DRIVER_NAME, name, SQLSMALLINT(sizeof name), &bytes)))
        return false;
    const QString driver =
        FromW(name, std::min<qsizetype>(bytes / qsizetype(sizeof(SQLWCHAR)), qsizetype(std::size(name) - 1)));
    return driver.startsWith("psqlodbc", Qt::CaseInsensitive);
}

// Turns psqlODBC's cursor reading on for the statements executed while it lives, and back to what
// the data source says afterwards. Only the statement whose rows a transfer walks asks for it: an
// open cursor holds a transaction open on its connection, which other statements there must not
// run inside. The portion size stays: the driver reads it again at every later read of the cursor
// (restored, every portion after the first was the data source's 100 rows), and it touches nothing
// but cursors.
class TPortionScope {
public:
    TPortionScope(SQLHDBC dbc, bool wanted) {
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
    ~TPortionScope() {
        if (dbc_)
            SQLSetConnectAttrW(dbc_, psqlUseDeclareFetch, reinterpret_cast<SQLPOINTER>(0), 0);
    }
    TPortionScope(const TPortionScope&) = delete;
    TPortionScope& operator=(const TPortionScope&) = delete;

private:
    SQLHDBC dbc_ = nullptr;
};

} // namespace

// ---- TDatabase

TDatabase::TDatabase() {
    Registry().push_back(this);
}

TDatabase::~TDatabase() {
    Close();
    auto& registry = Registry();
    registry.erase(std::remove(registry.begin(), registry.end(), this), registry.end());
}

TDatabase* FindDatabase(const QString& databaseName) {
    for (TDatabase* db : Registry())
        if (db->DatabaseName.compare(databaseName, Qt::CaseInsensitive) == 0)
            return db;
    return nullptr;
}

QString TDatabase::ConnectionString(const QString& userName, const QString& password) const {
    QString s = "DSN=" + AttributeValue(AliasName) + ';';
    // Without a user name the data source's own configuration applies.
    if (!userName.isEmpty())
        s += "UID=" + AttributeValue(userName) + ';';
    if (!password.isEmpty())
        s += "PWD=" + AttributeValue(password) + ';';
    // The SQLite driver holds a whole result in memory unless it steps through the rows as they are
    // fetched; a data source that does not choose steps, so a large source table costs no memory.
    if (DataSourceDialect(AliasName).Engine == TEngineKind::SQLite) {
        char step[16] = {};
        const QByteArray section = AliasName.toUtf8();
        if (SQLGetPrivateProfileString(section.constData(), "StepAPI", "", step, int(sizeof step),
                                       "odbc.ini") <= 0)
            s += "StepAPI=1;";
    }
    return s;
}

void TDatabase::Open() {
    if (dbc_)
        return;
    if (AliasName.trimmed().isEmpty())
        throw EDatabaseError(QString("No data source is set for database %1.").arg(DatabaseName));
    QString userName = ParamValue(Params, "USER NAME");
    QString password = ParamValue(Params, "PASSWORD");
    if (LoginPrompt) {
        if (userName.isEmpty())
            userName = DataSourceUser(AliasName);
        password.clear();
        if (!Answerer().Login(DatabaseName, userName, password))
            throw EDatabaseError(QString("Login to database %1 was cancelled.").arg(DatabaseName));
    }
    Connect(userName, password);
}

void TDatabase::Connect(const QString& userName, const QString& password) {
    const QString connection = ConnectionString(userName, password);
    const TTimeLimits& limits = TimeLimits();

    TUtf8CodesetScope utf8;
    SQLHDBC dbc = SQL_NULL_HDBC;
    SQLRETURN rc = SQLAllocHandle(SQL_HANDLE_DBC, Environment(), &dbc);
    if (!SQL_SUCCEEDED(rc))
        Fail(SQL_HANDLE_ENV, Environment(), rc, "Allocating a connection");
    // Both limits are hints a driver may not know (the SQLite driver has no login, the PostgreSQL
    // driver takes the login limit and ignores the other): refusing one is no error, as the statement
    // limit is kept by the program's own wait in any case.
    SQLSetConnectAttr(dbc, SQL_ATTR_LOGIN_TIMEOUT, reinterpret_cast<SQLPOINTER>(SQLULEN(limits.LoginSeconds)),
                      0);
    SQLSetConnectAttr(dbc, SQL_ATTR_CONNECTION_TIMEOUT,
                      reinterpret_cast<SQLPOINTER>(SQLULEN(limits.StatementSeconds)), 0);
    const std::vector<TSocket> before = OpenSockets();
    const QDateTime started = QDateTime::currentDateTimeUtc();
    // Off this thread: a driver may wait for a server that accepted the connection and never answers
    // longer than its own login limit (MariaDB's waits for the greeting without one).
    const TWaitResult wait = WaitForLogin(before, limits.LoginSeconds, [&] {
        const TUtf8CodesetScope connecting; // a locale is its thread's own
        return SQLDriverConnectW(dbc, nullptr, W(connection), SQLSMALLINT(connection.size()), nullptr, 0,
                                 nullptr, SQL_DRIVER_NOPROMPT);
    });
    rc = wait.Rc;
    if (!SQL_SUCCEEDED(rc)) {
        QString text = ErrorText(SQL_HANDLE_DBC, dbc, rc, "Connecting");
        SQLFreeHandle(SQL_HANDLE_DBC, dbc);
        const qint64 waited = started.msecsTo(QDateTime::currentDateTimeUtc());
        if (wait.End == TWaitEnd::Cancelled)
            throw EDatabaseError(QString("Login to database %1 was cancelled.").arg(DatabaseName));
        if (limits.LoginSeconds > 0 && waited >= limits.LoginSeconds * 900LL)
            text = QString("The server of database %1 (data source %2) did not answer the login within %3 "
                           "seconds (LOGIN_TIMEOUT in TransferSettings.ini).\n")
                       .arg(DatabaseName, AliasName)
                       .arg(limits.LoginSeconds) +
                   text;
        throw EDatabaseError(text);
    }
    dbc_ = dbc;
    cursorOnRequest_ = IsPsqlOdbc(dbc);
    narrowText_ = !DriverHasWideCalls(dbc, AliasName);
    utf8Narrow_ = ReadsUtf8Whole();
    static quint64 lastConnectionId = 0;
    connectionId_ = ++lastConnectionId;
    lost_ = false;
    sockets_ = NewSockets(before, OpenSockets());
    hasLogin_ = true;
    loginUser_ = userName;
    loginPassword_ = password;
}

// MariaDB's driver ends a text read as UTF-16 at its first NUL character (counts some texts a few
// characters short, and ends a parameter beyond the basic plane with a NUL), while its narrow texts are
// the server's bytes whole both ways: those are UTF-8 when the session's character set is.
bool TDatabase::ReadsUtf8Whole() {
    SQLWCHAR name[128] = {};
    SQLSMALLINT bytes = 0;
    if (!SQL_SUCCEEDED(SQLGetInfoW(dbc_, SQL_DBMS_NAME, name, SQLSMALLINT(sizeof name), &bytes)) ||
        EngineFromName(FromW(name, std::min<qsizetype>(bytes / qsizetype(sizeof(SQLWCHAR)), 127))) !=
            TEngineKind::MariaDB)
        return false;
    TStatementHandle stmt(dbc_);
    QByteArray value;
    const bool narrow = narrowText_;
    const TWaitResult wait = Wait(stmt.h, [&stmt, &value, narrow] {
        SQLRETURN rc = ExecDirectText(stmt.h, "select @@character_set_results", narrow);
        if (SQL_SUCCEEDED(rc))
            rc = SQLFetch(stmt.h);
        bool null = false;
        return SQL_SUCCEEDED(rc) ? ReadBytes(stmt.h, 1, true, value, null) : rc;
    });
    return wait.Rc == SQL_SUCCESS && value.toLower().startsWith("utf8");
}

void TDatabase::Reopen() {
    // A server that restarts refuses connections for a few seconds: tried again with a growing pause.
    // Asking the operator for a login again and again is no retry, so only a known login is repeated.
    const bool repeatable = hasLogin_ || !LoginPrompt;
    const int window = ReconnectWindowMs();
    const auto start = std::chrono::steady_clock::now();
    for (int pause = 250;; pause = std::min(pause * 2, 4000)) {
        Close();
        try {
            if (hasLogin_)
                Connect(loginUser_, loginPassword_);
            else
                Open();
            return;
        } catch (const EDatabaseError&) {
            const auto spent = std::chrono::duration_cast<std::chrono::milliseconds>(
                std::chrono::steady_clock::now() - start);
            if (!repeatable || spent.count() + pause > window || PauseBeforeRetry(pause))
                throw;
        }
    }
}

void TDatabase::Close() {
    while (!clients_.empty())
        clients_.back()->ReleaseStatement();
    if (!dbc_)
        return;
    // Closing discards uncommitted work, as every engine does on disconnect; a pending transaction (a script
    // that began one) would otherwise keep the connection from closing.
    if (!SQL_SUCCEEDED(SQLDisconnect(dbc_))) {
        SQLEndTran(SQL_HANDLE_DBC, dbc_, SQL_ROLLBACK);
        SQLDisconnect(dbc_);
    }
    SQLFreeHandle(SQL_HANDLE_DBC, dbc_);
    dbc_ = nullptr;
    lost_ = false;
    sockets_.clear();
}

bool TDatabase::Connected() const {
    return dbc_ != nullptr;
}

bool TDatabase::Lost() const {
    return dbc_ && lost_;
}

void* TDatabase::Handle() {
    return dbc_;
}

TWaitResult TDatabase::Wait(void* stmt, const std::function<short()>& call) {
    const TWaitResult wait = WaitForServer(stmt, sockets_, call);
    if (wait.SocketsShut)
        lost_ = true;
    return wait;
}

EDatabaseError TDatabase::StatementError(void* stmt, short rc, const char* action, const TWaitResult& wait) {
    QStringList states;
    QString text = stmt ? Diagnostics(SQL_HANDLE_STMT, stmt, &states) : QString();
    if (text.isEmpty())
        text = ErrorText(SQL_HANDLE_STMT, nullptr, rc, action);
    if (BrokenConnection(states, text))
        lost_ = true;
    const QString end = WaitEndText(wait);
    if (!end.isEmpty())
        text = end + '\n' + text;
    EDatabaseError error(text, lost_ || wait.SocketsShut);
    error.Canceled = wait.End == TWaitEnd::Cancelled;
    return error;
}

TWaitResult TDatabase::ExecAndMoveOn(void* stmt, const QString& text, short& moved) {
    moved = SQL_NO_DATA;
    const bool narrow = narrowText_;
    return Wait(stmt, [stmt, &text, &moved, narrow] {
        const SQLRETURN rc = ExecDirectText(stmt, text, narrow);
        if (SQL_SUCCEEDED(rc))
            moved = SQLMoreResults(static_cast<SQLHSTMT>(stmt));
        return rc;
    });
}

// Runs the rest of a batch, so errors of its later statements are raised too.
void TDatabase::DrainResults(void* stmt, short rc, TWaitResult wait) {
    for (;;) {
        if (rc == SQL_NO_DATA)
            return;
        if (!SQL_SUCCEEDED(rc))
            throw StatementError(stmt, rc, "Executing the statement", wait);
        wait = Wait(stmt, [stmt] { return SQLMoreResults(stmt); });
        rc = wait.Rc;
    }
}

void TDatabase::ExecDirect(const QString& statement) {
    if (Lost())
        Reopen();
    Open();
    TStatementHandle stmt(dbc_);
    short moved = SQL_NO_DATA;
    const TWaitResult wait = ExecAndMoveOn(stmt.h, statement, moved);
    if (wait.Rc == SQL_NO_DATA)
        return;
    if (!SQL_SUCCEEDED(wait.Rc))
        throw StatementError(stmt.h, wait.Rc, "Executing the statement", wait);
    DrainResults(stmt.h, moved, wait);
}

// ---- TQuery

struct TQuery::TImpl {
    TDatabase* db = nullptr; // the connection the statement handle lives on
    SQLHSTMT stmt = SQL_NULL_HSTMT;
    bool active = false;
    bool cursorOpen = false;
    bool bof = true;
    bool eof = true;
    bool hadRow = false;
    std::vector<TField> fields;
    std::vector<TColumnData> columns;
    QByteArray bytes;

    std::vector<TParam> params;
    QString paramsSource;
    bool paramsParsed = false;
    TParsedStatement parsed;
    std::vector<QString> boundValues;
    std::vector<SQLLEN> boundLengths;
    std::vector<QByteArray> boundUtf8;

    void RefreshParams(const QString& sql) {
        if (paramsParsed && sql == paramsSource)
            return;
        parsed = ParseStatement(sql);
        std::vector<TParam> refreshed;
        for (const QString& name : parsed.markers) {
            auto same = [&](const TParam& p) { return p.Name.compare(name, Qt::CaseInsensitive) == 0; };
            if (std::any_of(refreshed.begin(), refreshed.end(), same))
                continue;
            auto old = std::find_if(params.begin(), params.end(), same);
            refreshed.push_back({name, old != params.end() ? old->Value : QString()});
        }
        params = std::move(refreshed);
        paramsSource = sql;
        paramsParsed = true;
    }

    void ResetState() {
        active = cursorOpen = hadRow = false;
        bof = eof = true;
        fields.clear();
        columns.clear();
    }

    void CloseCursor() noexcept {
        // Closing a cursor has nothing the caller could act on; the handle is reset on its next use.
        if (stmt)
            SQLFreeStmt(stmt, SQL_CLOSE);
        cursorOpen = false;
    }

    [[noreturn]] void FailStatement(SQLRETURN rc, const char* action, const TWaitResult& wait = {}) {
        EDatabaseError error = db ? db->StatementError(stmt, rc, action, wait)
                                  : EDatabaseError(ErrorText(SQL_HANDLE_STMT, stmt, rc, action));
        CloseCursor();
        ResetState();
        throw error;
    }

    void ReadText(SQLUSMALLINT column, TColumnData& data) {
        const bool utf8 = db->utf8Narrow_;
        const SQLRETURN rc = utf8 ? ReadBytes(stmt, column, true, bytes, data.null)
                                  : ReadWideText(stmt, column, data.raw, data.null);
        if (rc != SQL_SUCCESS)
            FailStatement(rc, "Reading a column");
        if (utf8)
            data.raw = QString::fromUtf8(bytes);
    }

    void ReadBinary(SQLUSMALLINT column, TColumnData& data) {
        const SQLRETURN rc = ReadBytes(stmt, column, false, bytes, data.null);
        if (rc != SQL_SUCCESS)
            FailStatement(rc, "Reading a column");
        HexDigits(bytes, data.raw);
    }

    void ReadDouble(SQLUSMALLINT column, TColumnData& data) {
        double v = 0;
        SQLLEN indicator = 0;
        const SQLRETURN rc = SQLGetData(stmt, column, SQL_C_DOUBLE, &v, sizeof v, &indicator);
        if (!SQL_SUCCEEDED(rc))
            FailStatement(rc, "Reading a column");
        data.null = indicator == SQL_NULL_DATA;
        if (data.null) {
            data.raw.resize(0);
            return;
        }
        // Money carries at most four decimals.
        QString text = QString::number(v, 'f', 4);
        while (text.endsWith('0'))
            text.chop(1);
        if (text.endsWith('.'))
            text.chop(1);
        data.raw = text;
    }

    // The hot path of every transfer: one fetch, then each column into its reused buffer.
    bool FetchRow() {
        const SQLHSTMT h = stmt;
        const TWaitResult wait = db->Wait(h, [h] { return SQLFetch(h); });
        if (wait.Rc == SQL_NO_DATA)
            return false;
        if (!SQL_SUCCEEDED(wait.Rc))
            FailStatement(wait.Rc, "Fetching a row", wait);
        for (size_t i = 0; i < columns.size(); ++i) {
            TColumnData& data = columns[i];
            const SQLUSMALLINT column = SQLUSMALLINT(i + 1);
            switch (data.kind) {
            case TReadKind::Text:
                ReadText(column, data);
                break;
            case TReadKind::Binary:
                ReadBinary(column, data);
                break;
            case TReadKind::Double:
                ReadDouble(column, data);
                break;
            }
        }
        return true;
    }

    void Describe(const TQuery* owner, SQLSMALLINT count) {
        fields.resize(size_t(count));
        columns.resize(size_t(count));
        std::vector<SQLWCHAR> name(256);
        for (SQLSMALLINT i = 0; i < count; ++i) {
            const SQLUSMALLINT column = SQLUSMALLINT(i + 1);
            TColumnInfo info;
            SQLSMALLINT nameLength = 0, sqlType = SQL_UNKNOWN_TYPE, digits = 0, nullable = 0;
            SQLULEN columnSize = 0;
            SQLRETURN rc = SQLDescribeColW(stmt, column, name.data(), SQLSMALLINT(name.size()), &nameLength,
                                           &sqlType, &columnSize, &digits, &nullable);
            if (SQL_SUCCEEDED(rc) && nameLength >= SQLSMALLINT(name.size())) {
                name.resize(size_t(nameLength) + 1);
                rc = SQLDescribeColW(stmt, column, name.data(), SQLSMALLINT(name.size()), &nameLength,
                                     &sqlType, &columnSize, &digits, &nullable);
            }
            if (!SQL_SUCCEEDED(rc))
                FailStatement(rc, "Describing a column");
            SQLWCHAR typeName[128] = {};
            SQLSMALLINT typeNameBytes = 0;
            rc = SQLColAttributeW(stmt, column, SQL_DESC_TYPE_NAME, typeName, SQLSMALLINT(sizeof typeName),
                                  &typeNameBytes, nullptr);
            if (!SQL_SUCCEEDED(rc))
                FailStatement(rc, "Describing a column");
            SQLLEN autoUnique = 0, isUnsigned = 0;
            rc = SQLColAttributeW(stmt, column, SQL_DESC_AUTO_UNIQUE_VALUE, nullptr, 0, nullptr, &autoUnique);
            if (SQL_SUCCEEDED(rc))
                rc = SQLColAttributeW(stmt, column, SQL_DESC_UNSIGNED, nullptr, 0, nullptr, &isUnsigned);
            if (!SQL_SUCCEEDED(rc))
                FailStatement(rc, "Describing a column");
            info.typeName = FromW(typeName, std::min<qsizetype>(typeNameBytes / qsizetype(sizeof(SQLWCHAR)),
                                                                qsizetype(std::size(typeName) - 1)));
            info.sqlType = sqlType;
            info.size = columnSize;
            info.autoIncrement = autoUnique == SQL_TRUE;
            info.isUnsigned = isUnsigned == SQL_TRUE;

            TField& f = fields[size_t(i)];
            f.FieldName = FromW(name.data(), nameLength);
            f.DataType = MapType(info);
            f.Size = DeclaredSize(f.DataType, info.size);
            f.Scale = f.DataType == TFieldType::ftBCD || f.DataType == TFieldType::ftCurrency ? digits : -1;
            f.TypeName = info.typeName;
            f.owner_ = owner;
            f.index_ = i;
            columns[size_t(i)].kind = ReadKindOf(f.DataType, info.sqlType);
        }
    }

    // Runs the statement text on its connection, opening the connection on demand. With drain, the
    // statement's results are not wanted: it moves on to the next one at once, and drain gets that
    // answer for DrainResults.
    struct TDrain {
        short rc = SQL_NO_DATA;
        TWaitResult wait;
    };
    SQLSMALLINT Execute(TQuery& query, TDrain* drain = nullptr) {
        CloseCursor();
        ResetState();
        TDatabase* target = FindDatabase(query.DatabaseName);
        if (!target)
            throw EDatabaseError(QString("No database connection is named '%1'.").arg(query.DatabaseName));
        if (target->Lost())
            target->ReopenForStatement();
        target->Open();
        if (target != db || !stmt) {
            query.ReleaseStatement();
            SQLHSTMT h = SQL_NULL_HSTMT;
            const SQLRETURN rc = SQLAllocHandle(SQL_HANDLE_STMT, target->Handle(), &h);
            if (!SQL_SUCCEEDED(rc))
                Fail(SQL_HANDLE_DBC, target->Handle(), rc, "Allocating a statement");
            stmt = h;
            db = target;
            target->clients_.push_back(&query);
        }
        SQLFreeStmt(stmt, SQL_RESET_PARAMS);

        RefreshParams(query.SQL.join('\n'));
        const QString& text = parsed.markers.isEmpty() ? paramsSource : parsed.text;
        boundValues.clear();
        for (const QString& name : parsed.markers) {
            auto it = std::find_if(params.begin(), params.end(), [&](const TParam& p) {
                return p.Name.compare(name, Qt::CaseInsensitive) == 0;
            });
            boundValues.push_back(it != params.end() ? it->Value : QString());
        }
        boundLengths.assign(boundValues.size(), 0);
        boundUtf8.assign(boundValues.size(), QByteArray());
        for (size_t i = 0; i < boundValues.size(); ++i) {
            const QString& v = boundValues[i];
            SQLRETURN rc;
            if (target->utf8Narrow_) {
                QByteArray& utf8 = boundUtf8[i] = v.toUtf8();
                boundLengths[i] = SQLLEN(utf8.size());
                rc = SQLBindParameter(stmt, SQLUSMALLINT(i + 1), SQL_PARAM_INPUT, SQL_C_CHAR,
                                      utf8.size() > 8000 ? SQL_LONGVARCHAR : SQL_VARCHAR,
                                      SQLULEN(std::max<qsizetype>(utf8.size(), 1)), 0, utf8.data(),
                                      boundLengths[i], &boundLengths[i]);
            } else {
                boundLengths[i] = SQLLEN(v.size() * qsizetype(sizeof(SQLWCHAR)));
                rc = SQLBindParameter(stmt, SQLUSMALLINT(i + 1), SQL_PARAM_INPUT, SQL_C_WCHAR,
                                      v.size() > 4000 ? SQL_WLONGVARCHAR : SQL_WVARCHAR,
                                      SQLULEN(std::max<qsizetype>(v.size(), 1)), 0, W(v), boundLengths[i],
                                      &boundLengths[i]);
            }
            if (!SQL_SUCCEEDED(rc))
                FailStatement(rc, "Binding a parameter");
        }

        const SQLHSTMT h = stmt;
        TWaitResult wait;
        {
            TPortionScope portions(db->Handle(), query.ReadInPortions && db->cursorOnRequest_);
            const bool narrow = db->narrowText_;
            wait = drain ? db->ExecAndMoveOn(h, text, drain->rc)
                         : db->Wait(h, [h, &text, narrow] { return ExecDirectText(h, text, narrow); });
        }
        if (wait.Rc == SQL_NO_DATA)
            return 0;
        if (!SQL_SUCCEEDED(wait.Rc))
            FailStatement(wait.Rc, "Executing the statement", wait);
        cursorOpen = true;
        if (drain) {
            // Past the first result no column count is asked for: a driver may refuse it there.
            drain->wait = wait;
            return 0;
        }
        SQLSMALLINT count = 0;
        const SQLRETURN described = SQLNumResultCols(stmt, &count);
        if (!SQL_SUCCEEDED(described))
            FailStatement(described, "Describing the result");
        return count;
    }
};

void TDatabase::ReopenForStatement() {
    for (const TQuery* client : clients_)
        if (client->d_->active)
            throw EDatabaseError(QString("The connection to database %1 was lost while a result was still "
                                         "being read on it.")
                                     .arg(DatabaseName),
                                 true);
    Reopen();
}

TQuery::TQuery() : d_(std::make_unique<TImpl>()) {}

TQuery::~TQuery() {
    ReleaseStatement();
}

void TQuery::ReleaseStatement() noexcept {
    d_->ResetState();
    if (d_->stmt)
        SQLFreeHandle(SQL_HANDLE_STMT, d_->stmt);
    d_->stmt = SQL_NULL_HSTMT;
    d_->cursorOpen = false;
    if (d_->db) {
        auto& clients = d_->db->clients_;
        clients.erase(std::remove(clients.begin(), clients.end(), this), clients.end());
        d_->db = nullptr;
    }
}

std::vector<TParam>& TQuery::Params() {
    d_->RefreshParams(SQL.join('\n'));
    return d_->params;
}

void TQuery::Open() {
    const SQLSMALLINT count = d_->Execute(*this);
    if (count <= 0) {
        d_->CloseCursor();
        throw EDatabaseError("The statement returned no result set.");
    }
    d_->Describe(this, count);
    d_->active = true;
    d_->bof = true;
    d_->hadRow = d_->FetchRow();
    d_->eof = !d_->hadRow;
}

void TQuery::ExecSQL() {
    TImpl::TDrain drain;
    d_->Execute(*this, &drain);
    if (d_->cursorOpen) {
        try {
            d_->db->DrainResults(d_->stmt, drain.rc, drain.wait);
        } catch (...) {
            d_->CloseCursor();
            throw;
        }
    }
    d_->CloseCursor();
}

void TQuery::Close() {
    d_->CloseCursor();
    d_->ResetState();
}

bool TQuery::Active() const {
    return d_->active;
}
bool TQuery::Bof() const {
    return d_->bof;
}
bool TQuery::Eof() const {
    return d_->eof;
}

namespace {
void RequireActive(bool active) {
    if (!active)
        throw EDatabaseError("Cannot perform this operation on a closed query.");
}
} // namespace

void TQuery::Next() {
    RequireActive(d_->active);
    if (d_->eof)
        return;
    d_->bof = false;
    if (!d_->cursorOpen || !d_->FetchRow()) {
        // The last row's values stay readable; the cursor (and what the engine holds for it, a
        // transaction among them) is let go at once.
        d_->eof = true;
        d_->CloseCursor();
    }
}

// Forward-only: the rest of the rows is dropped rather than read, so skipping a large table costs nothing.
void TQuery::Last() {
    RequireActive(d_->active);
    d_->CloseCursor();
    d_->eof = true;
    d_->bof = !d_->hadRow;
}

int TQuery::FieldCount() const {
    return int(d_->fields.size());
}

TField& TQuery::Fields(int index) {
    if (index < 0 || index >= FieldCount())
        throw EDatabaseError(
            QString("Field index %1 out of range (the query has %2 fields).").arg(index).arg(FieldCount()));
    return d_->fields[size_t(index)];
}

TField* TQuery::FindField(const QString& name) {
    for (TField& f : d_->fields)
        if (f.FieldName.compare(name, Qt::CaseInsensitive) == 0)
            return &f;
    return nullptr;
}

TField& TQuery::FieldByName(const QString& name) {
    if (TField* f = FindField(name))
        return *f;
    throw EDatabaseError(QString("Field '%1' not found").arg(name));
}

// ---- TField

namespace {
const QString emptyText;
}

#define KELVO_FIELD_DATA const TColumnData& data = owner_->d_->columns[size_t(index_)]

bool TField::IsNull() const {
    KELVO_FIELD_DATA;
    return data.null;
}

QString TField::AsString() const {
    KELVO_FIELD_DATA;
    return data.null ? QString() : DisplayText(DataType, data.raw);
}

double TField::AsFloat() const {
    KELVO_FIELD_DATA;
    return data.null ? 0.0 : ReadFloat(DataType, data.raw);
}

qint64 TField::AsInteger() const {
    KELVO_FIELD_DATA;
    return data.null ? 0 : ReadInteger(DataType, data.raw);
}

bool TField::AsBoolean() const {
    KELVO_FIELD_DATA;
    return !data.null && ReadBoolean(DataType, data.raw);
}

double TField::AsDateTime() const {
    KELVO_FIELD_DATA;
    return data.null ? 0.0 : ReadDateTime(DataType, data.raw);
}

const QString& TField::RawText() const {
    KELVO_FIELD_DATA;
    return data.null ? emptyText : data.raw;
}

#undef KELVO_FIELD_DATA
