#include "query/Database.h"

#include <QDateTime>
#include <QRegularExpression>
#include <algorithm>
#include <clocale>
#include <cmath>
#include <langinfo.h>
#include <odbcinst.h>
#include <sql.h>
#include <sqlext.h>
#include <sqlucode.h>

#include "platform/DateTime.h"
#include "platform/Regional.h"
#include "support/Answerer.h"

static_assert(sizeof(SQLWCHAR) == sizeof(char16_t), "text crosses ODBC as UTF-16");

namespace {

const SQLWCHAR* W(const QString& text) {
    return reinterpret_cast<const SQLWCHAR*>(text.utf16());
}

QString FromW(const SQLWCHAR* text, qsizetype length) {
    return QString::fromUtf16(reinterpret_cast<const char16_t*>(text), length);
}

SQLHENV Environment() {
    static SQLHENV env = [] {
        // Drivers convert wide text through the C library's character set; it must be UTF-8 or
        // letters outside ASCII are lost.
        const char* codeset = nl_langinfo(CODESET);
        if (!codeset || QByteArray(codeset).toUpper().replace("-", "") != "UTF8")
            std::setlocale(LC_CTYPE, "C.UTF-8");
        SQLHENV h = SQL_NULL_HENV;
        if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &h)))
            throw EDatabaseError("The ODBC driver manager could not be initialised.");
        SQLSetEnvAttr(h, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0);
        return h;
    }();
    return env;
}

// The engine's own messages for a failed call, every record on its own line.
QString Diagnostics(SQLSMALLINT handleType, SQLHANDLE handle) {
    QStringList messages;
    SQLWCHAR state[6];
    SQLWCHAR message[2048];
    SQLINTEGER native = 0;
    SQLSMALLINT length = 0;
    for (SQLSMALLINT i = 1; i < 20; ++i) {
        const SQLRETURN r = SQLGetDiagRecW(handleType, handle, i, state, &native, message,
                                           SQLSMALLINT(std::size(message)), &length);
        if (!SQL_SUCCEEDED(r))
            break;
        messages << FromW(message, std::min<qsizetype>(length, qsizetype(std::size(message)) - 1)).trimmed();
    }
    if (messages.isEmpty())
        return "The database engine reported an error without a message.";
    return messages.join('\n');
}

void Check(SQLRETURN r, SQLSMALLINT handleType, SQLHANDLE handle) {
    if (!SQL_SUCCEEDED(r) && r != SQL_NO_DATA)
        throw EDatabaseError(Diagnostics(handleType, handle));
}

std::vector<TDatabase*>& Registry() {
    static std::vector<TDatabase*> registry;
    return registry;
}

QString ParamValue(const QStringList& params, const QString& name) {
    for (const QString& line : params) {
        const int eq = line.indexOf('=');
        if (eq >= 0 && line.left(eq).trimmed().compare(name, Qt::CaseInsensitive) == 0)
            return line.mid(eq + 1);
    }
    return QString();
}

// Values holding a separator are wrapped in braces, with closing braces doubled.
QString ConnValue(const QString& value) {
    if (!value.contains(QRegularExpression("[;{}=\\s]")))
        return value;
    QString v = value;
    v.replace("}", "}}");
    return "{" + v + "}";
}

QString DsnEntry(const QString& dsn, const char* key) {
    char buffer[512] = {0};
    SQLGetPrivateProfileString(dsn.toUtf8().constData(), key, "", buffer, sizeof buffer, "odbc.ini");
    return QString::fromUtf8(buffer);
}

// The name of a type without its length or precision, in lower case.
QString BareTypeName(const QString& typeName) {
    QString name = typeName.toLower();
    const int paren = name.indexOf('(');
    if (paren >= 0)
        name = name.left(paren);
    return name.trimmed();
}

