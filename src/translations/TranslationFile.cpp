#include "translations/TranslationFile.h"

#include "platform/IniFile.h"
#include "platform/ProgramDir.h"
#include "query/Database.h"

namespace {

bool Unusable(const QString& key) {
    const QString trimmed = key.trimmed();
    return trimmed.isEmpty() || trimmed.contains('=') || trimmed.startsWith(';') || trimmed.startsWith('[') ||
           trimmed.contains('\r') || trimmed.contains('\n');
}

} // namespace

TTranslationDef ReadTranslationDef(const QString& flowsIni, const QString& name) {
    TTranslationDef def;
    const QString listed = IniReadString(flowsIni, "TRANSLATION", name, "");
    // Without a record the path would name the Files folder itself; there is nothing to read.
    if (listed.isEmpty())
        return def;
    const QString file = ProgramDir() + "Files/" + listed;
    def.Name = IniReadString(file, "DATA", "NAME", "");
    def.Default = IniReadString(file, "DATA", "DEFAULT", "");
    def.Type = IniReadString(file, "DATA", "TYPE", "");
    def.SourceTable = IniReadString(file, "SOURCE", "TABLE", "");
    def.SourceField = IniReadString(file, "SOURCE", "FIELD", "");
    def.TargetTable = IniReadString(file, "TARGET", "TABLE", "");
    def.TargetField = IniReadString(file, "TARGET", "FIELD", "");
    IniReadSectionValues(file, "TRANSLATIONS", def.Pairs);
    return def;
}

void WriteTranslationDef(const QString& flowsIni, const TTranslationDef& def) {
    const QString file = ProgramDir() + "Files/" + def.Name + ".ini";
    IniWriteString(flowsIni, "TRANSLATION", def.Name, def.Name + ".ini");
    IniWriteString(file, "DATA", "NAME", def.Name);
    IniWriteString(file, "DATA", "TYPE", def.Type);
    IniWriteString(file, "SOURCE", "TABLE", def.SourceTable);
    IniWriteString(file, "SOURCE", "FIELD", def.SourceField);
    IniWriteString(file, "TARGET", "TABLE", def.TargetTable);
    IniWriteString(file, "TARGET", "FIELD", def.TargetField);
    IniWriteString(file, "DATA", "DEFAULT", def.Default);
    IniWriteSection(file, "TRANSLATIONS", def.Pairs);
}

QString TranslationSaveError(const TTranslationDef& def) {
    if (def.Name.isEmpty())
        return "Insert translation name.";
    for (const QString* text : {&def.SourceTable, &def.SourceField, &def.TargetTable, &def.TargetField})
        if (text->isEmpty())
            return "Insert neccesary data.";
    // The name is a key of the index and the stem of a file in Files/: a separator would write outside
    // that folder, and '=' or brackets would give the index a key other than the name.
    static const QString forbidden = "/\\:*?\"<>|=[]";
    bool unusable =
        def.Name != def.Name.trimmed() || def.Name == "." || def.Name == ".." || def.Name.startsWith(';');
    for (const QChar c : def.Name)
        unusable = unusable || forbidden.contains(c) || c.unicode() < 32;
    if (unusable)
        return QString("The translation name \"%1\" cannot be used as a file name.").arg(def.Name);
    return {};
}

QString PairKeyError(const QString& key) {
    if (!Unusable(key))
        return {};
    return QString("\"%1\" cannot be kept as the key of a translation line.").arg(key);
}

QStringList DistinctValues(TQuery& query, const QString& databaseName, const QString& table,
                           const QString& field) {
    query.Close();
    query.DatabaseName = databaseName;
    query.SQL.clear();
    query.SQL << "select distinct " + field + " from " + table;
    QStringList values;
    try {
        query.Open();
        // The column is named after the field, unless the field is written qualified or quoted; the
        // statement has a single column then all the same.
        TField* column = query.FindField(field.trimmed());
        if (!column && query.FieldCount() == 1)
            column = &query.Fields(0);
        if (!column)
            column = &query.FieldByName(field.trimmed()); // raises, naming the missing column
        for (; !query.Eof(); query.Next())
            values << column->AsString();
    } catch (...) {
        query.Close();
        throw;
    }
    query.Close();
    return values;
}
