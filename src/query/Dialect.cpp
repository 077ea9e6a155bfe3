#include "query/Dialect.h"

#include <algorithm>

#include "query/DriverText.h"

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
