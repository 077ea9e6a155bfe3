#include "query/ServerDialect.h"

#include <QHash>

#include "query/Database.h"

namespace {

QString AskServer(const QString& databaseName, const QString& statement) {
    TQuery q;
    q.DatabaseName = databaseName;
    q.SQL << statement;
    q.Open();
    return q.Eof() ? QString() : q.Fields(0).RawText();
}

} // namespace

TDialect ConnectionDialect(const QString& databaseName) {
    TDatabase* db = FindDatabase(databaseName);
    if (!db)
        throw EDatabaseError(QString("No database connection is named '%1'.").arg(databaseName));
    db->Open();
    static QHash<quint64, TDialect> known;
    const quint64 id = db->ConnectionId();
    if (auto it = known.constFind(id); it != known.constEnd())
        return *it;
    const TEngineKind engine = EngineFromName(db->DbmsName());
    QString setting;
    if (engine == TEngineKind::PostgreSQL)
        setting = AskServer(databaseName, "show standard_conforming_strings");
    else if (engine == TEngineKind::MariaDB)
        setting = AskServer(databaseName, "select @@sql_mode");
    const TDialect dialect = DialectFromSetting(engine, setting);
    if (known.size() > 256)
        known.clear();
    known.insert(id, dialect);
    return dialect;
}

namespace {
QString QuotedTable(const QString& table) {
    return "'" + table.trimmed().replace('\'', "''") + "'";
}
} // namespace

QStringList UnboundedTextColumns(const QString& databaseName, const QString& table) {
    const TEngineKind engine = ConnectionDialect(databaseName).Engine;
    TQuery q;
    q.DatabaseName = databaseName;
    const QString quotedTable = QuotedTable(table);
    if (engine == TEngineKind::PostgreSQL)
        q.SQL << "select attname, 'varchar' from pg_attribute where attrelid = to_regclass(" + quotedTable +
                     ") and attnum > 0 and not attisdropped and atttypmod < 0 and atttypid in "
                     "('varchar'::regtype, 'bpchar'::regtype)";
    else if (engine == TEngineKind::SQLite)
        q.SQL << "select name, type from pragma_table_info(" + quotedTable + ")";
    else
        return {};
    QStringList columns;
    for (q.Open(); !q.Eof(); q.Next())
        if (!q.Fields(1).RawText().contains('('))
            columns << q.Fields(0).RawText();
    return columns;
}

std::vector<std::pair<QString, QString>> BuiltInColumnTypes(const QString& databaseName,
                                                            const QString& table) {
    if (ConnectionDialect(databaseName).Engine != TEngineKind::PostgreSQL)
        return {};
    TQuery q;
    q.DatabaseName = databaseName;
    q.SQL
        << "select a.attname, t.typname from pg_attribute a join pg_type t on t.oid = a.atttypid where "
           "a.attrelid = to_regclass(" +
               QuotedTable(table) +
               ") and a.attnum > 0 and not a.attisdropped "
               "and t.typnamespace = 'pg_catalog'::regnamespace and t.typtype = 'b' and t.typcategory <> 'A'";
    std::vector<std::pair<QString, QString>> columns;
    for (q.Open(); !q.Eof(); q.Next())
        columns.emplace_back(q.Fields(0).RawText(), q.Fields(1).RawText());
    return columns;
}
