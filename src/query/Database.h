#pragma once

// Database access over unixODBC: named connections, a registry that binds queries to them by database
// name, forward-only queries and their fields. Text crosses ODBC as UTF-16 and is held as QString.

#include <QString>
#include <QStringList>
#include <functional>
#include <memory>
#include <vector>

#include "platform/Errors.h"
#include "query/LargeValue.h"
#include "query/ServerWait.h"

// Raised for every engine failure; the message is the engine's own text.
class EDatabaseError : public EKelvoError {
public:
    using EKelvoError::EKelvoError;
    EDatabaseError(QString message, bool connectionLost)
        : EKelvoError(std::move(message)), ConnectionLost(connectionLost) {}
    // The connection broke: the statement's fate is unknown and the connection needs reopening.
    bool ConnectionLost = false;
    // The operator cancelled the wait: nothing failed, the run ends as cancelled.
    bool Canceled = false;
};

// Whether error is the end of a wait that the operator cancelled.
inline bool IsOperatorCancel(const std::exception& error) {
    const auto* database = dynamic_cast<const EDatabaseError*>(&error);
    return database && database->Canceled;
}

enum class TFieldType {
    ftUnknown,
    ftSmallint, // 16-bit integer
    ftInteger,  // 32-bit integer
    ftWord,     // unsigned 16-bit integer
    ftBoolean,
    ftFloat,
    ftCurrency,
    ftBCD,
    ftDate,
    ftTime,
    ftDateTime,
    ftString,     // variable-length character
    ftWideString, // variable-length national character
    ftFixedChar,
    ftGuid,
    ftLargeint,
    ftAutoInc,
    ftMemo,
    ftWideMemo,
    ftBlob,
    ftBytes,
    ftTimeStamp,
};

const char* FieldTypeName(TFieldType type);

class TQuery;
class TConnectionThread;

class TDatabase {
public:
    TDatabase();
    ~TDatabase();
    TDatabase(const TDatabase&) = delete;
    TDatabase& operator=(const TDatabase&) = delete;

    // How queries find this connection; registering happens on construction.
    QString DatabaseName;
    // The ODBC data source name.
    QString AliasName;
    bool LoginPrompt = false;
    // Stored only: a connection never closes by itself once opened, so the operator logs in to the
    // destination once and its date-format setting stays in force.
    bool KeepConnection = true;
    // KEY=VALUE lines; "USER NAME" and "PASSWORD" become UID and PWD.
    QStringList Params;

    void Open();
    void Close();
    bool Connected() const;
    // Open, but its server connection broke (the engine said so, or a wait had to cut it).
    bool Lost() const;
    // Connects anew with the login of the last successful open, asking nothing (the first open asks).
    void Reopen();

    // Runs a statement without result set (used by the few callers that hold no query).
    void ExecDirect(const QString& statement);

    void* Handle(); // SQLHDBC, for the query implementation
    // The name the server gives its engine (SQL_DBMS_NAME), learnt at login; empty while closed.
    const QString& DbmsName() const { return dbmsName_; }
    // Unique to each opening of a connection, program-wide; 0 while closed. Lets callers keep what they
    // learnt of a server for as long as that connection lasts.
    quint64 ConnectionId() const { return dbc_ ? connectionId_ : 0; }

private:
    friend class TQuery;
    // The driver reads a whole result into memory unless told per statement to read it through a
    // cursor (PostgreSQL's psqlODBC).
    bool cursorOnRequest_ = false;
    // The driver has no wide-character entry points: statements go to it as UTF-8 through the narrow
    // ones, which carry every character.
    bool narrowText_ = false;
    // Texts are read and bound as UTF-8 through SQL_C_CHAR: the driver's UTF-16 texts are not whole.
    bool utf8Narrow_ = false;
    bool ReadsUtf8Whole();
    QString ConnectionString(const QString& userName, const QString& password) const;
    void Connect(const QString& userName, const QString& password);
    // Reopens a lost connection unless a query still reads a result on it, which reopening would end.
    void ReopenForStatement();
    // The error of a failed call on one of this connection's statements; marks the connection lost
    // when the failure says it broke.
    EDatabaseError StatementError(void* stmt, short rc, const char* action, const TWaitResult& wait);
    // Runs call (ODBC calls on stmt, or on the connection alone when stmt is null) on the connection's
    // thread, or here for a file engine.
    TWaitResult Wait(void* stmt, const std::function<short()>& call);
    // The same for a clean-up that has nothing to report: when the call cannot run (another wait is in
    // progress) it is left undone.
    void CallQuietly(const std::function<short()>& call) noexcept;
    // A call handed to the connection's thread without waiting, so the caller can prepare the next
    // meanwhile (Start); Finish waits for it. Any other call on the connection waits for it first, and
    // Finish then gives what that wait got.
    void Start(void* stmt, std::function<short()> call);
    TWaitResult Finish();
    // Waits for a started call not yet waited for, keeping its result for Finish.
    void SettleStarted();
    void* AllocStatement(); // SQLHSTMT
    void FreeStatement(void* stmt) noexcept;
    // Runs a statement's text and, when that succeeds, moves to its next result in the same call on
    // the connection's thread: most statements have one result, and asking apart costs a hand-over more.
    TWaitResult ExecAndMoveOn(void* stmt, const QString& text, short& moved);
    // Reads the results after the first, from the answer of the move to the second (rc, wait).
    void DrainResults(void* stmt, short rc, TWaitResult wait);
    void* dbc_ = nullptr;
    void* directStmt_ = nullptr; // ExecDirect's, kept while the connection lasts
    // Null for a connection without sockets (a file engine): its calls stay on the caller's thread.
    // Shared with a wait in progress, which may outlast a close made from the window's pump.
    std::shared_ptr<TConnectionThread> thread_;
    // A file engine's thread for started statements only, so the caller composes the next meanwhile.
    std::shared_ptr<TConnectionThread> startThread_;
    QString dbmsName_;
    std::function<short()> startedCall_;
    void* startedStmt_ = nullptr;
    bool started_ = false;     // handed over and not yet taken by Finish
    bool startedDone_ = false; // its answer is in startedWait_
    TWaitResult startedWait_;
    quint64 connectionId_ = 0;
    bool lost_ = false;
    bool hasLogin_ = false;
    QString loginUser_, loginPassword_;
    std::vector<TSocket> sockets_; // the sockets the driver opened for this connection
    // Queries holding a statement on this connection; closing the connection releases them first.
    std::vector<TQuery*> clients_;
};

