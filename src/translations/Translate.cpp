#include "translations/Translate.h"

#include <QFile>
#include <QHash>
#include <sys/stat.h>

#include "platform/FileFreshness.h"
#include "platform/IniFile.h"
#include "platform/PathWatch.h"
#include "platform/Paths.h"
#include "platform/ProgramDir.h"
#include "query/LangQuery.h"
#include "query/ServerDialect.h"
#include "query/SqlLiteral.h"
#include "support/EnDial3.h"
#include "support/ErrorHandler.h"
#include "support/ListOrder.h"

QString TranslationPath(const QString& name) {
    // Asked for every row and mapping line: the last path is kept while its parts stay the same.
    static QString lastName, lastDir, lastPath;
    const QString dir = ProgramDir();
    if (lastPath.isEmpty() || name != lastName || dir != lastDir) {
        lastName = name;
        lastDir = dir;
        lastPath = dir + "Files/" + name + ".ini";
    }
    return lastPath;
}

namespace {

// A translation file as last read, kept while the file is unchanged. Every call still sees the file as
// it stands: a changed, replaced or removed file is read anew.
struct TTranslationFile {
    QString type;
    QString def;
    QStringList pairs;
    QStringList values; // of each pair, taken out once for the lookups of every row
};

QString StaticLookup(const TTranslationFile& translation, const QString& sourceValue) {
    const QStringView key = QStringView(sourceValue).trimmed();
    for (qsizetype i = 0; i < translation.pairs.size(); ++i) {
        if (LineNameView(translation.pairs[i]).compare(key, Qt::CaseInsensitive) == 0) {
            const QString& value = translation.values[i];
            return value.isEmpty() ? translation.def : value;
        }
    }
    return translation.def;
}

const TTranslationFile& ReadTranslation(const QString& file) {
    struct TEntry {
        TFileFreshness freshness;
        TTranslationFile content;
    };
    static QHash<QString, TEntry> cache;
    static QString lastFile; // and its entry, while the cache takes nothing new
    static TEntry* last = nullptr;
    // The path found last time is looked at first: while it holds the same file, no folder is searched.
    TEntry* known = last && file == lastFile ? last : nullptr;
    if (!known) {
        auto it = cache.find(file);
        known = it != cache.end() ? &*it : nullptr;
    }
    if (known && known->freshness.Exists() && known->freshness.Unchanged()) {
        lastFile = file;
        last = known;
        return known->content;
    }
    last = nullptr;
    TEntry entry;
    entry.freshness.BeginRead(QFile::encodeName(ResolvePath(file)));
    entry.content.type = IniReadString(file, "DATA", "TYPE", "");
    entry.content.def = IniReadString(file, "DATA", "DEFAULT", "");
    IniReadSectionValues(file, "TRANSLATIONS", entry.content.pairs);
    for (const QString& line : entry.content.pairs)
        entry.content.values << LineValue(line);
    entry.freshness.EndRead();
    if (cache.size() > 64)
        cache.clear();
    return cache.insert(file, entry)->content;
}

// SOURCE replaced by the value: inside a quoted literal of the statement as an escaped text, elsewhere
// only as a number, so a value never becomes part of the statement's own text.
QString ReplaceSource(const QString& statement, const QString& value, const TDialect& dialect) {
    const QString escaped = EscapeLiteral(value, dialect.Backslashes);
    QString result;
    bool quoted = false;
    for (qsizetype i = 0; i < statement.size();) {
        const QChar c = statement[i];
        if (statement.mid(i, 6).compare("SOURCE", Qt::CaseInsensitive) == 0) {
            if (!quoted && !IsNumberText(value.trimmed()))
                throw EKelvoError(QString("The value \"%1\" is no number, so it cannot stand unquoted in the "
                                          "lookup; a text needs quotes around SOURCE")
                                      .arg(value));
            result += quoted ? escaped : value;
            i += 6;
            continue;
        }
        if (c == '\'')
            quoted = !quoted;
        else if (quoted && c == '\\' && dialect.Backslashes != TBackslashes::Literal &&
                 i + 1 < statement.size())
            result += statement[i++];
        result += statement[i++];
    }
    return result;
}

bool IsDecimal(TFieldType type) {
    return type == TFieldType::ftFloat || type == TFieldType::ftCurrency || type == TFieldType::ftBCD;
}

} // namespace

QString TranslateValue(const QString& name, const QString& sourceValue, TLangQuery& lookup) {
    if (name == QLatin1String(GenIdName))
        return GenIdPattern;
    const TTranslationFile& translation = ReadTranslation(TranslationPath(name));
    const QString& type = translation.type;
    const QString& def = translation.def;
    const QStringList& pairs = translation.pairs;
    if (type == QLatin1String("S"))
        return StaticLookup(translation, sourceValue);

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
            statement = ReplaceSource(statement, sourceValue, ConnectionDialect(lookup.DatabaseName));
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
        if (IsOperatorCancel(error))
            throw; // an empty value would be inserted for a lookup that never answered
        ShowMessage(statement + " (" + ErrorMessage(error) + ")");
        return QString();
    }
}

bool IsStaticTranslation(const QString& name) {
    if (name == GenIdName)
        return false;
    try {
        return ReadTranslation(TranslationPath(name)).type == "S";
    } catch (const std::exception&) {
        return false;
    }
}