TFieldType MapType(SQLSMALLINT sqlType, const QString& typeName, bool autoIncrement, bool isUnsigned) {
    const QString name = BareTypeName(typeName);
    if (autoIncrement || name == "serial" || name == "bigserial" || name == "smallserial" ||
        name.contains("identity") || name.contains("autoincrement"))
        return TFieldType::ftAutoInc;
    if (name == "bool" || name == "boolean" || name == "bit")
        return TFieldType::ftBoolean;
    if (name == "uuid" || name == "uniqueidentifier" || name == "guid")
        return TFieldType::ftGuid;
    if (name == "money" || name == "smallmoney" || name == "currency")
        return TFieldType::ftCurrency;
    if (name == "char" || name == "bpchar" || name == "character" || name == "nchar")
        return TFieldType::ftFixedChar;
    if (name == "varchar" || name == "character varying" || name == "varchar2")
        return TFieldType::ftString;
    if (name == "nvarchar" || name == "national character varying" || name == "nvarchar2")
        return TFieldType::ftWideString;
    if (name == "text" || name == "clob" || name == "longtext" || name == "mediumtext" ||
        name == "tinytext" || name == "memo" || name == "longvarchar")
        return TFieldType::ftMemo;
    if (name == "ntext" || name == "nclob")
        return TFieldType::ftWideMemo;
    if (name == "bytea" || name == "blob" || name == "longblob" || name == "mediumblob" || name == "image" ||
        name == "varbinary")
        return TFieldType::ftBlob;
    if (name == "binary")
        return TFieldType::ftBytes;
    if (name == "timestamp" || name == "timestamptz" || name == "datetime" || name == "datetime2" ||
        name == "smalldatetime" || name == "timestamp without time zone" ||
        name == "timestamp with time zone")
        return TFieldType::ftDateTime;
    if (name == "date")
        return TFieldType::ftDate;
    if (name == "time" || name == "timetz" || name == "time without time zone")
        return TFieldType::ftTime;
    if (name == "numeric" || name == "decimal")
        return TFieldType::ftBCD;
    if (name == "real" || name == "float" || name == "float4" || name == "float8" || name == "double" ||
        name == "double precision")
        return TFieldType::ftFloat;
    if (name == "bigint" || name == "int8")
        return TFieldType::ftLargeint;
    if (name == "smallint" || name == "int2" || name == "tinyint")
        return isUnsigned ? TFieldType::ftWord : TFieldType::ftSmallint;
    if (name == "integer" || name == "int" || name == "int4" || name == "mediumint")
        return TFieldType::ftInteger;
    switch (sqlType) {
    case SQL_SMALLINT:
    case SQL_TINYINT:
        return isUnsigned ? TFieldType::ftWord : TFieldType::ftSmallint;
    case SQL_INTEGER:
        return TFieldType::ftInteger;
    case SQL_BIGINT:
        return TFieldType::ftLargeint;
    case SQL_BIT:
        return TFieldType::ftBoolean;
    case SQL_REAL:
    case SQL_FLOAT:
    case SQL_DOUBLE:
        return TFieldType::ftFloat;
    case SQL_DECIMAL:
    case SQL_NUMERIC:
        return TFieldType::ftBCD;
    case SQL_TYPE_DATE:
    case SQL_DATE:
        return TFieldType::ftDate;
    case SQL_TYPE_TIME:
    case SQL_TIME:
        return TFieldType::ftTime;
    case SQL_TYPE_TIMESTAMP:
    case SQL_TIMESTAMP:
        return TFieldType::ftDateTime;
    case SQL_CHAR:
    case SQL_WCHAR:
        return TFieldType::ftFixedChar;
    case SQL_VARCHAR:
        return TFieldType::ftString;
    case SQL_WVARCHAR:
        return TFieldType::ftWideString;
    case SQL_LONGVARCHAR:
        return TFieldType::ftMemo;
    case SQL_WLONGVARCHAR:
        return TFieldType::ftWideMemo;
    case SQL_BINARY:
        return TFieldType::ftBytes;
    case SQL_VARBINARY:
    case SQL_LONGVARBINARY:
        return TFieldType::ftBlob;
    case SQL_GUID:
        return TFieldType::ftGuid;
    default:
        return TFieldType::ftUnknown;
    }
}

bool HasDeclaredLength(TFieldType type) {
    switch (type) {
    case TFieldType::ftString:
    case TFieldType::ftWideString:
    case TFieldType::ftFixedChar:
    case TFieldType::ftBytes:
        return true;
    default:
        return false;
    }
}

bool IsDateType(TFieldType type) {
    return type == TFieldType::ftDate || type == TFieldType::ftTime || type == TFieldType::ftDateTime ||
           type == TFieldType::ftTimeStamp;
}

