#include "query/QueryImpl.h"

#include <algorithm>
#include <sqlext.h>
#include <sqlucode.h>

#include "query/ColumnRead.h"
#include "query/DatabaseValues.h"
#include "query/DriverText.h"
#include "query/OdbcCalls.h"

using namespace DatabaseValues;
using namespace Odbc;

void TQuery::TImpl::RefreshParams(const QString& sql) {
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

void TQuery::TImpl::ResetState() {
    DropAhead();
    active = cursorOpen = hadRow = false;
    bof = eof = true;
    fields.clear();
    columns.clear();
}

void TQuery::TImpl::CloseCursor(bool always) noexcept {
    DropAhead();
    // Closing a cursor has nothing the caller could act on; the handle is reset on its next use.
    if (stmt && (cursorOpen || always)) {
        const SQLHSTMT h = stmt;
        db->CallQuietly([h] { return SQLFreeStmt(h, SQL_CLOSE); });
    }
    cursorOpen = false;
}

void TQuery::TImpl::FailStatement(SQLRETURN rc, const char* action, const TWaitResult& wait) {
    EDatabaseError error = db->StatementError(stmt, rc, action, wait);
    CloseCursor(true);
    ResetState();
    throw error;
}

SQLRETURN TQuery::TImpl::ReadText(SQLUSMALLINT column, TColumnData& data, qsizetype part) {
    const bool utf8 = db->utf8Narrow_;
    // A narrow part is not kept, but drivers fill all of it (strncpy): it is no larger than a wide one.
    const SQLRETURN rc = utf8 ? ReadBytes(stmt, column, true, bytes, data.null, part)
                              : ReadWideText(stmt, column, data.raw, data.null, part);
    if (rc == SQL_SUCCESS && utf8)
        TextOfUtf8(bytes, data.raw);
    return rc;
}

SQLRETURN TQuery::TImpl::ReadBinary(SQLUSMALLINT column, TColumnData& data, qsizetype part) {
    const SQLRETURN rc = ReadBytes(stmt, column, false, data.bytes, data.null, part);
    data.hexStale = true;
    return rc;
}

SQLRETURN TQuery::TImpl::ReadDouble(SQLUSMALLINT column, TColumnData& data) {
    double v = 0;
    SQLLEN indicator = 0;
    const SQLRETURN rc = SQLGetData(stmt, column, SQL_C_DOUBLE, &v, sizeof v, &indicator);
    if (!SQL_SUCCEEDED(rc))
        return rc;
    data.null = indicator == SQL_NULL_DATA;
    if (data.null) {
        data.raw.resize(0);
        return SQL_SUCCESS;
    }
    // Money carries at most four decimals.
    QString text = QString::number(v, 'f', 4);
    while (text.endsWith('0'))
        text.chop(1);
    if (text.endsWith('.'))
        text.chop(1);
    data.raw = text;
    return SQL_SUCCESS;
}

SQLRETURN TQuery::TImpl::ReadRow(std::vector<TColumnData>& row, bool& readFailed, qsizetype part) {
    const SQLRETURN fetched = SQLFetch(stmt);
    if (!SQL_SUCCEEDED(fetched))
        return fetched;
    for (size_t i = 0; i < row.size(); ++i) {
        TColumnData& data = row[i];
        const SQLUSMALLINT column = SQLUSMALLINT(i + 1);
        const SQLRETURN rc = data.kind == TReadKind::Text     ? ReadText(column, data, part)
                             : data.kind == TReadKind::Binary ? ReadBinary(column, data, part)
                                                              : ReadDouble(column, data);
        if (rc != SQL_SUCCESS) {
            readFailed = true;
            return rc;
        }
    }
    return SQL_SUCCESS;
}

bool TQuery::TImpl::FetchRow() {
    bool readFailed = false;
    const TWaitResult wait =
        db->Wait(stmt, [this, &readFailed]() -> short { return ReadRow(columns, readFailed); });
    if (readFailed)
        FailStatement(wait.Rc, "Reading a column", wait);
    if (wait.Rc == SQL_NO_DATA)
        return false;
    if (!SQL_SUCCEEDED(wait.Rc))
        FailStatement(wait.Rc, "Fetching a row", wait);
    return true;
}

namespace {
// A portion read ahead: enough rows to keep the reading busy, few enough bytes of values to keep memory
// flat; a smaller first part keeps the room each buffer holds near its value.
constexpr size_t AheadRows = 256;
constexpr qsizetype AheadBytes = 1024 * 1024;
constexpr qsizetype AheadFirstPart = 256;
} // namespace

void TQuery::TImpl::StartAhead() {
    filling.count = filling.next = 0;
    filling.rc = SQL_SUCCESS;
    filling.readFailed = false;
    filling.full = false;
    db->Start(stmt, [this] { return FillAhead(); });
    aheadStarted = true;
}

short TQuery::TImpl::FillAhead() {
    qsizetype held = 0;
    while (filling.count < AheadRows && held < AheadBytes) {
        if (filling.rows.size() <= filling.count) {
            std::vector<TColumnData>& row = filling.rows.emplace_back(kinds.size());
            for (size_t i = 0; i < kinds.size(); ++i)
                row[i].kind = kinds[i];
        }
        std::vector<TColumnData>& row = filling.rows[filling.count];
        const SQLRETURN rc = ReadRow(row, filling.readFailed, AheadFirstPart);
        if (rc != SQL_SUCCESS)
            return rc;
        ++filling.count;
        for (const TColumnData& data : row)
            held += data.raw.size() * 2 + data.bytes.size();
    }
    filling.full = held >= AheadBytes;
    return SQL_SUCCESS;
}

bool TQuery::TImpl::NextAhead() {
    while (ahead.next == ahead.count) {
        // The rows read before a failure are handed out first, as a fetch a row at a time would.
        if (ahead.rc == SQL_NO_DATA)
            return false;
        if (ahead.rc != SQL_SUCCESS)
            FailStatement(ahead.rc, ahead.readFailed ? "Reading a column" : "Fetching a row", ahead.wait);
        if (!aheadStarted)
            StartAhead();
        const TWaitResult wait = db->Finish();
        aheadStarted = false;
        std::swap(ahead, filling);
        ahead.next = 0;
        ahead.rc = wait.Rc;
        ahead.wait = wait;
        // Large values are held in one portion at a time besides the row being worked on.
        if (ahead.rc == SQL_SUCCESS && !ahead.full)
            StartAhead();
    }
    std::swap(columns, ahead.rows[ahead.next++]);
    return true;
}

void TQuery::TImpl::DropAhead() noexcept {
    if (aheadStarted) {
        aheadStarted = false;
        try {
            db->Finish();
        } catch (...) {
            // The rows were not wanted, and neither is what ended their reading: the cursor closes.
        }
    }
    ahead.count = ahead.next = 0;
    ahead.rc = SQL_SUCCESS;
    ahead.readFailed = false;
}

void TQuery::TImpl::Describe(const TQuery* owner, SQLSMALLINT count) {
    fields.assign(size_t(count), TField());
    columns.assign(size_t(count), TColumnData());
    std::vector<TColumnInfo> infos(static_cast<size_t>(count));
    std::vector<QString> names(static_cast<size_t>(count));
    std::vector<SQLSMALLINT> digitsOf(static_cast<size_t>(count));
    const SQLHSTMT h = stmt;
    // One hand-over for all columns; what they mean is worked out afterwards.
    const TWaitResult wait = db->Wait(h, [h, count, &infos, &names, &digitsOf]() -> short {
        std::vector<SQLWCHAR> name(256);
        for (SQLSMALLINT i = 0; i < count; ++i) {
            const SQLUSMALLINT column = SQLUSMALLINT(i + 1);
            TColumnInfo& info = infos[size_t(i)];
            SQLSMALLINT nameLength = 0, sqlType = SQL_UNKNOWN_TYPE, digits = 0, nullable = 0;
            SQLULEN columnSize = 0;
            SQLRETURN rc = SQLDescribeColW(h, column, name.data(), SQLSMALLINT(name.size()), &nameLength,
                                           &sqlType, &columnSize, &digits, &nullable);
            if (SQL_SUCCEEDED(rc) && nameLength >= SQLSMALLINT(name.size())) {
                name.resize(size_t(nameLength) + 1);
                rc = SQLDescribeColW(h, column, name.data(), SQLSMALLINT(name.size()), &nameLength, &sqlType,
                                     &columnSize, &digits, &nullable);
            }
            if (!SQL_SUCCEEDED(rc))
                return rc;
            SQLWCHAR typeName[128] = {};
            SQLSMALLINT typeNameBytes = 0;
            rc = SQLColAttributeW(h, column, SQL_DESC_TYPE_NAME, typeName, SQLSMALLINT(sizeof typeName),
                                  &typeNameBytes, nullptr);
            if (!SQL_SUCCEEDED(rc))
                return rc;
            SQLLEN autoUnique = 0, isUnsigned = 0;
            rc = SQLColAttributeW(h, column, SQL_DESC_AUTO_UNIQUE_VALUE, nullptr, 0, nullptr, &autoUnique);
            if (SQL_SUCCEEDED(rc))
                rc = SQLColAttributeW(h, column, SQL_DESC_UNSIGNED, nullptr, 0, nullptr, &isUnsigned);
            if (!SQL_SUCCEEDED(rc))
                return rc;
            info.typeName = FromW(typeName, std::min<qsizetype>(typeNameBytes / qsizetype(sizeof(SQLWCHAR)),
                                                                qsizetype(std::size(typeName) - 1)));
            info.sqlType = sqlType;
            info.size = columnSize;
            info.autoIncrement = autoUnique == SQL_TRUE;
            info.isUnsigned = isUnsigned == SQL_TRUE;
            names[size_t(i)] = FromW(name.data(), nameLength);
            digitsOf[size_t(i)] = digits;
        }
        return SQL_SUCCESS;
    });
    if (!SQL_SUCCEEDED(wait.Rc))
        FailStatement(wait.Rc, "Describing a column", wait);
    for (SQLSMALLINT i = 0; i < count; ++i) {
        const TColumnInfo& info = infos[size_t(i)];
        TField& f = fields[size_t(i)];
        f.FieldName = names[size_t(i)];
        f.DataType = MapType(info);
        f.Size = DeclaredSize(f.DataType, info.size);
        f.Scale = f.DataType == TFieldType::ftBCD || f.DataType == TFieldType::ftCurrency
                      ? digitsOf[size_t(i)]
                      : -1;
        f.TypeName = info.typeName;
        f.owner_ = owner;
        f.index_ = i;
        columns[size_t(i)].kind = ReadKindOf(f.DataType, SQLSMALLINT(info.sqlType));
    }
    kinds.clear();
    for (const TColumnData& data : columns)
        kinds.push_back(data.kind);
    ahead.rows.clear(); // of the columns before
    filling.rows.clear();
}

void TQuery::TImpl::Prepare(TQuery& query, bool drain) {
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
        stmt = target->AllocStatement();
        db = target;
        target->clients_.push_back(&query);
    }

    RefreshParams(query.SQL.join('\n'));
    boundValues.clear();
    for (const QString& name : parsed.markers) {
        auto it = std::find_if(params.begin(), params.end(), [&](const TParam& p) {
            return p.Name.compare(name, Qt::CaseInsensitive) == 0;
        });
        boundValues.push_back(it != params.end() ? it->Value : QString());
    }
    run = TRun();
    run.text = parsed.markers.isEmpty() ? &paramsSource : &parsed.text;
    run.utf8 = db->utf8Narrow_;
    run.narrow = db->narrowText_;
    run.portions = query.ReadInPortions && db->cursorOnRequest_;
    run.drain = drain;
    run.dbc = db->Handle();
    boundLengths.assign(boundValues.size(), 0);
    boundUtf8.assign(boundValues.size(), QByteArray());
    for (size_t i = 0; i < boundValues.size(); ++i)
        if (run.utf8)
            boundUtf8[i] = boundValues[i].toUtf8();
    if (!query.LargeValues.empty() && !parsed.markers.isEmpty())
        throw EDatabaseError("A statement cannot hold both named parameters and large values.");
    large = query.LargeValues;
    largeUtf8.assign(large.size(), QByteArray());
    largeLengths.assign(large.size(), 0);
    for (size_t i = 0; i < large.size(); ++i)
        if (run.utf8 && !large[i]->Binary)
            largeUtf8[i] = large[i]->Text.toUtf8();
}

