#include "transfer/RecordCopy.h"

#include <algorithm>

#include "flows/FlowFile.h"
#include "platform/Errors.h"
#include "platform/IniFile.h"
#include "platform/PathWatch.h"
#include "platform/ProgramDir.h"
#include "query/ServerDialect.h"
#include "query/SqlLiteral.h"
#include "support/EnDial3.h"
#include "support/ErrorHandler.h"
#include "transfer/InsertBatch.h"
#include "transfer/TransferFiles.h"
#include "translations/Constants.h"
#include "translations/Translate.h"

TFlowData ReadFlowData(const QString& flowName) {
    const QString file = FlowTransferPath(flowName);
    TFlowData flow;
    flow.Name = flowName;
    flow.Source = IniReadString(file, "SOURCE", "NAME", "");
    flow.Target = IniReadString(file, "TARGET", "NAME", "");
    flow.Sql = IniReadString(file, "DATA", "SQL", "N") == "Y";
    IniReadSectionValues(file, "FIELDS", flow.Fields, TKeyBudget::Whole);
    IniReadSectionValues(file, "TRANS", flow.Trans, TKeyBudget::Whole);
    return flow;
}

TRecordCopy::TRecordCopy(TCopyQueries& queries, TCopyContext context)
    : q_(queries), context_(std::move(context)) {
    for (TLangQuery* q : {&q_.QS, &q_.Tbl})
        q->DatabaseName = context_.SourceDatabase;
    for (TLangQuery* q : {&q_.QF, &q_.QT, &q_.Q})
        q->DatabaseName = context_.DestDatabase;
}

int TRecordCopy::CountRecords(const QString& source, bool sql) {
    if (sql)
        return 0;
    q_.QS.Columns = "Count(*) as RecNr";
    q_.QS.FromClause = source;
    q_.QS.OpenSelect();
    int count = 0;
    if (!q_.QS.EmptyResult())
        count = int(q_.QS.Fields(0).AsInteger());
    q_.QS.Close();
    return count;
}

void TRecordCopy::PointAtDestination() {
    q_.QF.Close();
    if (context_.Scripting) {
        // The destination is not opened in scripting mode: its structure comes from the source.
        q_.QF.DatabaseName = context_.SourceDatabase;
        q_.QT.DatabaseName = context_.SourceDatabase;
    }
    q_.QF.Columns = "*";
    q_.QF.FromClause = flow_.Target;
    try {
        q_.QF.OpenColumns();
    } catch (const EDatabaseError& error) {
        if (!context_.Scripting || error.ConnectionLost || error.Canceled)
            throw;
        // The engine blames a table of the source without saying why the run looks there.
        const TDatabase* source = FindDatabase(context_.SourceDatabase);
        throw EDatabaseError(
            QString("Flow %1: the table %2 could not be read in the source database (data source %3). "
                    "Scripting mode does not open the destination: it reads the columns of the destination "
                    "table from a table of the same name in the source, so the source needs a table %2, "
                    "empty, with the destination's columns.\n%4")
                .arg(flow_.Name, flow_.Target, source ? source->AliasName : context_.SourceDatabase,
                     error.Message()),
            false);
    }
}

void TRecordCopy::CheckFlow(const TFlowData& flow) {
    flow_ = flow;
    q_.QS.Close();
    // The source's columns without its rows: the flow's scripts have not run yet.
    if (!flow.Sql) {
        q_.QS.Columns = "*";
        q_.QS.FromClause = flow.Source;
        q_.QS.OpenColumns();
    } else {
        const QString statement = ReplaceFilter(flow.Source, context_.ContractFilter());
        q_.QS.SQL = QStringList{"Select * From (" + statement + ") KelvoCheck Where 1=0"};
        try {
            q_.QS.Open();
        } catch (const std::exception&) {
            // Some statements cannot stand in a derived table (an ORDER BY on some engines): then the
            // statement itself tells its columns.
            q_.QS.Close();
            q_.QS.SQL = QStringList{statement};
            q_.QS.Open();
        }
    }
    struct TClose {
        TCopyQueries& q;
        ~TClose() {
            q.QS.Close();
            q.QF.Close();
        }
    } close{q_};
    PointAtDestination();
    ResolveMappings(flow);
    mappings_.clear();
}

