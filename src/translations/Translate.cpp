#include "translations/Translate.h"

#include "flows/FlowFile.h"
#include "platform/IniFile.h"
#include "platform/ProgramDir.h"
#include "query/LangQuery.h"
#include "support/EnDial3.h"
#include "support/ErrorHandler.h"
#include "transfer/ValueFormat.h"

QString TranslationPath(const QString& name) {
    return ProgramDir() + "Files/" + name + ".ini";
}

namespace {

QString StaticLookup(const QStringList& pairs, const QString& sourceValue, const QString& def) {
    const QString key = sourceValue.trimmed();
    for (const QString& line : pairs) {
        if (LineName(line).compare(key, Qt::CaseInsensitive) == 0) {
            const QString value = LineValue(line);
            return value.isEmpty() ? def : value;
        }
    }
    return def;
}

bool IsDecimal(TFieldType type) {
    return type == TFieldType::ftFloat || type == TFieldType::ftCurrency || type == TFieldType::ftBCD;
}

} // namespace

QString TranslateValue(const QString& name, const QString& sourceValue, TLangQuery& lookup) {
    if (name == GenIdName)
        return GenIdPattern;
    const QString file = TranslationPath(name);
    const QString type = IniReadString(file, "DATA", "TYPE", "");
    const QString def = IniReadString(file, "DATA", "DEFAULT", "");
    QStringList pairs;
    IniReadSectionValues(file, "TRANSLATIONS", pairs);
    if (type == "S")
        return StaticLookup(pairs, sourceValue, def);

    QString statement;
    try {
        if (pairs.isEmpty())
            throw EKelvoError(QString("The translation %1 has no lookup statement.").arg(name));
        statement = LineValue(pairs.front());
        lookup.Close();
        lookup.SQL.clear();
        if (statement.contains("SOURCE")) {
            if (sourceValue.isEmpty())
                return def;
            // Doubling apostrophes keeps a quoted SOURCE a literal, whatever the source data holds.
            QString quoted = sourceValue;
            quoted.replace('\'', "''");
            statement.replace("SOURCE", quoted, Qt::CaseInsensitive);
        }
        lookup.SQL << statement;
        lookup.Open();
        if (lookup.Bof() && lookup.Eof())
            return def;
        TField& first = lookup.Fields(0);
        if (first.IsNull())
            return def;
        if (IsDecimal(first.DataType))
            return FormatDecimal(first.AsFloat());
        return first.AsString();
    } catch (const std::exception& error) {
        ShowMessage(statement + " (" + ErrorMessage(error) + ")");
        return QString();
    }
}
