#include "query/ArrayInsert.h"

#include "query/SqlLiteral.h"

bool IsArrayElementType(const QString& typeName) {
    // Types whose input reads the element's text as the literal's: numbers, flags, texts, times, bytes.
    static const QStringList types{"int2",   "int4",      "int8",        "numeric", "float4", "float8",
                                   "bool",   "varchar",   "bpchar",      "text",    "date",   "time",
                                   "timetz", "timestamp", "timestamptz", "bytea",   "uuid"};
    return types.contains(typeName);
}

void TArrayInsert::Reset(QStringList types) {
    types_ = std::move(types);
    Clear();
}

void TArrayInsert::Clear() {
    arrays_.assign(size_t(types_.size()), QString());
    rows_ = 0;
    usable_ = !types_.isEmpty();
}

namespace {

// Appends a quoted element holding the text a literal's body gives (apostrophes doubled, backslashes
// doubled), written inside an E'...' array literal: the array's own quote and backslash escapes, each
// backslash doubled again for the literal.
void AppendQuotedElement(QString& array, QStringView body) {
    array += QLatin1Char('"');
    if (!body.contains(QLatin1Char('"')) && !body.contains(QLatin1Char('\\'))) {
        array += body;
    } else {
        for (const QChar c : body) {
            if (c == QLatin1Char('"'))
                array += QLatin1String("\\\\\"");
            else if (c == QLatin1Char('\\'))
                array += QLatin1String("\\\\");
            else
                array += c;
        }
    }
    array += QLatin1Char('"');
}

// The element of a value written unquoted in a row's INSERT: false for a form it has none for.
bool AppendUnquotedElement(QString& array, const QString& value) {
    static const QLatin1String escapePrefix("E'"), decodePrefix("decode('"), decodeSuffix("','hex')");
    if (value == QLatin1String("NULL")) {
        array += value;
    } else if (value.startsWith(escapePrefix) && value.endsWith(QLatin1Char('\'')) && value.size() >= 3) {
        AppendQuotedElement(array, QStringView(value).mid(2, value.size() - 3));
    } else if (value.startsWith(decodePrefix) && value.endsWith(decodeSuffix)) {
        // bytea's input takes \x and the digits; the backslash escaped for the array, then the literal
        array += QLatin1String("\"\\\\\\\\x");
        array += QStringView(value).mid(decodePrefix.size(),
                                        value.size() - decodePrefix.size() - decodeSuffix.size());
        array += QLatin1Char('"');
    } else if (IsNumberText(value) || value == QLatin1String("true") || value == QLatin1String("false")) {
        array += value;
    } else {
        return false;
    }
    return true;
}

} // namespace

void TArrayInsert::Add(const std::vector<TFd>& values) {
    if (!usable_)
        return;
    if (values.size() != arrays_.size()) {
        usable_ = false;
        return;
    }
    for (size_t i = 0; i < values.size() && usable_; ++i) {
        const TFd& value = values[i];
        QString& array = arrays_[i];
        if (rows_ > 0)
            array += QLatin1Char(',');
        // A quoted text holds a backslash only where the server's setting decides what it means.
        const bool quoted = value.ValueKind == 1 && !value.Value.contains(QLatin1Char('\\'));
        if (quoted)
            AppendQuotedElement(array, value.Value);
        else if (value.Large || value.ValueKind == 1 || !AppendUnquotedElement(array, value.Value))
            usable_ = false;
    }
    ++rows_;
}

QStringList TArrayInsert::Statement(const QString& insertLine, const QString& columnsLine) const {
    QStringList lines{insertLine, columnsLine, QStringLiteral("select * from unnest(")};
    lines.reserve(qsizetype(arrays_.size()) + 3);
    for (size_t i = 0; i < arrays_.size(); ++i)
        lines << QStringLiteral("E'{") + arrays_[i] + QStringLiteral("}'::") + types_[qsizetype(i)] +
                     (i + 1 < arrays_.size() ? QStringLiteral("[], ") : QStringLiteral("[])"));
    return lines;
}