void TRecordCopy::OpenFlowData(const TFlowData& flow) {
    flow_ = flow;
    RowsRead = 0;
    Failed = 0;
    Copied = 0;
    LogErrors = 0;
    FirstLogError.clear();
    context_.SetStatus("Reading source data...");
    q_.QS.Close();
    if (!flow.Sql) {
        q_.QS.Columns = "*";
        q_.QS.FromClause = flow.Source;
        q_.QS.OpenSelect();
    } else {
        q_.QS.SQL = QStringList{ReplaceFilter(flow.Source, context_.ContractFilter())};
        q_.QS.Open();
    }
    PointAtDestination();
    q_.QT.Close();
    q_.QT.Columns = "*";
    q_.QT.FromClause = flow.Target;
    q_.QT.Tables = flow.Target;
    dialect_ = DestinationDialect();
    ResolveMappings(flow);
    MarkUnbounded();
    ChooseBatchSize();
    context_.SetStatus("Transfering data...");
}

// The rows of one INSERT must not depend on each other: a generated identifier reads the destination's
// maximum, and a reference lookup may read rows that the same INSERT would add. Such flows go row by
// row.
void TRecordCopy::ChooseBatchSize() {
    pending_.clear();
    pendingBytes_ = 0;
    sent_.clear();
    sendError_ = nullptr;
    batchCap_ = 1;
    queueing_ = false;
    arrays_.Reset({});
    q_.QS.ReadAhead = false;
    for (const TMapping& m : mappings_)
        if (!m.Translation.isEmpty() && !IsStaticTranslation(m.Translation))
            return;
    // The next rows are read while this one is composed and sent, unless the source's connection is also
    // the one that takes the INSERTs. Flows that query a database for a row's values read row by row.
    q_.QS.ReadAhead =
        context_.Scripting || FindDatabase(q_.QS.DatabaseName) != FindDatabase(q_.QT.DatabaseName);
    // ExecInsert composes nothing for that dialect: its rows keep going through it.
    if (q_.QT.DataType == dtMsAccess)
        return;
    // Row by row too, a row's INSERT goes on while the next row is composed, as a batch of one: its
    // answer is taken before the next is sent, so the statements and their order stay the same.
    queueing_ = (!context_.Scripting && q_.QS.ReadAhead) || context_.BatchRows > 1;
    if (context_.BatchRows <= 1)
        return;
    batchCap_ = BatchRowCap(context_.BatchRows, dialect_.Engine);
    arrays_.Reset(ArrayTypes());
}

QStringList TRecordCopy::ArrayTypes() const {
    // The export stays a VALUES list: it may be replayed where the types differ.
    if (context_.Scripting || dialect_.Engine != TEngineKind::PostgreSQL)
        return {};
    const auto columns = BuiltInColumnTypes(q_.QT.DatabaseName, flow_.Target);
    QStringList types;
    for (const TMapping& m : mappings_) {
        const auto column = std::find_if(columns.begin(), columns.end(),
                                         [&](const auto& c) { return c.first == m.Dest.Name; });
        if (column == columns.end() || !IsArrayElementType(column->second))
            return {};
        types << column->second;
    }
    return types;
}

// The mapping lines are resolved against both tables once; rows only look the values up.
void TRecordCopy::ResolveMappings(const TFlowData& flow) {
    mappings_.clear();
    for (const QString& line : flow.Fields) {
        TMapping m;
        m.DestName = LineName(line);
        m.Expression = LineValue(line);
        TField* dest = q_.QF.FindField(m.DestName);
        if (!dest)
            continue; // a destination column the table lacks adds nothing
        m.Dest = {dest->FieldName, dest->DataType, dest->Size, false, dest->Scale};
        m.Constant = IsConstExpression(m.Expression);
        if (!m.Constant) {
            m.Translation = ListValue(flow.Trans, m.DestName);
            m.GenId = m.Translation == GenIdName;
            for (int i = 0; i < q_.QS.FieldCount(); ++i) {
                if (q_.QS.Fields(i).FieldName.compare(m.Expression, Qt::CaseInsensitive) == 0) {
                    m.SourceIndex = i;
                    break;
                }
            }
            if (m.SourceIndex < 0 && !m.GenId)
                throw EKelvoError(
                    QString("Flow %1: the destination column %2 is mapped to %3, which is not a "
                            "column of the source.")
                        .arg(flow.Name, m.DestName, m.Expression));
        }
        mappings_.push_back(m);
    }
    hasConstants_ =
        std::any_of(mappings_.begin(), mappings_.end(), [](const TMapping& m) { return m.Constant; });
    constantsReadAt_.reset();
    if (mappings_.empty())
        throw EKelvoError(
            QString("Flow %1: no mapping line names a column of the destination table %2, so no "
                    "record could be copied.")
                .arg(flow.Name, flow.Target));
}

