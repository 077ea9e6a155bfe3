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
    arrays_.assign(size_t(types_.size()), QStringLiteral("{"));
    rows_ = 0;
    usable_ = !types_.isEmpty();
}

namespace {

// Appends a quoted element holding the text a literal's body gives: its apostrophes doubled, and with
// backslashesDoubled its backslashes too. The array's own escapes go before a quote and a backslash.
void AppendQuotedElement(QString& array, QStringView body, bool backslashesDoubled) {
    array += QLatin1Char('"');
    if (!body.contains(QLatin1Char('\'')) && !body.contains(QLatin1Char('"')) &&
        !body.contains(QLatin1Char('\\'))) {
        array += body;
    } else {
        for (qsizetype i = 0; i < body.size(); ++i) {
            const QChar c = body[i];
            if (c == QLatin1Char('\'') || (c == QLatin1Char('\\') && backslashesDoubled))
                ++i; // the second of the pair
            if (c == QLatin1Char('"') || c == QLatin1Char('\\'))
                array += QLatin1Char('\\');
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
        AppendQuotedElement(array, QStringView(value).mid(2, value.size() - 3), true);
    } else if (value.startsWith(decodePrefix) && value.endsWith(decodeSuffix)) {
        array += QLatin1String("\"\\\\x"); // bytea's input takes \x and the digits
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
            AppendQuotedElement(array, value.Value, false);
        else if (value.Large || value.ValueKind == 1 || !AppendUnquotedElement(array, value.Value))
            usable_ = false;
    }
    ++rows_;
}

QStringList TArrayInsert::Take(const QString& insertLine, const QString& columnsLine,
                               TLargeSplices& splices) {
    QString unnest = QStringLiteral("select * from unnest(");
    splices.clear();
    for (size_t i = 0; i < arrays_.size(); ++i) {
        auto array = std::make_shared<TLargeValue>();
        arrays_[i] += QLatin1Char('}');
        array->Text = std::move(arrays_[i]);
        array->Backslashes = TBackslashes::Escape; // so the literal reads alike under either setting
        array->Prefix = QStringLiteral("E'");
        array->Suffix = QStringLiteral("'");
        splices.push_back({2, unnest.size(), std::move(array)});
        unnest += QLatin1Char('?');
        unnest += QStringLiteral("::") + types_[qsizetype(i)] + QStringLiteral("[]");
        unnest += i + 1 < arrays_.size() ? QStringLiteral(", ") : QStringLiteral(")");
    }
    Clear();
    return {insertLine, columnsLine, unnest};
}
