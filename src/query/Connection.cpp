#include "query/Database.h"

#include <QDateTime>
#include <algorithm>
#include <chrono>
#include <odbcinst.h>

#include "query/ColumnRead.h"
#include "query/ConnectionThread.h"
#include "query/Dialect.h"
#include "query/DriverText.h"
#include "query/OdbcCalls.h"
#include "query/StatementText.h"
#include "support/Answerer.h"

using namespace Odbc;

// unixODBC's own choice of its user and system odbc.ini, as "odbcinst -j" prints them: exported by
// libodbcinst, but declared only in a header made for building unixODBC itself.
extern "C" BOOL _odbcinst_UserINI(char* fileName, BOOL verify);
extern "C" BOOL _odbcinst_SystemINI(char* fileName, BOOL verify);

namespace {

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

// What the operator needs when unixODBC finds no data source of that name: where it looked (ODBCINI
// and ODBCSYSINI count as they do for unixODBC) and where to read how to define one.
QString MissingDataSourceText(const QString& dsn) {
    char user[FILENAME_MAX] = {};
    char system[FILENAME_MAX] = {};
    QStringList files;
    if (_odbcinst_UserINI(user, 0) && user[0])
        files << QString::fromLocal8Bit(user) +
                     (qEnvironmentVariableIsSet("ODBCINI") ? " (named by ODBCINI)" : "");
    if (_odbcinst_SystemINI(system, 0) && system[0])
        files << QString::fromLocal8Bit(system);
    return QString("The ODBC data source %1 is not defined: unixODBC found no section [%1] with a Driver "
                   "line in %2. Define it in one of them as the README's section \"Pointing it at your "
                   "databases\" shows.")
        .arg(dsn, files.join(" or "));
}

} // namespace

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
        // Named as the operator defined it in odbc.ini, not by the program's inner name.
        if (!Answerer().Login(AliasName, userName, password))
            throw EDatabaseError(QString("Login to database %1 was cancelled.").arg(DatabaseName));
    }
    Connect(userName, password);
}

