#pragma once

#include <QString>
#include <QStringList>

class TQuery;

// What the translation editor edits: the contents of one translation definition file.
struct TTranslationDef {
    QString Name;
    QString Type; // "S" static, "R" reference; a loaded file may hold any other text
    QString Default;
    QString SourceTable;
    QString SourceField;
    QString TargetTable;
    QString TargetField;
    QStringList Pairs; // KEY=VALUE lines in list order
};

// The definition listed under name in [TRANSLATION] of the index flowsIni. A name
// the index does not list, or a missing file, reads as an empty definition with an empty type.
TTranslationDef ReadTranslationDef(const QString& flowsIni, const QString& name);

// Records def.Name in the index, then writes into Files/<Name>.ini, in this order: [DATA] NAME, TYPE,
// [SOURCE] TABLE, FIELD, [TARGET] TABLE, FIELD, [DATA] DEFAULT, and the pair section rewritten whole.
// A failed write raises "Unable to write to %s"; what was written before it stays.
void WriteTranslationDef(const QString& flowsIni, const TTranslationDef& def);

// The message that stops a save, empty when the definition may be saved.
QString TranslationSaveError(const TTranslationDef& def);

// Why a pair line with this key could not be kept by the definition file (it would read back under
// another key or as no pair at all); empty when it can.
QString PairKeyError(const QString& key);

// The values of "select distinct <field> from <table>" on the connection named databaseName, in result
// order, nulls as empty text. The query is closed afterwards, also when the statement fails.
QStringList DistinctValues(TQuery& query, const QString& databaseName, const QString& table,
                           const QString& field);