bool IsNumericType(TFieldType type) {
    switch (type) {
    case TFieldType::ftSmallint:
    case TFieldType::ftInteger:
    case TFieldType::ftWord:
    case TFieldType::ftFloat:
    case TFieldType::ftCurrency:
    case TFieldType::ftBCD:
    case TFieldType::ftLargeint:
    case TFieldType::ftAutoInc:
        return true;
    default:
        return false;
    }
}

// Engines give ISO texts: 2024-03-01, 13:45:10, 2024-03-01 13:45:10.123 (+zone for PostgreSQL's
// timestamptz, which is dropped: the value is shown as the server's local time).
QDateTime ParseIsoDateTime(const QString& raw) {
    QString text = raw.trimmed();
    const QRegularExpression zone("([+-]\\d\\d(:?\\d\\d)?|Z)$");
    if (text.size() > 10 && text.contains(':'))
        text.remove(zone);
    text.replace('T', ' ');
    QDateTime dt = QDateTime::fromString(text, "yyyy-MM-dd HH:mm:ss.z");
    if (!dt.isValid())
        dt = QDateTime::fromString(text.left(19), "yyyy-MM-dd HH:mm:ss");
    if (!dt.isValid())
        dt = QDateTime::fromString(text.left(16), "yyyy-MM-dd HH:mm");
    if (!dt.isValid()) {
        const QDate d = QDate::fromString(text.left(10), "yyyy-MM-dd");
        if (d.isValid())
            dt = QDateTime(d, QTime(0, 0));
    }
    if (!dt.isValid()) {
        QTime t = QTime::fromString(text, "HH:mm:ss.z");
        if (!t.isValid())
            t = QTime::fromString(text.left(8), "HH:mm:ss");
        if (t.isValid())
            dt = QDateTime(DaysEpoch(), t);
    }
    return dt;
}

// Money texts carry symbols and group separators ("$1,234.50").
QString PlainNumber(const QString& raw, TFieldType type) {
    if (type != TFieldType::ftCurrency)
        return raw.trimmed();
    QString out;
    for (const QChar c : raw) {
        if (c.isDigit() || c == '.' || c == '-' || c == 'E' || c == 'e')
            out += c;
        else if (c == '(')
            out += '-';
    }
    return out;
}

} // namespace

const char* FieldTypeName(TFieldType type) {
    static const char* names[] = {"Unknown",    "Smallint",  "Integer", "Word",     "Boolean",  "Float",
                                  "Currency",   "BCD",       "Date",    "Time",     "DateTime", "String",
                                  "WideString", "FixedChar", "Guid",    "Largeint", "AutoInc",  "Memo",
                                  "WideMemo",   "Blob",      "Bytes",   "TimeStamp"};
    return names[int(type)];
}

// ---------------------------------------------------------------------------------------------------
// Connection

TDatabase::TDatabase() {
    Registry().push_back(this);
}

TDatabase::~TDatabase() {
    Close();
    auto& r = Registry();
    r.erase(std::remove(r.begin(), r.end(), this), r.end());
}

TDatabase* FindDatabase(const QString& databaseName) {
    for (TDatabase* db : Registry()) {
        if (db->DatabaseName.compare(databaseName, Qt::CaseInsensitive) == 0)
            return db;
    }
    return nullptr;
}

bool TDatabase::Connected() const {
    return dbc_ != nullptr;
}

void* TDatabase::Handle() {
    if (!dbc_)
        Open();
    return dbc_;
}

QString TDatabase::ConnectionString(const QString& userName, const QString& password) const {
    QString text = "DSN=" + ConnValue(AliasName) + ";";
    if (!userName.isEmpty())
        text += "UID=" + ConnValue(userName) + ";";
    if (!password.isEmpty())
        text += "PWD=" + ConnValue(password) + ";";
    return text;
}