namespace {
constexpr qsizetype PutPart = 1024 * 1024; // bytes handed to the driver at a time
}

QByteArrayView TQuery::TImpl::LargeData(size_t i) const {
    const TLargeValue& v = *large[i];
    if (v.Binary)
        return v.Bytes;
    if (run.utf8)
        return largeUtf8[i];
    return QByteArrayView(reinterpret_cast<const char*>(v.Text.utf16()), v.Text.size() * 2);
}

short TQuery::TImpl::SendLargeValues(SQLHSTMT h) {
    for (;;) {
        SQLPOINTER token = nullptr;
        SQLRETURN rc = SQLParamData(h, &token);
        if (rc != SQL_NEED_DATA)
            return rc;
        const size_t i = size_t(reinterpret_cast<quintptr>(token));
        if (i >= large.size()) {
            run.failed = "Sending a large value";
            return SQL_ERROR;
        }
        const TLargeValue& v = *large[i];
        const bool wide = !v.Binary && !run.utf8;
        const char* data = LargeData(i).data();
        const qsizetype size = LargeData(i).size();
        if (size == 0)
            rc = SQLPutData(h, const_cast<char*>(data), 0);
        for (qsizetype from = 0; from < size;) {
            qsizetype n = std::min(PutPart, size - from);
            // A part ends between characters: a driver converts each part on its own.
            if (from + n < size) {
                if (wide && QChar::isHighSurrogate(reinterpret_cast<const char16_t*>(data + from + n)[-1]))
                    n -= 2;
                else if (!v.Binary && !wide)
                    while (n > 1 && (static_cast<unsigned char>(data[from + n]) & 0xC0) == 0x80)
                        --n;
            }
            rc = SQLPutData(h, const_cast<char*>(data + from), SQLLEN(n));
            if (!SQL_SUCCEEDED(rc))
                break;
            from += n;
        }
        if (!SQL_SUCCEEDED(rc)) {
            run.failed = "Sending a large value";
            return rc;
        }
    }
}

