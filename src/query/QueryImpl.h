#pragma once

// The inside of a query, shared by the query, its fields and the connection under it. Each of its
// calls on the driver is one hand-over to the connection's thread: a row's fetch with all its column
// reads, a column description, an execution with its parameters.

#include <sql.h>
#include <vector>

#include "query/ColumnRead.h"
#include "query/Database.h"
#include "query/StatementText.h"

enum class TReadKind { Text, Binary, Double };

TReadKind ReadKindOf(TFieldType type, SQLSMALLINT sqlType);

struct TColumnData {
    mutable QString raw;
    bool null = true;
    TReadKind kind = TReadKind::Text;
    // Binary: the bytes as read; their hexadecimal text (raw) is made only when asked for.
    QByteArray bytes;
    mutable bool hexStale = false;
    const QString& Raw() const;
};

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
    std::vector<TReadKind> kinds; // each column's, for rows read ahead
    QByteArray bytes;

    // Rows read ahead (TQuery::ReadAhead): a started fetch fills `filling` on the connection's thread
    // (a file engine's start thread) while the caller takes the rows of `ahead` one by one.
    struct TAhead {
        std::vector<std::vector<TColumnData>> rows;
        size_t count = 0; // rows filled
        size_t next = 0;  // the next to hand out
        // How the fetch ended: SQL_SUCCESS at its cap, SQL_NO_DATA at the last row, else its failure.
        short rc = SQL_SUCCESS;
        bool readFailed = false; // a column read failed (rather than the fetch)
        bool full = false;       // ended at the byte cap: the next portion waits until this one is taken
        TWaitResult wait;
    };
    TAhead ahead, filling;
    bool aheadStarted = false;

    std::vector<TParam> params;
    QString paramsSource;
    bool paramsParsed = false;
    TParsedStatement parsed;
    std::vector<QString> boundValues;
    std::vector<SQLLEN> boundLengths;
    std::vector<QByteArray> boundUtf8;
    // The large values of the statement and, for a driver that takes UTF-8, their texts as such.
    std::vector<TLargeValuePtr> large;
    std::vector<QByteArray> largeUtf8;
    std::vector<SQLLEN> largeLengths;

    void RefreshParams(const QString& sql);
    void ResetState();
    // With always, also when no cursor is known to be open (after a failure, which may leave one).
    void CloseCursor(bool always = false) noexcept;
    [[noreturn]] void FailStatement(SQLRETURN rc, const char* action, const TWaitResult& wait = {});

    // On the connection's thread: a value of the current row into data; 0, or the failing call's code.
    // part: the units a text or bytes buffer first takes (FirstReadPart).
    SQLRETURN ReadText(SQLUSMALLINT column, TColumnData& data, qsizetype part);
    SQLRETURN ReadBinary(SQLUSMALLINT column, TColumnData& data, qsizetype part);
    SQLRETURN ReadDouble(SQLUSMALLINT column, TColumnData& data);

    // The hot path of every transfer: one fetch, then each column into its reused buffer.
    bool FetchRow();
    // On the connection's thread: SQLFetch and every column into row; readFailed when a column failed.
    SQLRETURN ReadRow(std::vector<TColumnData>& row, bool& readFailed, qsizetype part = FirstReadPart);
    // The next row into columns from the rows read ahead, starting the next portion; false at the end.
    bool NextAhead();
    void StartAhead();
    short FillAhead();
    // Forgets the rows read ahead, waiting for a portion on its way.
    void DropAhead() noexcept;
    void Describe(const TQuery* owner, SQLSMALLINT count);

    // With drain, the statement's results are not wanted: it moves on to the next one at once, and
    // drain gets that answer for DrainResults.
    struct TDrain {
        short rc = SQL_NO_DATA;
        TWaitResult wait;
    };
    // Runs the statement text on its connection, opening the connection on demand; the result's column
    // count (0 with drain).
    SQLSMALLINT Execute(TQuery& query, TDrain* drain = nullptr);
    // Execute in its three steps: on this thread, what the driver will need (the connection opened, the
    // parameters); on the connection's thread, the driver's calls; here again, what their answer means.
    void Prepare(TQuery& query, bool drain);
    short Run();
    // On the connection's thread: the large values, a part at a time, to a statement that asks for them.
    short SendLargeValues(SQLHSTMT h);
    // Large value i as the driver takes it: bytes, UTF-8 or UTF-16.
    QByteArrayView LargeData(size_t i) const;
    SQLSMALLINT Conclude(const TWaitResult& wait, TDrain* drain);
    // Reads a statement's later results and closes its cursor (ExecSQL's end).
    void EndExec(const TDrain& drain);

    // What Run needs and finds; the caller waits for it before touching any of it.
    struct TRun {
        const QString* text = nullptr;
        bool utf8 = false, narrow = false, portions = false, drain = false;
        SQLHDBC dbc = nullptr;
        const char* failed = "Executing the statement";
        SQLSMALLINT count = 0;
        short moved = SQL_NO_DATA;
        bool closed = false;
    } run;
};