void TDatabase::Open() {
    if (dbc_)
        return;
    QString userName = ParamValue(Params, "USER NAME");
    QString password = ParamValue(Params, "PASSWORD");
    if (LoginPrompt) {
        if (userName.isEmpty()) {
            for (const char* key : {"UID", "Username", "User", "UserName"}) {
                userName = DsnEntry(AliasName, key);
                if (!userName.isEmpty())
                    break;
            }
        }
        if (!Answerer().Login(DatabaseName, userName, password))
            throw EDatabaseError(QString("Login to %1 was cancelled.").arg(DatabaseName));
    }
    SQLHDBC dbc = SQL_NULL_HDBC;
    Check(SQLAllocHandle(SQL_HANDLE_DBC, Environment(), &dbc), SQL_HANDLE_ENV, Environment());
    const QString connection = ConnectionString(userName, password);
    SQLWCHAR out[1024];
    SQLSMALLINT outLength = 0;
    const SQLRETURN r = SQLDriverConnectW(dbc, nullptr, const_cast<SQLWCHAR*>(W(connection)), SQL_NTS, out,
                                          SQLSMALLINT(std::size(out)), &outLength, SQL_DRIVER_NOPROMPT);
    if (!SQL_SUCCEEDED(r)) {
        const QString message = Diagnostics(SQL_HANDLE_DBC, dbc);
        SQLFreeHandle(SQL_HANDLE_DBC, dbc);
        throw EDatabaseError(message);
    }
    dbc_ = dbc;
}

void TDatabase::Close() {
    if (!dbc_)
        return;
    for (TQuery* q : std::vector<TQuery*>(clients_))
        q->ReleaseStatement();
    clients_.clear();
    SQLDisconnect(dbc_);
    SQLFreeHandle(SQL_HANDLE_DBC, dbc_);
    dbc_ = nullptr;
}

void TDatabase::ExecDirect(const QString& statement) {
    SQLHSTMT stmt = SQL_NULL_HSTMT;
    Check(SQLAllocHandle(SQL_HANDLE_STMT, Handle(), &stmt), SQL_HANDLE_DBC, dbc_);
    const SQLRETURN r = SQLExecDirectW(stmt, const_cast<SQLWCHAR*>(W(statement)), SQL_NTS);
    QString message;
    if (!SQL_SUCCEEDED(r) && r != SQL_NO_DATA)
        message = Diagnostics(SQL_HANDLE_STMT, stmt);
    SQLFreeHandle(SQL_HANDLE_STMT, stmt);
    if (!message.isEmpty())
        throw EDatabaseError(message);
}

// ---------------------------------------------------------------------------------------------------
// Query

struct TQuery::TImpl {
    SQLHSTMT stmt = SQL_NULL_HSTMT;
    TDatabase* db = nullptr;
    bool active = false;
    bool bof = true;
    bool eof = true;
    std::vector<TField> fields;
    std::vector<QString> values;
    std::vector<char> nulls;
    std::vector<SQLSMALLINT> sqlTypes;
    std::vector<TParam> params;
    QString paramsText; // the statement text params were parsed from
    std::vector<SQLWCHAR> buffer = std::vector<SQLWCHAR>(4096);
};

TQuery::TQuery() : d_(std::make_unique<TImpl>()) {}

TQuery::~TQuery() {
    Close();
}

namespace {

// ":NAME" markers outside quotes; "::" (a PostgreSQL cast) is no marker. Returns the text with '?'
// markers and the names in order.
QString ParseParams(const QString& text, QStringList& names) {
    QString out;
    out.reserve(text.size());
    QChar quote;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (!quote.isNull()) {
            out += c;
            if (c == quote)
                quote = QChar();
            continue;
        }
        if (c == '\'' || c == '"') {
            quote = c;
            out += c;
            continue;
        }
        if (c == ':' && i + 1 < text.size() && (text[i + 1].isLetter() || text[i + 1] == '_') &&
            (i == 0 || text[i - 1] != ':')) {
            qsizetype j = i + 1;
            while (j < text.size() && (text[j].isLetterOrNumber() || text[j] == '_'))
                ++j;
            names << text.mid(i + 1, j - i - 1);
            out += '?';
            i = j - 1;
            continue;
        }
        if (c == ':' && i + 1 < text.size() && text[i + 1] == ':') {
            out += "::";
            ++i;
            continue;
        }
        out += c;
    }
    return out;
}

} // namespace

