#pragma once

#include <QString>
#include <QStringList>
#include <exception>
#include <functional>
#include <optional>
#include <vector>

#include "query/ArrayInsert.h"
#include "query/Dialect.h"
#include "query/LangQuery.h"
#include "transfer/ValueRules.h"

// One flow's copy: counting, opening its data, and turning each source row into one INSERT. The queries
// belong to the progress window; the run (TTransferRun) calls these steps.
struct TCopyQueries {
    TCopyQueries() { QS.ReadInPortions = true; }
    TLangQuery QS;  // source rows
    TLangQuery QF;  // destination column catalogue
    TLangQuery QT;  // the insert
    TLangQuery Q;   // reference translation lookups
    TLangQuery Tbl; // flow scripts
};

// What a flow start reads from its definition file.
struct TFlowData {
    QString Name;
    QString Source;
    QString Target;
    bool Sql = false;
    QStringList Fields; // DEST=EXPRESSION
    QStringList Trans;  // DEST=translation name or GEN_ID
};

TFlowData ReadFlowData(const QString& flowName);

// Where the copy reads its settings from at each use (the constants: again once others' code, such as
// the window's messages, has run).
struct TCopyContext {
    QString SourceDatabase;
    QString DestDatabase;
    bool Scripting = false;
    std::function<QString()> ContractFilter;
    std::function<QStringList()> ConstList;
    std::function<bool()> StopOnError;
    std::function<void(const QString& status)> SetStatus;
    std::function<void(int failed)> FailedCounted;
    // Rows per INSERT; 1 sends each row as it is composed.
    int BatchRows = 1;
};

enum class TRowResult { Copied, Failed, Stop };

class TRecordCopy {
public:
    TRecordCopy(TCopyQueries& queries, TCopyContext context);

    int CountRecords(const QString& source, bool sql);
    // Checks, touching nothing, that the flow can copy a row: its source and destination table open,
    // every mapping line names a source column, and at least one names a destination column. Raises
    // the reason otherwise. Run before the flow's scripts.
    void CheckFlow(const TFlowData& flow);
    // Opens the source and the catalogue and prepares the mapping lines.
    void OpenFlowData(const TFlowData& flow);
    // Copies the current source row and moves to the next. Stop: the operator answered No. Raises when
    // the row could not be kept anywhere (FailedData.sql unwritable, the export file full).
    TRowResult CopyRow();
    // Keeps the row that failed (the statement of QT, else one rebuilt from the source row) in
    // FailedData.sql with its reason, counts it and asks "Stop on error". record: its number in the
    // flow, 0 for the row being read.
    void HandleInsertError(const QString& reason, TRowResult& result, int record = 0);
    // Sends the rows composed and not yet sent, and waits for every answer. Stop: the operator ended
    // the run at one of them; the rows after it count as not read.
    TRowResult FlushBatch();
    // For a cancelled run: takes the answer of the INSERT on its way, asking nothing, and forgets the
    // rows not sent, which count as not read.
    void DropBatch();
    // Whether the flow's rows go in INSERTs of many rows.
    bool Batching() const { return batchCap_ > 1; }
    // Whether an INSERT goes on while the next rows are composed (FlushBatch sends the last).
    bool Queueing() const { return queueing_; }

    int RowsRead = 0;
    int Failed = 0;
    int Copied = 0;
    int LogErrors = 0;     // rows that landed without their statement log
    QString FirstLogError; // the first of those failures, for Transfer.log

private:
    struct TMapping {
        QString DestName; // as the mapping line writes it
        TColumnDesc Dest; // as the catalogue describes it
        QString Expression;
        bool Constant = false;
        QString Translation;
        bool GenId = false; // Translation is GEN_ID
        int SourceIndex = -1;
        QString ConstantValue; // of a constant, as constants_ resolve it
    };

    QString ValueOf(const TMapping& m, const TValueSource* source);
    // Reads the constants for the row, unless no others' code ran since they were read; the constant
    // mappings are resolved again only when they changed.
    void ReadConstants();
    void PointAtDestination();
    void ResolveMappings(const TFlowData& flow);
    QStringList FailedRowStatement() const;
    TDialect DestinationDialect() const;
    void MarkUnbounded();

    bool SendRows(const std::vector<QStringList>& rows, int first, size_t from, size_t to, TRowResult& result,
                  std::exception_ptr sent = nullptr);
    // Hands the composed rows over as one INSERT, which goes on while the next rows are composed.
    void SendPending();
    // Takes the answer to the rows on their way; a failure is split as SendRows does.
    TRowResult SettleSent();
    // Whether the composed rows make an INSERT of their own (its rows or its bytes).
    bool PendingFull() const;
    // Forgets the composed rows not sent: they count as not read.
    void DropPending();
    // Ends the run when the export file cannot be written: record and the after rows read past it are
    // kept in FailedData.sql already.
    [[noreturn]] void ExportFileLost(const QString& reason, int record, qsizetype after) const;
    // Keeps the failed row in FailedData.sql with its reason and counts it, asking nothing.
    void KeepFailedRow(const QString& reason, int record);
    void ChooseBatchSize();
    // Counts rows that landed without their statement log.
    void CountLogError(const QString& error, int rows);
    // The element types of the flow's columns where its batches can go as arrays; none otherwise.
    QStringList ArrayTypes() const;

    TCopyQueries& q_;
    TCopyContext context_;
    // Rows per INSERT for this flow, and the statements of the rows composed and not yet sent.
    int batchCap_ = 1;
    bool queueing_ = false;
    std::vector<QStringList> pending_;
    qsizetype pendingBytes_ = 0;
    TArrayInsert arrays_;  // pending_ as arrays, where the destination reads them faster
    int pendingFirst_ = 0; // the record number of pending_'s first row
    // The rows of the INSERT on its way, the record number of the first, and how its start failed.
    std::vector<QStringList> sent_;
    int sentFirst_ = 0;
    std::exception_ptr sendError_;
    QString sentLogError_; // why its statement log was not written, if it was not
    TFlowData flow_;
    std::vector<TMapping> mappings_;
    bool hasConstants_ = false;
    QStringList constants_;                  // as the constant mappings were last resolved against
    std::optional<quint64> constantsReadAt_; // OthersCodeRuns() when they were read; none in a new flow
    TDialect dialect_;                       // of the destination the statements are for
};
