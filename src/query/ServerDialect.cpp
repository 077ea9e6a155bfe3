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

QStringList UnboundedTextColumns(const QString& databaseName, const QString& table) {
    const TEngineKind engine = ConnectionDialect(databaseName).Engine;
    TQuery q;
    q.DatabaseName = databaseName;
    QString quotedTable = table.trimmed();
    quotedTable.replace('\'', "''");
    if (engine == TEngineKind::PostgreSQL)
        q.SQL << "select attname, 'varchar' from pg_attribute where attrelid = to_regclass('" + quotedTable +
                     "') and attnum > 0 and not attisdropped and atttypmod < 0 and atttypid in "
                     "('varchar'::regtype, 'bpchar'::regtype)";
    else if (engine == TEngineKind::SQLite)
        q.SQL << "select name, type from pragma_table_info('" + quotedTable + "')";
    else
        return {};
    QStringList columns;
    for (q.Open(); !q.Eof(); q.Next())
        if (!q.Fields(1).RawText().contains('('))
            columns << q.Fields(0).RawText();
    return columns;
}