std::vector<TParam>& TQuery::Params() {
    const QString text = SQL.join('\n');
    // Most statements carry no markers; they skip the scan.
    if (!text.contains(':')) {
        d_->params.clear();
        d_->paramsText.clear();
        return d_->params;
    }
    if (text != d_->paramsText) {
        QStringList names;
        ParseParams(text, names);
        std::vector<TParam> params;
        for (const QString& name : names) {
            TParam p{name, QString()};
            for (const TParam& old : d_->params) {
                if (old.Name.compare(name, Qt::CaseInsensitive) == 0)
                    p.Value = old.Value;
            }
            params.push_back(p);
        }
        d_->params = std::move(params);
        d_->paramsText = text;
    }
    return d_->params;
}

void TQuery::ReleaseStatement() noexcept {
    if (d_->stmt != SQL_NULL_HSTMT) {
        SQLFreeHandle(SQL_HANDLE_STMT, d_->stmt);
        d_->stmt = SQL_NULL_HSTMT;
    }
    if (d_->db) {
        auto& c = d_->db->clients_;
        c.erase(std::remove(c.begin(), c.end(), this), c.end());
        d_->db = nullptr;
    }
    d_->active = false;
    d_->bof = d_->eof = true;
}

void TQuery::Close() {
    ReleaseStatement();
    d_->fields.clear();
    d_->values.clear();
    d_->nulls.clear();
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

// Runs the statement text on a fresh statement handle; returns the handle, which the caller owns.
SQLHSTMT Execute(TDatabase& db, const QString& text, std::vector<TParam>& params) {
    SQLHDBC dbc = static_cast<SQLHDBC>(db.Handle());
    SQLHSTMT stmt = SQL_NULL_HSTMT;
    Check(SQLAllocHandle(SQL_HANDLE_STMT, dbc, &stmt), SQL_HANDLE_DBC, dbc);
    QStringList names;
    const QString prepared = params.empty() ? text : ParseParams(text, names);
    std::vector<QString> values;
    std::vector<SQLLEN> lengths(params.size());
    values.reserve(params.size());
    for (std::size_t i = 0; i < params.size(); ++i) {
        values.push_back(params[i].Value);
        lengths[i] = SQLLEN(values[i].size() * sizeof(SQLWCHAR));
        const SQLRETURN r = SQLBindParameter(stmt, SQLUSMALLINT(i + 1), SQL_PARAM_INPUT, SQL_C_WCHAR,
                                             SQL_WVARCHAR, std::max<SQLULEN>(1, values[i].size()), 0,
                                             const_cast<SQLWCHAR*>(W(values[i])), lengths[i], &lengths[i]);
        if (!SQL_SUCCEEDED(r)) {
            const QString message = Diagnostics(SQL_HANDLE_STMT, stmt);
            SQLFreeHandle(SQL_HANDLE_STMT, stmt);
            throw EDatabaseError(message);
        }
    }
    const SQLRETURN r = SQLExecDirectW(stmt, const_cast<SQLWCHAR*>(W(prepared)), SQL_NTS);
    if (!SQL_SUCCEEDED(r) && r != SQL_NO_DATA) {
        const QString message = Diagnostics(SQL_HANDLE_STMT, stmt);
        SQLFreeHandle(SQL_HANDLE_STMT, stmt);
        throw EDatabaseError(message);
    }
    return stmt;
}

TDatabase& DatabaseOf(const QString& name) {
    TDatabase* db = FindDatabase(name);
    if (!db)
        throw EDatabaseError(QString("Unknown database: %1").arg(name));
    return *db;
}

} // namespace