void TDatabase::Connect(const QString& userName, const QString& password) {
    const QString connection = ConnectionString(userName, password);
    const QString alias = AliasName;
    const TTimeLimits& limits = TimeLimits();
    const SQLHENV env = Environment();
    auto thread = std::make_shared<TConnectionThread>();
    SQLHDBC dbc = SQL_NULL_HDBC;
    QString failure;
    bool psql = false, wide = true;
    QString dbms;
    const std::vector<TSocket> before = OpenSockets();
    const QDateTime started = QDateTime::currentDateTimeUtc();
    // The whole login runs on the connection's thread, as every later call on it: a driver may wait for
    // a server that accepted the connection and never answers longer than its own login limit
    // (MariaDB's waits for the greeting without one).
    const TWaitResult wait = WaitForLogin(*thread, before, limits.LoginSeconds, [&]() -> short {
        const TUtf8CodesetScope utf8; // a locale is its thread's own
        SQLRETURN rc = SQLAllocHandle(SQL_HANDLE_DBC, env, &dbc);
        if (!SQL_SUCCEEDED(rc)) {
            failure = ErrorText(SQL_HANDLE_ENV, env, rc, "Allocating a connection");
            dbc = SQL_NULL_HDBC;
            return rc;
        }
        // Both limits are hints a driver may not know (the SQLite driver has no login, the PostgreSQL
        // driver takes the login limit and ignores the other): refusing one is no error, as the
        // statement limit is kept by the program's own wait in any case.
        SQLSetConnectAttr(dbc, SQL_ATTR_LOGIN_TIMEOUT,
                          reinterpret_cast<SQLPOINTER>(SQLULEN(limits.LoginSeconds)), 0);
        SQLSetConnectAttr(dbc, SQL_ATTR_CONNECTION_TIMEOUT,
                          reinterpret_cast<SQLPOINTER>(SQLULEN(limits.StatementSeconds)), 0);
        rc = SQLDriverConnectW(dbc, nullptr, W(connection), SQLSMALLINT(connection.size()), nullptr, 0,
                               nullptr, SQL_DRIVER_NOPROMPT);
        if (!SQL_SUCCEEDED(rc)) {
            QStringList states;
            failure = Diagnostics(SQL_HANDLE_DBC, dbc, &states);
            if (failure.isEmpty())
                failure = ErrorText(SQL_HANDLE_DBC, nullptr, rc, "Connecting");
            if (states.contains("IM002"))
                failure = MissingDataSourceText(alias) + '\n' + failure;
            SQLFreeHandle(SQL_HANDLE_DBC, dbc);
            dbc = SQL_NULL_HDBC;
            return rc;
        }
        psql = IsPsqlOdbc(dbc);
        wide = DriverHasWideCalls(dbc, alias);
        dbms = InfoText(dbc, SQL_DBMS_NAME);
        return rc;
    });
    if (!SQL_SUCCEEDED(wait.Rc)) {
        QString text = failure;
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
    sockets_ = NewSockets(before, OpenSockets());
    // A file engine has no server that could fall silent: its calls stay on the caller's thread, at no
    // cost.
    if (!sockets_.empty())
        thread_ = std::move(thread);
    else
        startThread_ = std::move(thread);
    cursorOnRequest_ = psql;
    narrowText_ = !wide;
    dbmsName_ = dbms;
    static quint64 lastConnectionId = 0;
    connectionId_ = ++lastConnectionId;
    lost_ = false;
    hasLogin_ = true;
    loginUser_ = userName;
    loginPassword_ = password;
    utf8Narrow_ = ReadsUtf8Whole();
}

// MariaDB's driver ends a text read as UTF-16 at its first NUL character (counts some texts a few
// characters short, and ends a parameter beyond the basic plane with a NUL), while its narrow texts are
// the server's bytes whole both ways: those are UTF-8 when the session's character set is.
// SQLite keeps its texts as UTF-8, which its driver hands out as they are; made UTF-16 by the driver,
// they cost a third of the reading.
bool TDatabase::ReadsUtf8Whole() {
    const TEngineKind engine = EngineFromName(dbmsName_);
    if (engine == TEngineKind::SQLite)
        return true;
    if (engine != TEngineKind::MariaDB)
        return false;
    const SQLHDBC dbc = dbc_;
    const bool narrow = narrowText_;
    QByteArray value;
    const TWaitResult wait = Wait(nullptr, [dbc, narrow, &value]() -> short {
        SQLHSTMT stmt = SQL_NULL_HSTMT;
        SQLRETURN rc = SQLAllocHandle(SQL_HANDLE_STMT, dbc, &stmt);
        if (!SQL_SUCCEEDED(rc))
            return rc;
        rc = ExecDirectText(stmt, "select @@character_set_results", narrow);
        if (SQL_SUCCEEDED(rc))
            rc = SQLFetch(stmt);
        bool null = false;
        if (SQL_SUCCEEDED(rc))
            rc = ReadBytes(stmt, 1, true, value, null);
        SQLFreeHandle(SQL_HANDLE_STMT, stmt);
        return rc;
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
    const SQLHDBC dbc = dbc_;
    if (directStmt_)
        FreeStatement(directStmt_);
    directStmt_ = nullptr;
    // Closing discards uncommitted work, as every engine does on disconnect; a pending transaction (a script
    // that began one) would otherwise keep the connection from closing.
    CallQuietly([dbc]() -> short {
        if (!SQL_SUCCEEDED(SQLDisconnect(dbc))) {
            SQLEndTran(SQL_HANDLE_DBC, dbc, SQL_ROLLBACK);
            SQLDisconnect(dbc);
        }
        return SQLFreeHandle(SQL_HANDLE_DBC, dbc);
    });
    dbc_ = nullptr;
    started_ = startedDone_ = false;
    thread_.reset();
    startThread_.reset();
    dbmsName_.clear();
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

void TDatabase::Start(void* stmt, std::function<short()> call) {
    if (started_)
        throw EDatabaseError("A statement was started on a connection that still runs another.");
    started_ = true;
    startedStmt_ = stmt;
    const std::shared_ptr<TConnectionThread>& thread = thread_ ? thread_ : startThread_;
    if (!thread) {
        startedWait_ = TWaitResult();
        startedWait_.Rc = call();
        startedDone_ = true;
        return;
    }
    startedDone_ = false;
    startedCall_ = std::move(call);
    thread->Post(startedCall_);
}

void TDatabase::SettleStarted() {
    if (!started_ || startedDone_)
        return;
    const std::shared_ptr<TConnectionThread> thread = thread_ ? thread_ : startThread_;
    startedWait_ = AwaitServer(*thread, startedStmt_, sockets_); // raises before waiting, if at all
    startedDone_ = true;
    startedCall_ = nullptr;
    if (startedWait_.SocketsShut)
        lost_ = true;
}

TWaitResult TDatabase::Finish() {
    if (!started_)
        throw EDatabaseError(QString("The connection to database %1 was closed before a statement's answer "
                                     "was read.")
                                 .arg(DatabaseName));
    SettleStarted();
    started_ = false;
    startedDone_ = false;
    TWaitResult wait = startedWait_;
    startedWait_ = TWaitResult();
    if (wait.HookError) {
        const std::exception_ptr error = wait.HookError;
        wait.HookError = nullptr;
        std::rethrow_exception(error);
    }
    return wait;
}

TWaitResult TDatabase::Wait(void* stmt, const std::function<short()>& call) {
    SettleStarted();
    const std::shared_ptr<TConnectionThread> thread = thread_;
    const TWaitResult wait = WaitForServer(thread.get(), stmt, sockets_, call);
    if (wait.SocketsShut)
        lost_ = true;
    return wait;
}

void TDatabase::CallQuietly(const std::function<short()>& call) noexcept {
    try {
        Wait(nullptr, call);
    } catch (...) {
        // A clean-up asked for from the window's pump during another wait: its handle stays with the
        // driver until the program ends, which harms nothing that follows.
    }
}

void* TDatabase::AllocStatement() {
    const SQLHDBC dbc = dbc_;
    SQLHSTMT stmt = SQL_NULL_HSTMT;
    QString failure;
    const TWaitResult wait = Wait(nullptr, [dbc, &stmt, &failure]() -> short {
        const SQLRETURN rc = SQLAllocHandle(SQL_HANDLE_STMT, dbc, &stmt);
        if (!SQL_SUCCEEDED(rc))
            failure = ErrorText(SQL_HANDLE_DBC, dbc, rc, "Allocating a statement");
        return rc;
    });
    if (!SQL_SUCCEEDED(wait.Rc)) {
        const QString end = WaitEndText(wait);
        throw EDatabaseError(end.isEmpty() ? failure : end + '\n' + failure, lost_);
    }
    return stmt;
}

void TDatabase::FreeStatement(void* stmt) noexcept {
    CallQuietly([stmt] { return SQLFreeHandle(SQL_HANDLE_STMT, stmt); });
}

EDatabaseError TDatabase::StatementError(void* stmt, short rc, const char* action, const TWaitResult& wait) {
    QStringList states;
    QString text;
    if (stmt)
        CallQuietly([stmt, &states, &text]() -> short {
            text = Diagnostics(SQL_HANDLE_STMT, stmt, &states);
            return SQL_SUCCESS;
        });
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
        if (SQL_SUCCEEDED(rc)) {
            moved = SQLMoreResults(static_cast<SQLHSTMT>(stmt));
            // The usual statement ends here, and its cursor with it: no hand-over more to close it.
            if (moved == SQL_NO_DATA)
                SQLFreeStmt(static_cast<SQLHSTMT>(stmt), SQL_CLOSE);
        }
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
    // One handle serves every such statement of the connection, so each costs one hand-over.
    if (!directStmt_)
        directStmt_ = AllocStatement();
    void* const stmt = directStmt_;
    short moved = SQL_NO_DATA;
    const TWaitResult wait = ExecAndMoveOn(stmt, statement, moved);
    if (wait.Rc == SQL_NO_DATA || (SQL_SUCCEEDED(wait.Rc) && moved == SQL_NO_DATA))
        return;
    const auto close = [stmt] { return SQLFreeStmt(static_cast<SQLHSTMT>(stmt), SQL_CLOSE); };
    try {
        if (!SQL_SUCCEEDED(wait.Rc))
            throw StatementError(stmt, wait.Rc, "Executing the statement", wait);
        DrainResults(stmt, moved, wait);
    } catch (...) {
        CallQuietly(close);
        throw;
    }
    CallQuietly(close);
}