TDialect TRecordCopy::DestinationDialect() const {
    if (!context_.Scripting)
        return ConnectionDialect(q_.QT.DatabaseName);
    // The export is written for the engine behind the destination's data source, which is not opened.
    const TDatabase* dest = FindDatabase(context_.DestDatabase);
    return dest ? DataSourceDialect(dest->AliasName) : TDialect{};
}

void TRecordCopy::MarkUnbounded() {
    const bool sized = std::any_of(mappings_.begin(), mappings_.end(), [](const TMapping& m) {
        return IsSizedCharacter(m.Dest.Type) && m.Dest.Type != TFieldType::ftGuid;
    });
    if (!sized)
        return;
    const QStringList unbounded = UnboundedTextColumns(q_.QF.DatabaseName, flow_.Target);
    for (TMapping& m : mappings_)
        m.Dest.Unbounded = unbounded.contains(m.Dest.Name, Qt::CaseInsensitive);
}

namespace {
// The refused value as the operator reads it in the message: short, every control character visible.
QString Shown(const QString& value) {
    QString shown = value.size() > 60 ? value.left(60) + "..." : value;
    for (qsizetype i = 0; i < shown.size(); ++i)
        if (shown[i].unicode() < ' ')
            shown.replace(i, 1, QString("\\x%1").arg(shown[i].unicode(), 2, 16, QChar('0')));
    return shown;
}
} // namespace

void TRecordCopy::ReadConstants() {
    // The operator changes them in the window, which runs only as others' code.
    if (!hasConstants_ || constantsReadAt_ == OthersCodeRuns())
        return;
    const bool first = !constantsReadAt_;
    constantsReadAt_ = OthersCodeRuns();
    QStringList constants = context_.ConstList();
    if (!first && constants == constants_)
        return;
    constants_ = std::move(constants);
    for (TMapping& m : mappings_)
        if (m.Constant)
            m.ConstantValue = ResolveConstant(m.Expression, constants_);
}

QString TRecordCopy::ValueOf(const TMapping& m, const TValueSource* source) {
    if (m.Constant)
        return m.ConstantValue;
    if (m.Translation.isEmpty())
        return PlainValueText(m.Dest, *source);
    QString input;
    if (source) {
        try {
            input = TranslationInputText(m.Dest, *source);
        } catch (const std::exception& error) {
            ShowError("Set translation value " + q_.QS.Fields(m.SourceIndex).FieldName + " :" +
                      ErrorMessage(error));
            input.clear();
        }
    }
    return TranslateValue(m.Translation, input, q_.Q);
}