void TQuery::Open() {
    if (d_->active)
        return;
    Close();
    TDatabase& db = DatabaseOf(DatabaseName);
    std::vector<TParam>& params = Params();
    SQLHSTMT stmt = Execute(db, SQL.join('\n'), params);
    d_->stmt = stmt;
    d_->db = &db;
    db.clients_.push_back(this);
    SQLSMALLINT count = 0;
    SQLNumResultCols(stmt, &count);
    if (count <= 0) {
        Close();
        throw EDatabaseError("The statement returned no result set.");
    }
    d_->fields.resize(count);
    d_->values.assign(count, QString());
    d_->nulls.assign(count, 1);
    d_->sqlTypes.assign(count, 0);
    for (SQLSMALLINT c = 0; c < count; ++c) {
        SQLWCHAR name[256];
        SQLSMALLINT nameLength = 0, type = 0, digits = 0, nullable = 0;
        SQLULEN size = 0;
        Check(SQLDescribeColW(stmt, SQLUSMALLINT(c + 1), name, 256, &nameLength, &type, &size, &digits,
                              &nullable),
              SQL_HANDLE_STMT, stmt);
        SQLWCHAR typeName[128];
        SQLSMALLINT typeNameBytes = 0;
        SQLColAttributeW(stmt, SQLUSMALLINT(c + 1), SQL_DESC_TYPE_NAME, typeName, sizeof typeName,
                         &typeNameBytes, nullptr);
        SQLLEN autoUnique = 0, isUnsigned = 0;
        SQLColAttributeW(stmt, SQLUSMALLINT(c + 1), SQL_DESC_AUTO_UNIQUE_VALUE, nullptr, 0, nullptr,
                         &autoUnique);
        SQLColAttributeW(stmt, SQLUSMALLINT(c + 1), SQL_DESC_UNSIGNED, nullptr, 0, nullptr, &isUnsigned);
        TField& f = d_->fields[c];
        f.FieldName = FromW(name, std::min<qsizetype>(nameLength, 255));
        f.TypeName = FromW(typeName, std::min<qsizetype>(typeNameBytes / qsizetype(sizeof(SQLWCHAR)), 127));
        f.DataType = MapType(type, f.TypeName, autoUnique == SQL_TRUE, isUnsigned == SQL_TRUE);
        f.Size = f.DataType == TFieldType::ftGuid ? 38 : HasDeclaredLength(f.DataType) ? int(size) : 0;
        if (f.DataType == TFieldType::ftBCD)
            f.Size = digits;
        f.owner_ = this;
        f.index_ = c;
        d_->sqlTypes[c] = type;
    }
    d_->active = true;
    d_->bof = true;
    d_->eof = false;
    FetchRow();
}

void TQuery::FetchRow() {
    SQLHSTMT stmt = d_->stmt;
    const SQLRETURN r = SQLFetch(stmt);
    if (r == SQL_NO_DATA) {
        d_->eof = true;
        return;
    }
    Check(r, SQL_HANDLE_STMT, stmt);
    std::vector<SQLWCHAR>& buffer = d_->buffer;
    const SQLLEN bufferBytes = SQLLEN(buffer.size() * sizeof(SQLWCHAR));
    for (std::size_t c = 0; c < d_->fields.size(); ++c) {
        SQLLEN indicator = 0;
        SQLRETURN g =
            SQLGetData(stmt, SQLUSMALLINT(c + 1), SQL_C_WCHAR, buffer.data(), bufferBytes, &indicator);
        if (g == SQL_NO_DATA || indicator == SQL_NULL_DATA) {
            d_->nulls[c] = 1;
            d_->values[c].clear();
            continue;
        }
        Check(g, SQL_HANDLE_STMT, stmt);
        d_->nulls[c] = 0;
        QString& value = d_->values[c];
        value.clear();
        // A long value arrives in pieces; each piece but the last fills the buffer less its terminator.
        while (true) {
            const qsizetype maxChars = qsizetype(buffer.size()) - 1;
            qsizetype chars = maxChars;
            if (indicator != SQL_NO_TOTAL && indicator / qsizetype(sizeof(SQLWCHAR)) <= maxChars)
                chars = indicator / qsizetype(sizeof(SQLWCHAR));
            value += FromW(buffer.data(), chars);
            if (g != SQL_SUCCESS_WITH_INFO || chars < maxChars)
                break;
            g = SQLGetData(stmt, SQLUSMALLINT(c + 1), SQL_C_WCHAR, buffer.data(), bufferBytes, &indicator);
            if (g == SQL_NO_DATA)
                break;
            Check(g, SQL_HANDLE_STMT, stmt);
        }
    }
}

void TQuery::ExecSQL() {
    Close();
    TDatabase& db = DatabaseOf(DatabaseName);
    SQLHSTMT stmt = Execute(db, SQL.join('\n'), Params());
    SQLFreeHandle(SQL_HANDLE_STMT, stmt);
}

void TQuery::Next() {
    if (!d_->active || d_->eof)
        return;
    d_->bof = false;
    FetchRow();
}

void TQuery::Last() {
    if (!d_->active)
        return;
    // Forward-only: the cursor is given up and the loop sees the end at its next check.
    if (d_->stmt != SQL_NULL_HSTMT)
        SQLCloseCursor(d_->stmt);
    d_->eof = true;
}