short TQuery::TImpl::Run() {
    const SQLHSTMT h = stmt;
    SQLFreeStmt(h, SQL_RESET_PARAMS);
    for (size_t i = 0; i < boundValues.size(); ++i) {
        SQLRETURN rc;
        if (run.utf8) {
            QByteArray& bytes = boundUtf8[i];
            boundLengths[i] = SQLLEN(bytes.size());
            rc = SQLBindParameter(h, SQLUSMALLINT(i + 1), SQL_PARAM_INPUT, SQL_C_CHAR,
                                  bytes.size() > 8000 ? SQL_LONGVARCHAR : SQL_VARCHAR,
                                  SQLULEN(std::max<qsizetype>(bytes.size(), 1)), 0, bytes.data(),
                                  boundLengths[i], &boundLengths[i]);
        } else {
            const QString& v = boundValues[i];
            boundLengths[i] = SQLLEN(v.size() * qsizetype(sizeof(SQLWCHAR)));
            rc = SQLBindParameter(h, SQLUSMALLINT(i + 1), SQL_PARAM_INPUT, SQL_C_WCHAR,
                                  v.size() > 4000 ? SQL_WLONGVARCHAR : SQL_WVARCHAR,
                                  SQLULEN(std::max<qsizetype>(v.size(), 1)), 0, W(v), boundLengths[i],
                                  &boundLengths[i]);
        }
        if (!SQL_SUCCEEDED(rc)) {
            run.failed = "Binding a parameter";
            return rc;
        }
    }
    // Large values go at execution, a part at a time: neither this program nor the driver makes a
    // second whole copy, and MariaDB takes them past its packet limit.
    for (size_t i = 0; i < large.size(); ++i) {
        const TLargeValue& v = *large[i];
        const qsizetype size = LargeData(i).size();
        largeLengths[i] = SQL_LEN_DATA_AT_EXEC(SQLLEN(size));
        const SQLSMALLINT cType = v.Binary ? SQL_C_BINARY : run.utf8 ? SQL_C_CHAR : SQL_C_WCHAR;
        const SQLSMALLINT sqlType = v.Binary   ? SQL_LONGVARBINARY
                                    : run.utf8 ? SQL_LONGVARCHAR
                                               : SQL_WLONGVARCHAR;
        const SQLRETURN rc = SQLBindParameter(h, SQLUSMALLINT(boundValues.size() + i + 1), SQL_PARAM_INPUT,
                                              cType, sqlType, SQLULEN(std::max<qsizetype>(size, 1)), 0,
                                              reinterpret_cast<SQLPOINTER>(quintptr(i)), 0, &largeLengths[i]);
        if (!SQL_SUCCEEDED(rc)) {
            run.failed = "Binding a parameter";
            return rc;
        }
    }
    SQLRETURN rc;
    {
        const TPortionScope scope(run.dbc, run.portions);
        rc = ExecDirectText(h, *run.text, run.narrow);
        if (rc == SQL_NEED_DATA)
            rc = SendLargeValues(h);
    }
    if (!SQL_SUCCEEDED(rc))
        return rc;
    if (run.drain) {
        run.moved = SQLMoreResults(h);
        if (run.moved == SQL_NO_DATA) {
            SQLFreeStmt(h, SQL_CLOSE);
            run.closed = true;
        }
        return rc;
    }
    // Past the first result no column count is asked for: a driver may refuse it there.
    const SQLRETURN described = SQLNumResultCols(h, &run.count);
    if (!SQL_SUCCEEDED(described)) {
        run.failed = "Describing the result";
        return described;
    }
    return rc;
}

