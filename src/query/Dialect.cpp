#include "query/Dialect.h"

#include <QHash>
#include <algorithm>
#include <sql.h>
#include <sqlext.h>
#include <sqlucode.h>

#include "query/Database.h"
#include "query/DriverText.h"

namespace {

QString DbmsName(TDatabase& db) {
    SQLWCHAR name[256] = {};
    SQLSMALLINT bytes = 0;
    const SQLRETURN rc = SQLGetInfoW(db.Handle(), SQL_DBMS_NAME, name, SQLSMALLINT(sizeof name), &bytes);
    if (!SQL_SUCCEEDED(rc))
        return {};
    return QString::fromUtf16(reinterpret_cast<const char16_t*>(name),
                              std::min<qsizetype>(bytes / qsizetype(sizeof(SQLWCHAR)), 255));
}

QString AskServer(const QString& databaseName, const QString& statement) {
    TQuery q;
    q.DatabaseName = databaseName;
    q.SQL << statement;
    q.Open();
    return q.Eof() ? QString() : q.Fields(0).RawText();
}

} // namespace

TEngineKind EngineFromName(const QString& name) {
    const QString n = name.toLower();
    if (n.contains("postgres") || n.contains("psql"))
        return TEngineKind::PostgreSQL;
    if (n.contains("maria") || n.contains("mysql") || n.contains("maodbc") || n.contains("myodbc"))
        return TEngineKind::MariaDB;
    if (n.contains("sqlite"))
        return TEngineKind::SQLite;
    if (n.contains("sql server") || n.contains("freetds") || n.contains("tdsodbc") || n.contains("msodbcsql"))
        return TEngineKind::SqlServer;
    return TEngineKind::Unknown;
}

TDialect DialectFromSetting(TEngineKind engine, const QString& setting) {
    TDialect dialect{engine, TBackslashes::Literal};
    if (engine == TEngineKind::PostgreSQL)
        dialect.Backslashes = setting.trimmed().compare("off", Qt::CaseInsensitive) == 0
                                  ? TBackslashes::Escape
                                  : TBackslashes::Literal;
    else if (engine == TEngineKind::MariaDB)
        dialect.Backslashes = setting.contains("NO_BACKSLASH_ESCAPES", Qt::CaseInsensitive)
                                  ? TBackslashes::Literal
                                  : TBackslashes::Escape;
    return dialect;
}

TDialect ConnectionDialect(const QString& databaseName) {
    TDatabase* db = FindDatabase(databaseName);
    if (!db)
        throw EDatabaseError(QString("No database connection is named '%1'.").arg(databaseName));
    db->Open();
    static QHash<quint64, TDialect> known;
    const quint64 id = db->ConnectionId();
    if (auto it = known.constFind(id); it != known.constEnd())
        return *it;
    const TEngineKind engine = EngineFromName(DbmsName(*db));
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

TDialect DataSourceDialect(const QString& dsn) {
    const QString driver = OdbcProfileString(dsn, "Driver", "odbc.ini");
    TEngineKind engine = EngineFromName(driver);
    if (engine == TEngineKind::Unknown && !driver.isEmpty() && !driver.contains('/'))
        engine = EngineFromName(OdbcProfileString(driver, "Driver", "odbcinst.ini"));
    TDialect dialect{engine, TBackslashes::Literal};
    if (engine == TEngineKind::PostgreSQL)
        dialect.Backslashes = TBackslashes::Unknown;
    else if (engine == TEngineKind::MariaDB)
        dialect.Backslashes = TBackslashes::Escape;
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