int TQuery::FieldCount() const {
    return int(d_->fields.size());
}

TField& TQuery::Fields(int index) {
    if (index < 0 || index >= int(d_->fields.size()))
        throw EDatabaseError(QString("Field index %1 out of range").arg(index));
    return d_->fields[index];
}

TField* TQuery::FindField(const QString& name) {
    for (TField& f : d_->fields) {
        if (f.FieldName.compare(name, Qt::CaseInsensitive) == 0)
            return &f;
    }
    return nullptr;
}

TField& TQuery::FieldByName(const QString& name) {
    TField* f = FindField(name);
    if (!f)
        throw EDatabaseError(QString("Field '%1' not found").arg(name));
    return *f;
}

// ---------------------------------------------------------------------------------------------------
// Field readings

bool TField::IsNull() const {
    return owner_->d_->nulls[index_] != 0;
}

const QString& TField::RawText() const {
    return owner_->d_->values[index_];
}

QString TField::AsString() const {
    if (IsNull())
        return QString();
    const QString& raw = RawText();
    switch (DataType) {
    case TFieldType::ftBoolean:
        return AsBoolean() ? "True" : "False";
    case TFieldType::ftFloat:
    case TFieldType::ftCurrency:
    case TFieldType::ftBCD:
        return FormatDisplayFloat(AsFloat());
    case TFieldType::ftDate: {
        const QDateTime dt = ParseIsoDateTime(raw);
        return dt.isValid() ? FormatDisplayDate(dt.date()) : raw;
    }
    case TFieldType::ftTime: {
        const QDateTime dt = ParseIsoDateTime(raw);
        return dt.isValid() ? FormatDisplayTime(dt.time()) : raw;
    }
    case TFieldType::ftDateTime:
    case TFieldType::ftTimeStamp: {
        const QDateTime dt = ParseIsoDateTime(raw);
        return dt.isValid() ? FormatDisplayDateTime(dt) : raw;
    }
    default:
        return raw;
    }
}

double TField::AsFloat() const {
    if (IsNull())
        return 0;
    if (IsDateType(DataType))
        return AsDateTime();
    if (DataType == TFieldType::ftBoolean)
        return AsBoolean() ? 1 : 0;
    const QString text = PlainNumber(RawText(), DataType);
    bool ok = false;
    double value = text.toDouble(&ok);
    if (!ok) {
        // Text columns may hold numbers written the regional way.
        value = RegionalLocale().toDouble(text, &ok);
        if (!ok)
            throw EDatabaseError(QString("'%1' is not a valid floating point value").arg(RawText()));
    }
    return value;
}

qint64 TField::AsInteger() const {
    if (IsNull())
        return 0;
    if (DataType == TFieldType::ftBoolean)
        return AsBoolean() ? 1 : 0;
    bool ok = false;
    const qint64 value = RawText().trimmed().toLongLong(&ok);
    if (ok)
        return value;
    const double f = AsFloat();
    return qint64(std::llround(f));
}

bool TField::AsBoolean() const {
    if (IsNull())
        return false;
    const QString text = RawText().trimmed().toLower();
    if (text.isEmpty())
        return false;
    if (IsNumericType(DataType) || DataType == TFieldType::ftBoolean) {
        if (text == "t" || text == "true" || text == "y" || text == "yes")
            return true;
        bool ok = false;
        const double v = text.toDouble(&ok);
        return ok && v != 0;
    }
    return text.front() == 't' || text.front() == 'y';
}

double TField::AsDateTime() const {
    if (IsNull())
        return 0;
    const QString& raw = RawText();
    QDateTime dt = ParseIsoDateTime(raw);
    if (!dt.isValid()) {
        const QLocale locale = RegionalLocale();
        dt = locale.toDateTime(raw.trimmed(), ShortDateFormat() + " " + LongTimeFormat());
        if (!dt.isValid()) {
            const QDate d = locale.toDate(raw.trimmed(), ShortDateFormat());
            if (d.isValid())
                dt = QDateTime(d, QTime(0, 0));
        }
    }
    if (!dt.isValid())
        throw EDatabaseError(QString("'%1' is not a valid date and time").arg(raw));
    return DateTimeToDays(dt);
}