// Finds a connection by database name (case-insensitive); nullptr when none is registered.
TDatabase* FindDatabase(const QString& databaseName);

class TField {
public:
    QString FieldName;
    TFieldType DataType = TFieldType::ftUnknown;
    int Size = 0;     // declared size (characters for character types)
    int Scale = -1;   // fraction digits an exact number declares; -1 where the driver tells none
    QString TypeName; // the engine's own type name

    bool IsNull() const;
    // Display text (regional settings); a null reads as empty text.
    QString AsString() const;
    double AsFloat() const;
    qint64 AsInteger() const;
    bool AsBoolean() const;
    // Day count since 30 December 1899 with the time as fraction.
    double AsDateTime() const;
    // The value as the engine gave it (ISO dates, '.' decimals, bytes in hexadecimal digits).
    const QString& RawText() const;
    // A binary value's bytes; empty for any other.
    const QByteArray& Bytes() const;

private:
    friend class TQuery;
    const TQuery* owner_ = nullptr;
    int index_ = 0;
};

struct TParam {
    QString Name;
    QString Value;
};

class TQuery {
public:
    TQuery();
    virtual ~TQuery();
    TQuery(const TQuery&) = delete;
    TQuery& operator=(const TQuery&) = delete;

    QString DatabaseName;
    // Statement lines, sent joined with line breaks.
    QStringList SQL;
    // A result too large to hold: read from the server in portions where the driver would otherwise
    // load it whole.
    bool ReadInPortions = false;
    // Next hands out rows that a started fetch read meanwhile, a portion at a time, so the caller's work
    // on a row overlaps the driver's reading of the next. Nothing may be started on the same connection
    // while the query is open.
    bool ReadAhead = false;

    // Parameters (":NAME" markers of the statement text), refreshed from SQL on demand.
    std::vector<TParam>& Params();
    // Values bound to the "?" markers of the statement text, in their order; a statement with these
    // has no ":NAME" markers.
    std::vector<TLargeValuePtr> LargeValues;

    void Open();    // statement returns rows; stands on the first row
    void ExecSQL(); // statement without result set
    // ExecSQL in two halves: Start hands the statement to its connection and returns at once, so the
    // caller can prepare the next one meanwhile; Finish waits for it and raises what ExecSQL would.
    // Nothing else may change the query in between.
    void StartExecSQL();
    void FinishExecSQL();
    void Close(); // closing a closed query is no error
    bool Active() const;
    bool Bof() const;
    bool Eof() const;
    void Next();
    void Last(); // closes the cursor and sets the at-end flag

    int FieldCount() const;
    TField& Fields(int index);
    TField& FieldByName(const QString& name); // raises when missing
    TField* FindField(const QString& name);   // nullptr when missing

private:
    friend class TField;
    friend class TDatabase;
    void ReleaseStatement() noexcept;
    struct TImpl;
    std::unique_ptr<TImpl> d_;
};