TRowResult TRecordCopy::CopyRow() {
    // Translation files, the statement logs and the export file are checked once for the row.
    const TPathCheckMoment oneMoment;
    // Rows held back while the destination's connection was lost go first on the reopened one.
    if (sent_.empty() && PendingFull())
        SendPending();
    TRowResult result = TRowResult::Copied;
    q_.QT.SQL = QStringList(); // not clear(): that allocates anew while a batch shares the old lines
    bool queued = false;
    try {
        ReadConstants();
        q_.QT.ClearFieldValues();
        QString refusal;
        bool large = false;
        for (const TMapping& m : mappings_) {
            std::optional<TFieldSource> source;
            if (m.SourceIndex >= 0)
                source.emplace(q_.QS.Fields(m.SourceIndex));
            // A binary source gives its bytes as hexadecimal digits; so do only plain lines. Bytes to bytes
            // go without their digits in between.
            const bool hex = source && !m.Constant && m.Translation.isEmpty() && IsBinary(source->Type());
            const bool bytes = hex && IsBinary(m.Dest.Type);
            const QString value = bytes ? QString() : ValueOf(m, source ? &*source : nullptr);
            if (m.GenId) {
                q_.QT.AddFieldValue(m.DestName, GenIdText(dialect_, value, m.Dest.Name, flow_.Target), 0);
                continue;
            }
            const TStatementValue entered =
                bytes ? EnterBytes(m.Dest, q_.QS.Fields(m.SourceIndex).Bytes(), dialect_)
                      : EnterValue(m.Dest, value, dialect_, hex);
            if (!entered.Refusal.isEmpty() && refusal.isEmpty())
                refusal = QString("Column %1: \"%2\" %3; the row was not sent.")
                              .arg(m.DestName, Shown(value), entered.Refusal);
            large = large || entered.Large;
            if (entered.Large)
                q_.QT.AddFieldValue(m.DestName, entered.Large);
            else
                q_.QT.AddFieldValue(m.DestName, entered.Text, entered.Kind);
        }
        if (!refusal.isEmpty()) {
            // Composed only for the record of the failed row, where the value stands quoted.
            q_.QT.ComposeInsert();
            throw EKelvoError(refusal);
        }
        // A large value goes alone, after the rows before it; at a stop among those, this row was never read.
        if (queueing_ && large && FlushBatch() == TRowResult::Stop)
            return TRowResult::Stop;
        if (queueing_ && !large) {
            q_.QT.ComposeInsert();
            if (pending_.empty())
                pendingFirst_ = RowsRead + 1;
            pendingBytes_ += q_.QT.SQL.value(3).size();
            pending_.push_back(q_.QT.SQL);
            arrays_.Add(q_.QT.FieldValues());
            queued = true;
        } else {
            q_.QT.ExecInsert();
            ++Copied;
            CountLogError(q_.QT.LogError(), 1);
        }
    } catch (const EWriteError& error) {
        if (!q_.QT.Scripting())
            throw;
        // The export file is full or gone: the row is kept, and the run cannot go on.
        HandleInsertError(ErrorMessage(error), result);
        ++RowsRead;
        ExportFileLost(ErrorMessage(error), RowsRead, 0);
    } catch (const std::exception& error) {
        if (IsOperatorCancel(error))
            throw; // the row is neither copied nor failed: the run ends as cancelled
        if (queueing_) {
            // The rows composed before this one go first, as they would have row by row.
            const QStringList statement = q_.QT.SQL;
            if (FlushBatch() == TRowResult::Stop)
                return TRowResult::Stop; // this row was never read
            q_.QT.SQL = statement;
        }
        HandleInsertError(ErrorMessage(error), result);
    }
    // Counted before the next is read: a source that fails there leaves this row ended all the same.
    ++RowsRead;
    q_.QS.Next();
    if (queued && PendingFull()) {
        // The batch before goes on while this one was composed; its answer is taken only now.
        result = SettleSent();
        if (result == TRowResult::Stop) {
            DropPending();
            return result;
        }
        // On a lost connection the rows would fail unsent: they wait for it to be reopened.
        const TDatabase* dest = FindDatabase(q_.QT.DatabaseName);
        if (!dest || !dest->Lost())
            SendPending();
    }
    return result;
}

TRowResult TRecordCopy::FlushBatch() {
    const TRowResult result = SettleSent();
    if (result == TRowResult::Stop) {
        DropPending();
        return result;
    }
    if (pending_.empty())
        return result;
    SendPending();
    const TRowResult last = SettleSent();
    return last == TRowResult::Copied ? result : last;
}

void TRecordCopy::DropBatch() {
    if (!sent_.empty()) {
        // The INSERT on its way may have landed: its answer decides, and a failure leaves its rows unread
        // (nothing is asked of an operator who cancelled).
        const int rows = int(sent_.size());
        bool landed = false;
        try {
            if (!sendError_) {
                q_.QT.FinishComposed();
                landed = true;
            }
        } catch (const std::exception&) {
        }
        if (landed)
            Copied += rows;
        else
            RowsRead -= rows;
        sent_.clear();
        sendError_ = nullptr;
    }
    DropPending();
}

bool TRecordCopy::PendingFull() const {
    return !pending_.empty() && (int(pending_.size()) >= batchCap_ || pendingBytes_ >= BatchByteCap);
}