SQLSMALLINT TQuery::TImpl::Conclude(const TWaitResult& wait, TDrain* drain) {
    large.clear(); // the row's values are not held past their statement
    largeUtf8.clear();
    if (wait.Rc == SQL_NO_DATA)
        return 0;
    if (!SQL_SUCCEEDED(wait.Rc))
        FailStatement(wait.Rc, run.failed, wait);
    cursorOpen = !run.closed;
    if (drain) {
        drain->rc = run.moved;
        drain->wait = wait;
    }
    return run.count;
}

SQLSMALLINT TQuery::TImpl::Execute(TQuery& query, TDrain* drain) {
    Prepare(query, drain != nullptr);
    // Parameters, the text and what follows it go over in one hand-over: an insert costs one.
    return Conclude(db->Wait(stmt, [this] { return Run(); }), drain);
}

void TQuery::TImpl::EndExec(const TDrain& drain) {
    if (!cursorOpen)
        return; // the usual case: closed in the same hand-over
    try {
        db->DrainResults(stmt, drain.rc, drain.wait);
    } catch (...) {
        CloseCursor(true);
        throw;
    }
    CloseCursor();
}

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
        d_->db->FreeStatement(d_->stmt);
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
    d_->EndExec(drain);
}

void TQuery::StartExecSQL() {
    d_->Prepare(*this, true);
    d_->db->Start(d_->stmt, [impl = d_.get()] { return impl->Run(); });
}

void TQuery::FinishExecSQL() {
    if (!d_->db)
        throw EDatabaseError("The connection was closed before the statement's answer was read.");
    TImpl::TDrain drain;
    d_->Conclude(d_->db->Finish(), &drain);
    d_->EndExec(drain);
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
    if (!d_->cursorOpen || !(ReadAhead ? d_->NextAhead() : d_->FetchRow())) {
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
