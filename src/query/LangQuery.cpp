#include "query/LangQuery.h"

#include <QtGlobal>

#include "platform/TextFile.h"
#include "query/SqlLog.h"

namespace {

bool Present(const QString& text) {
    return !TrimControl(text).isEmpty();
}

// A composed statement runs even when its log cannot be written; the failure is returned for the
// caller to report, and warned once until a different one occurs.
QString LogComposed(const QStringList& lines, bool toModifyLog, const TLargeSplices& splices = {}) {
    static QString lastReported;
    try {
        LogStatement(lines, toModifyLog, splices);
    } catch (const std::exception& error) {
        const QString message = QString::fromUtf8(error.what());
        if (message != lastReported) {
            lastReported = message;
            qWarning("Statement log not written: %s", error.what());
        }
        return message;
    }
    return QString();
}

// The text under name in NAME=VALUE lines, ignoring letter case; the first match counts.
QString ValueOf(const QStringList& lines, const QString& name) {
    for (const QString& line : lines) {
        const qsizetype eq = line.indexOf('=');
        if (eq >= 0 && line.left(eq).compare(name, Qt::CaseInsensitive) == 0)
            return line.mid(eq + 1);
    }
    return QString();
}

} // namespace

TLangQuery::TLangQuery() = default;

TLangQuery::~TLangQuery() = default;

void TLangQuery::SetScripting(bool value) {
    scripting_ = value;
}

void TLangQuery::SetScriptFile(const QString& value) {
    scriptFile_ = value;
}

void TLangQuery::OpenSelect() {
    emptyResult_ = true;
    switch (DataType) {
    case dtStandardSQL:
        BuildStandardSelect();
        Open();
        break;
    case dtMSSql7:
        BuildMSSql7Select();
        break;
    case dtInformix:
        BuildInformixSelect();
        break;
    case dtMsAccess:
        BuildMsAccessSelect();
        break;
    default:
        throw ESQLError(QString("Unknown SQL dialect %1.").arg(int(DataType)));
    }
    emptyResult_ = Bof() && Eof();
}

void TLangQuery::OpenColumns() {
    struct TRestore {
        QString& where;
        QString kept;
        ~TRestore() { where = kept; }
    } restore{WhereClause, WhereClause};
    WhereClause = "1=0";
    OpenSelect();
}

void TLangQuery::AddWherePart() {
    if (Present(WhereClause))
        SQL << "Where (" + WhereClause + ")";
}

void TLangQuery::AddTail() {
    AddWherePart();
    if (Present(GroupByClause))
        SQL << "Group by " + GroupByClause;
    if (Present(HavingClause))
        SQL << "Having " + HavingClause;
    if (Present(OrderByClause))
        SQL << "Order By " + OrderByClause;
    logError_ = LogComposed(SQL, false);
}

// The From line shared by the dtMSSql7 and dtMsAccess compositions; present is false when there is
// none.
QString TLangQuery::MSSql7FromLine(bool& present) const {
    present = true;
    if (Present(FromClause))
        return Present(MasterTable) ? "From " + FromClause + ", " + MasterTable : "From " + FromClause;
    if (Present(MasterTable))
        return "From " + MasterTable;
    present = false;
    return QString();
}

void TLangQuery::BuildStandardSelect() {
    Close();
    SQL.clear();
    SQL << "Select " + Columns;
    SQL << "From " + FromClause;
    AddTail();
}

void TLangQuery::BuildMSSql7Select() {
    Close();
    SQL.clear();
    SQL << "Select " + Columns;
    bool hasFrom = false;
    const QString from = MSSql7FromLine(hasFrom);
    if (hasFrom)
        SQL << from;
    for (const TFd& fd : fieldValues_) {
        const char* join = fd.JoinType == 2   ? " LEFT OUTER JOIN "
                           : fd.JoinType == 3 ? " RIGHT OUTER JOIN "
                                              : " JOIN ";
        SQL << join + fd.JoinTable + " ON " + fd.JoinCondition;
    }
    AddTail();
    Open();
}

void TLangQuery::BuildInformixSelect() {
    Close();
    SQL.clear();
    SQL << "Select " + Columns;
    SQL << (Present(FromClause) ? "From " + FromClause + ", " + MasterTable : "From " + MasterTable);
    const size_t n = fieldValues_.size();
    for (size_t i = 0; i < n; ++i) {
        const TFd& fd = fieldValues_[i];
        const char* word = fd.JoinType == 2 ? " OUTER " : fd.JoinType == 3 ? " RIGHT OUTER " : " ";
        SQL << word + fd.JoinTable + (i + 1 < n ? ", " : "");
        // The dialect has no ON: the join conditions become part of the condition, for good.
        WhereClause =
            Present(WhereClause) ? fd.JoinCondition + " AND " + TrimControl(WhereClause) : fd.JoinCondition;
    }
    AddTail();
    ExecSQL();
}

void TLangQuery::BuildMsAccessSelect() {
    Close();
    SQL.clear();
    SQL << "Select " + Columns;
    bool hasFrom = false;
    const QString from = MSSql7FromLine(hasFrom);
    if (hasFrom)
        SQL << from;
    AddTail();
    for (TParam& param : Params())
        param.Value = ValueOf(paramValues_, param.Name);
    Open();
}

void TLangQuery::AddFieldValue(const QString& fieldName, const QString& value, qint32 valueKind) {
    TFd& fd = fieldValues_.emplace_back();
    fd.FieldName = fieldName;
    fd.ValueKind = valueKind;
    if (value.isEmpty()) {
        fd.Value = QStringLiteral("NULL");
        fd.ValueKind = 0;
    } else {
        fd.Value = TrimControl(value);
    }
}