void TRecordCopy::DropPending() {
    RowsRead -= int(pending_.size());
    pending_.clear();
    pendingBytes_ = 0;
    arrays_.Clear();
}

void TRecordCopy::SendPending() {
    sent_ = std::move(pending_);
    sentFirst_ = pendingFirst_;
    pending_.clear();
    pendingBytes_ = 0;
    // A batch that fails goes again in halves as VALUES lists, which fail as the rows' own INSERTs do.
    TLargeSplices arrays;
    q_.QT.SQL = sent_.size() > 1 && arrays_.Usable() ? arrays_.Take(sent_[0][0], sent_[0][1], arrays)
                                                     : BatchStatement(sent_, 0, sent_.size());
    arrays_.Clear();
    sendError_ = nullptr;
    // A batch's rows were composed in one moment; the logs and the export look afresh. Row by row, the
    // INSERT goes in the moment of the row composed after it, as fresh.
    if (Batching())
        RenewPathCheckMoment();
    try {
        q_.QT.StartComposed(arrays);
    } catch (...) {
        sendError_ = std::current_exception();
    }
    sentLogError_ = q_.QT.LogError();
}

void TRecordCopy::CountLogError(const QString& error, int rows) {
    if (error.isEmpty())
        return;
    if (LogErrors == 0)
        FirstLogError = error;
    LogErrors += rows;
}

TRowResult TRecordCopy::SettleSent() {
    TRowResult result = TRowResult::Copied;
    if (sent_.empty())
        return result;
    const std::vector<QStringList> rows = std::move(sent_);
    sent_.clear();
    std::exception_ptr error = sendError_;
    sendError_ = nullptr;
    const QString logError = sentLogError_; // the rows composed since have cleared the query's
    const int ended = Copied + Failed;
    // Rows neither copied nor kept (after a stop, a cancel or an error that ended the run) never
    // landed: they count as not read, as row by row they would not have been.
    const auto settle = [&] { RowsRead -= int(rows.size()) - (Copied + Failed - ended); };
    try {
        if (!error) {
            try {
                q_.QT.FinishComposed();
            } catch (...) {
                error = std::current_exception();
            }
        }
        if (error) {
            SendRows(rows, sentFirst_, 0, rows.size(), result, error);
        } else {
            Copied += int(rows.size());
            CountLogError(logError, int(rows.size()));
        }
    } catch (...) {
        // An error that ends the run here ends it at that row, as row by row: the rows composed after it
        // count as not read.
        settle();
        DropPending();
        throw;
    }
    settle();
    return result;
}

// Sends rows [from, to) of a batch (whose first row is record first) in one INSERT, unless sent tells
// how that INSERT failed already. When it fails, each half goes again, down to the rows that fail
// alone, each kept with its own reason as row by row. False when the operator stopped.
bool TRecordCopy::SendRows(const std::vector<QStringList>& rows, int first, size_t from, size_t to,
                           TRowResult& result, std::exception_ptr sent) {
    if (!sent) {
        q_.QT.SQL = BatchStatement(rows, from, to);
        RenewPathCheckMoment();
        try {
            q_.QT.ExecComposed();
        } catch (...) {
            sent = std::current_exception();
        }
    }
    if (!sent) {
        Copied += int(to - from);
        CountLogError(q_.QT.LogError(), int(to - from));
        return true;
    }
    try {
        std::rethrow_exception(sent);
    } catch (const EWriteError& error) {
        if (!q_.QT.Scripting())
            throw;
        // The export file is full or gone: every row not written is kept, and the run cannot go on.
        for (size_t i = from; i < rows.size(); ++i) {
            q_.QT.SQL = rows[i];
            KeepFailedRow(ErrorMessage(error), first + int(i));
        }
        for (size_t i = 0; i < pending_.size(); ++i) {
            q_.QT.SQL = pending_[i];
            KeepFailedRow(ErrorMessage(error), pendingFirst_ + int(i));
        }
        const qsizetype after = qsizetype(rows.size() - from - 1) + pending_.size();
        pending_.clear();
        pendingBytes_ = 0;
        ExportFileLost(ErrorMessage(error), first + int(from), after);
    } catch (const std::exception& error) {
        if (IsOperatorCancel(error))
            throw;
        const auto* database = dynamic_cast<const EDatabaseError*>(&error);
        // A lost connection leaves the statement's fate unknown: its rows are kept, not sent again.
        if (to - from > 1 && !(database && database->ConnectionLost)) {
            const size_t middle = from + (to - from) / 2;
            return SendRows(rows, first, from, middle, result) && SendRows(rows, first, middle, to, result);
        }
        for (size_t i = from; i < to; ++i) {
            q_.QT.SQL = rows[i];
            HandleInsertError(ErrorMessage(error), result, first + int(i));
            if (result == TRowResult::Stop)
                return false;
        }
        return true;
    }
}

