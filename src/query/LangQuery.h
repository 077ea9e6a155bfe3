#pragma once

// The system's query component: a TQuery that composes SELECT statements from clause properties in
// four SQL dialects and INSERT statements from column values, logs every statement it composes or
// runs, and in scripting mode appends INSERTs and modifying statements to a script file instead of
// executing them.

#include <QString>
#include <QStringList>
#include <functional>
#include <vector>

#include "platform/Errors.h"
#include "query/Database.h"

class ESQLError : public EKelvoError {
public:
    using EKelvoError::EKelvoError;
};

enum TDBType { dtStandardSQL = 0, dtMSSql7 = 1, dtInformix = 2, dtMsAccess = 3 };

// One column value of an INSERT; the join fields are read only by the dtMSSql7 and dtInformix
// SELECT compositions.
struct TFd {
    QString FieldName;
    qint32 ValueKind = 0; // 1: written between single quotes; otherwise written unchanged
    QString Value;        // trimmed; "NULL" for an empty value
    QString JoinTable;
    qint32 JoinType = 0; // 2: left outer, 3: right outer, otherwise a plain join
    QString JoinCondition;
    TLargeValuePtr Large; // set: the value, kept out of the statement's text (Value is empty)
};

class TLangQuery;
using TLangQueryEvent = std::function<void(TLangQuery* sender)>;

class TLangQuery : public TQuery {
public:
    TLangQuery();
    ~TLangQuery() override;

    // Clause properties: assigning one only stores it.
    QString Columns;
    TDBType DataType = dtStandardSQL;
    QString MasterTable;
    QString FromClause;
    QString HavingClause;
    QString GroupByClause;
    QString OrderByClause;
    QString Tables; // target table of the INSERT
    QString WhereClause;
    QString KontoLength;      // kept with the component, read by nothing
    TLangQueryEvent OnInsert; // raised by ExecInsert before composing
    // Raised when a composed INSERT is about to be logged and run (or written to the export): later than
    // OnInsert where the next row is composed while the last one runs.
    TLangQueryEvent OnSend;
    TLangQueryEvent OnUpdate; // kept, never raised
    TLangQueryEvent OnDelete; // kept, never raised

    // One entry per AddFieldValue call, in call order; duplicates stay.
    std::vector<TFd>& FieldValues() { return fieldValues_; }
    const std::vector<TFd>& FieldValues() const { return fieldValues_; }
    // NAME=VALUE lines for the parameters of the dtMsAccess composition.
    QStringList& ParamValues() { return paramValues_; }
    const QStringList& ParamValues() const { return paramValues_; }

    bool EmptyResult() const { return emptyResult_; }
    // Why the statement log of the last composed statement could not be written; empty when it was.
    const QString& LogError() const { return logError_; }
    bool Scripting() const { return scripting_; }
    const QString& ScriptFile() const { return scriptFile_; }
    void SetScripting(bool value);
    void SetScriptFile(const QString& value);

    // Composes the SELECT for DataType, logs it and opens it (dtInformix: executes it).
    void OpenSelect();
    // OpenSelect without rows, for the columns of a table: a driver that reads a result whole on
    // execute (psqlODBC without a cursor) would otherwise hold every row of the table. WhereClause is
    // kept as it was.
    void OpenColumns();
    void AddFieldValue(const QString& fieldName, const QString& value, qint32 valueKind);
    void AddFieldValue(const QString& fieldName, TLargeValuePtr value);
    void ClearFieldValues();
    // Composes the INSERT, logs it and executes it, or appends it to ScriptFile when scripting.
    // dtMsAccess: only sets EmptyResult.
    void ExecInsert();
    // Logs and executes the statement held in SQL, or appends it to ScriptFile when scripting.
    void ExecModify();
    // Logs and executes an INSERT composed elsewhere and held in SQL (one of many rows), or appends it
    // to ScriptFile when scripting; the statement logs as ExecInsert writes them. splices: values bound
    // to the statement's "?" marks, written as their literals where the statement is written out.
    void ExecComposed(const TLargeSplices& splices = {});
    // ExecComposed in two halves: Start logs the statement and hands it to the connection (or appends
    // it to ScriptFile, which is all there is to it); Finish waits for the answer and raises what
    // ExecComposed would. Nothing else may run on the query in between.
    void StartComposed(const TLargeSplices& splices = {});
    void FinishComposed();

    // The compositions, each replacing the statement text.
    void BuildStandardSelect();
    void BuildMSSql7Select();
    void BuildInformixSelect();
    void BuildMsAccessSelect();
    void BuildInsert();
    // BuildInsert without the statement logs: for a statement that is only kept, never sent.
    void ComposeInsert();
    // The large values of the INSERT composed last, while SQL still holds that INSERT.
    TLargeSplices LargeSplices() const;

private:
    // Raises OnSend, then writes the composed statement to the statement logs.
    void AnnounceAndLog(const TLargeSplices& splices);
    void AddWherePart();
    void AddTail();
    QString MSSql7FromLine(bool& present) const;

    std::vector<TFd> fieldValues_;
    // What the last INSERT was composed of, reused by the next one of the same shape.
    QString insertTable_;
    QString insertLine_;
    std::vector<QString> columnNames_;
    QString columnsLine_;
    TLargeSplices splices_;
    QString splicedLine_; // the value line the splices belong to
    QStringList paramValues_;
    bool emptyResult_ = true;
    QString logError_;
    bool scripting_ = false;
    bool composedStarted_ = false;
    QString scriptFile_;
};
