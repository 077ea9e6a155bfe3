#include "query/ColumnRead.h"
#include "query/DatabaseValues.h"
#include "query/QueryImpl.h"

using namespace DatabaseValues;

TReadKind ReadKindOf(TFieldType type, SQLSMALLINT sqlType) {
    if (type == TFieldType::ftBlob || type == TFieldType::ftBytes)
        return TReadKind::Binary;
    // PostgreSQL's money reads as text with a currency sign and group separators of the server's locale;
    // as a double it arrives clean.
    if (type == TFieldType::ftCurrency &&
        (sqlType == SQL_FLOAT || sqlType == SQL_DOUBLE || sqlType == SQL_REAL))
        return TReadKind::Double;
    return TReadKind::Text;
}

namespace {
const QString emptyText;
const QByteArray noBytes;
} // namespace

const QString& TColumnData::Raw() const {
    if (hexStale) {
        HexDigits(bytes, raw);
        hexStale = false;
    }
    return raw;
}

#define KELVO_FIELD_DATA const TColumnData& data = owner_->d_->columns[size_t(index_)]

bool TField::IsNull() const {
    KELVO_FIELD_DATA;
    return data.null;
}

QString TField::AsString() const {
    KELVO_FIELD_DATA;
    return data.null ? QString() : DisplayText(DataType, data.Raw());
}

double TField::AsFloat() const {
    KELVO_FIELD_DATA;
    return data.null ? 0.0 : ReadFloat(DataType, data.Raw());
}

qint64 TField::AsInteger() const {
    KELVO_FIELD_DATA;
    return data.null ? 0 : ReadInteger(DataType, data.Raw());
}

bool TField::AsBoolean() const {
    KELVO_FIELD_DATA;
    return !data.null && ReadBoolean(DataType, data.Raw());
}

double TField::AsDateTime() const {
    KELVO_FIELD_DATA;
    return data.null ? 0.0 : ReadDateTime(DataType, data.Raw());
}

const QString& TField::RawText() const {
    KELVO_FIELD_DATA;
    return data.null ? emptyText : data.Raw();
}

const QByteArray& TField::Bytes() const {
    KELVO_FIELD_DATA;
    return data.null || data.kind != TReadKind::Binary ? noBytes : data.bytes;
}

#undef KELVO_FIELD_DATA