namespace {

// Through the quoting every statement value takes, so a replay reads the value under either backslash
// setting of the engine.
QString Quoted(const QString& text, const TDialect& dialect) {
    const TStatementValue value = QuotedValue(text, dialect);
    if (value.Large) {
        QByteArray literal;
        AppendLiteralUtf8(literal, *value.Large);
        return QString::fromUtf8(literal);
    }
    return value.Kind == 1 ? "'" + value.Text + "'" : value.Text;
}

} // namespace

QStringList TRecordCopy::FailedRowStatement() const {
    if (!q_.QT.SQL.isEmpty())
        return ExpandedLines(q_.QT.SQL, q_.QT.LargeSplices());
    // Nothing was composed (a value could not be converted): the row as the source gave it, so the
    // entry can be replayed once the cause is removed.
    QStringList columns, values;
    for (const TMapping& m : mappings_) {
        columns << m.DestName;
        if (m.Constant)
            values << Quoted(m.ConstantValue, dialect_); // as the row had it
        else if (m.GenId)
            values << GenIdText(dialect_, TranslateValue(GenIdName, QString(), q_.Q), m.Dest.Name,
                                flow_.Target);
        else if (m.SourceIndex < 0 || q_.QS.Fields(m.SourceIndex).IsNull())
            values << "NULL";
        else
            values << Quoted(q_.QS.Fields(m.SourceIndex).RawText(), dialect_);
    }
    if (columns.isEmpty()) {
        QStringList row;
        for (int i = 0; i < q_.QS.FieldCount(); ++i)
            row << q_.QS.Fields(i).FieldName + "=" + q_.QS.Fields(i).RawText();
        return {"-- source record: " + OneLine(row.join(", "))};
    }
    return {"Insert into " + flow_.Target + " ", "   (" + columns.join(", ") + ")", "values ",
            "(" + values.join(", ") + ")"};
}

void TRecordCopy::ExportFileLost(const QString& reason, int record, qsizetype after) const {
    const QString kept =
        after > 0
            ? QString("that record and the %1 after it, read already, are in FailedData.sql.").arg(after)
            : QString("that record is in FailedData.sql.");
    throw EKelvoError(
        QString("The export file %1 could not be written: %2. The run ended at record %3 of flow %4; %5")
            .arg(q_.QT.ScriptFile(), reason)
            .arg(record)
            .arg(flow_.Name, kept));
}

void TRecordCopy::KeepFailedRow(const QString& reason, int record) {
    const QStringList statement = FailedRowStatement();
    try {
        AppendFailedStatement(ProgramDir() + "FailedData.sql", statement, flow_.Name, reason,
                              StatementSeparatorFor(dialect_.Engine));
    } catch (const std::exception& error) {
        // The row must at least be named where the operator looks.
        QString message = ErrorMessage(error);
        try {
            AppendLogLine(ProgramDir() + "Transfer.log",
                          QString("%1 Record %2 not kept, FailedData.sql cannot be written (%3): %4")
                              .arg(flow_.Name)
                              .arg(record > 0 ? record : RowsRead + 1)
                              .arg(OneLine(reason), OneLine(statement.join(' '))));
        } catch (const std::exception& logError) {
            message += "; " + ErrorMessage(logError);
        }
        throw EKelvoError(message);
    }
    ++Failed;
    context_.FailedCounted(Failed);
}

void TRecordCopy::HandleInsertError(const QString& reason, TRowResult& result, int record) {
    KeepFailedRow(reason, record);
    result = TRowResult::Failed;
    if (context_.StopOnError() &&
        AskYesNo("Failed to transfer record.\rMessage: " + reason + "\rContinue?") == mrNo)
        result = TRowResult::Stop;
}