void TLangQuery::AddFieldValue(const QString& fieldName, TLargeValuePtr value) {
    TFd& fd = fieldValues_.emplace_back();
    fd.FieldName = fieldName;
    fd.Large = std::move(value);
}

TLargeSplices TLangQuery::LargeSplices() const {
    if (splices_.empty() || SQL.size() != 4 || SQL[3].constData() != splicedLine_.constData())
        return {};
    return splices_;
}

void TLangQuery::ClearFieldValues() {
    fieldValues_.clear();
}

namespace {
// Binds the splices' values to the statement's "?" marks while it is handed over.
struct TBound {
    std::vector<TLargeValuePtr>& values;
    TBound(std::vector<TLargeValuePtr>& bound, const TLargeSplices& splices) : values(bound) {
        for (const TLargeSplice& s : splices)
            values.push_back(s.Value);
    }
    ~TBound() { values.clear(); }
};
} // namespace

void TLangQuery::ExecInsert() {
    if (DataType == dtStandardSQL || DataType == dtMSSql7 || DataType == dtInformix) {
        BuildInsert();
        if (scripting_) {
            AppendToFile(scriptFile_, SQL, splices_);
        } else {
            const TBound bound(LargeValues, splices_);
            ExecSQL();
        }
    }
    emptyResult_ = true;
}

void TLangQuery::ExecComposed(const TLargeSplices& splices) {
    Close();
    AnnounceAndLog(splices);
    if (scripting_) {
        AppendToFile(scriptFile_, SQL, splices);
    } else {
        const TBound bound(LargeValues, splices);
        ExecSQL();
    }
    emptyResult_ = true;
}

void TLangQuery::StartComposed(const TLargeSplices& splices) {
    Close();
    AnnounceAndLog(splices);
    emptyResult_ = true;
    if (scripting_) {
        AppendToFile(scriptFile_, SQL, splices);
        return;
    }
    const TBound bound(LargeValues, splices); // the connection keeps its own hold of them
    StartExecSQL();
    composedStarted_ = true;
}

void TLangQuery::FinishComposed() {
    if (!composedStarted_)
        return;
    composedStarted_ = false;
    FinishExecSQL();
}

void TLangQuery::BuildInsert() {
    ComposeInsert();
    AnnounceAndLog(splices_);
}

void TLangQuery::AnnounceAndLog(const TLargeSplices& splices) {
    if (OnSend)
        OnSend(this);
    logError_ = LogComposed(SQL, !scripting_, splices);
}

void TLangQuery::ComposeInsert() {
    if (Tables.isEmpty())
        throw ESQLError("Table name missing.");
    if (OnInsert)
        OnInsert(this);
    Close();
    logError_.clear();
    if (fieldValues_.empty()) {
        SQL.clear();
        throw ESQLError(QString("No column values to insert into %1.").arg(Tables));
    }

    // A row of the same table and columns as the one before reuses its first three lines; the value
    // line is written into the buffer the last row left.
    if (insertTable_ != Tables) {
        insertTable_ = Tables;
        insertLine_ = "Insert into " + Tables + " ";
    }
    bool sameColumns = columnNames_.size() == fieldValues_.size();
    for (size_t i = 0; sameColumns && i < fieldValues_.size(); ++i)
        sameColumns = columnNames_[i] == fieldValues_[i].FieldName;
    if (!sameColumns) {
        columnNames_.clear();
        const size_t last = fieldValues_.size() - 1;
        columnsLine_ = QStringLiteral("   (");
        for (size_t i = 0; i <= last; ++i) {
            columnNames_.push_back(fieldValues_[i].FieldName);
            columnsLine_ += fieldValues_[i].FieldName;
            columnsLine_ += i < last ? QLatin1String(", ") : QLatin1String(")");
        }
    }
    if (SQL.size() != 4) {
        SQL.clear();
        SQL.resize(4);
    }
    SQL[0] = insertLine_;
    SQL[1] = columnsLine_;
    static const QString valuesWord = QStringLiteral("values ");
    SQL[2] = valuesWord;

    splices_.clear();
    splicedLine_.clear();
    // The line's length is bounded before it is written: one allocation, then plain copies.
    qsizetype bound = 1;
    for (const TFd& fd : fieldValues_)
        bound += fd.Large ? 3 : fd.Value.size() + (fd.ValueKind == 1 ? 4 : 2);
    QString& values = SQL[3];
    if (values.isDetached() && values.capacity() >= bound)
        values.resize(bound);
    else
        values = QString(bound, Qt::Uninitialized);
    QChar* const begin = values.data();
    QChar* out = begin;
    const auto put = [&out](QStringView text) { out = std::copy(text.begin(), text.end(), out); };
    *out++ = QLatin1Char('(');
    const size_t last = fieldValues_.size() - 1;
    for (size_t i = 0; i <= last; ++i) {
        const TFd& fd = fieldValues_[i];
        if (fd.Large) {
            splices_.push_back({3, out - begin, fd.Large});
            *out++ = QLatin1Char('?');
            put(i < last ? u", " : u") ");
        } else if (fd.ValueKind == 1) {
            *out++ = QLatin1Char('\'');
            put(fd.Value);
            put(i < last ? u"', " : u"')");
        } else {
            put(fd.Value);
            put(i < last ? u", " : u") ");
        }
    }
    values.truncate(out - begin);
    if (!splices_.empty())
        splicedLine_ = values;
}

void TLangQuery::ExecModify() {
    if (scripting_) {
        AppendToFile(scriptFile_, SQL);
        return;
    }
    LogStatement(SQL, true);
    Close();
    ExecSQL();
    emptyResult_ = Bof() && Eof();
}
