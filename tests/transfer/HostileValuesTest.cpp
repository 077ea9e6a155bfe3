#include <QCoreApplication>
#include <QPointer>
#include <QRegularExpression>
#include <gtest/gtest.h>

#include "fixtures/Engines.h"
#include "fixtures/ScriptedAnswerer.h"
#include "fixtures/TestEnv.h"
#include "platform/Regional.h"
#include "query/Database.h"
#include "transfer/TransferRun.h"
#include "transfer/ui/Transfer.h"

namespace {

// How one engine is reached and what its types are called.
struct TEngineCase {
    const char* name;
    TEngine engine;
    const char* backslashes; // PostgreSQL's standard_conforming_strings for the session; empty elsewhere
    bool escapes;            // the engine reads backslash escapes in literals
    bool looseTypes;         // a date column takes any text
    const char* bareVarchar; // a character type without a length where the engine has one
};

// The values every destination class receives; the destination's second text column W follows each.
const QStringList AllValues{
    "'",
    "\"",
    "\\",
    "\\'",
    ";",
    "--",
    "/* */",
    "1); drop table VICTIM; --",
    "a\\",
    "x'); drop table VICTIM; --",
    "42",
    "2024-03-05",
    QString(300, 'y') + "\\", // longer than a varchar without length is reported to be
    "abcd'ef",
    "abcd\\ef",
    QString("abcd") + QString::fromUcs4(U"\U0001F600") + "x", // quote, backslash, emoji at the cut
    "NULL",
    "{a,\"b\"}",                                          // an array's own marks
    QString(300000, 'z') + "\\'); drop table VICTIM; --", // too large for a statement's text
};
const QString Trailer = "); drop table VICTIM; --";

// Destination tables: name, value column type (%1 bare varchar, %2 blob), translation of the value.
const struct {
    const char* table;
    const char* type;
    const char* translation;
} Destinations[] = {
    {"HT", "%1", ""},
    {"HI", "integer", ""},
    {"HL", "bigint", ""},
    {"HD", "decimal(12,4)", "ECHO"},
    {"HDT", "date", "ECHO"},
    {"HB", "%2", ""},
    {"HC", "varchar(5)", ""},
    {"HG", "%1", "GEN_ID"},
    {"HN", "decimal(12,4)", ""}, // a text that is no number fails before a statement is composed
};

QString FirstCharacters(const QString& text, int n) {
    const QList<uint> all = text.toUcs4();
    return QString::fromUcs4(reinterpret_cast<const char32_t*>(all.constData()),
                             std::min<qsizetype>(n, all.size()));
}

QString SqliteText(const QString& text) {
    return "'" + QString(text).replace('\'', "''") + "'";
}

class HostileValues : public ::testing::TestWithParam<TEngineCase> {
public:
    void Run(bool scripting, const QString& exportFile = {}) {
        TScriptedAnswerer answers;
        if (scripting)
            answers.AnswerSave(exportFile);
        TRunSettings settings;
        settings.Scripting = scripting;
        settings.ContractFilter = [] { return QString("1"); };
        settings.BatchRows = batchRows;
        TRunOptions options;
        options.StopOnError = [] { return false; };
        options.ShowTransferSummary = [] { return false; };
        options.ConstList = [] { return QStringList(); };
        auto* window = new TFTransfer(settings, options);
        QPointer<TFTransfer> guard(window);
        window->RunTransfer(flows);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        EXPECT_TRUE(guard.isNull());
    }
    QStringList Rows(const QString& table) {
        SetRegionalLocaleForTests(QLocale("en_US"));
        return QueryRows("DBDest", "select * from " + table + " order by ID");
    }
    void EmptyDestination() {
        for (const auto& d : Destinations)
            dest->ExecDirect(QString("delete from ") + d.table);
        dest->ExecDirect("delete from HDATES");
    }
    // Runs the export file with the engine's own client, going on after each failing statement.
    void Replay(const QString& file, const QString& backslashes = {}) {
        if (GetParam().engine == TEngine::SQLite)
            dest->Close(); // the file is written by another process
        const QString setting = backslashes.isEmpty() ? GetParam().backslashes : backslashes;
        Engines::RunClient(GetParam().engine, file,
                           {.pgOptions = "-c standard_conforming_strings=" + setting});
        dest->Open();
    }

    TTempProgramDir dir;
    std::unique_ptr<TDatabase> source, dest;
    QStringList flows;
    int batchRows = 1;
};

TEST_P(HostileValues, ArriveWholeOrFailWithoutRunningAsSql) {
    const TEngineCase& engine = GetParam();
    TestEnv::ResetSqlite("KelvoLite");
    if (!Engines::Reset(engine.engine))
        return;
    source = OpenTestDatabase("KelvoLite", "DBSource");
    dest = OpenTestDatabase(Engines::Dsn(engine.engine), "DBDest");
    if (*engine.backslashes)
        dest->ExecDirect(QString("set standard_conforming_strings = ") + engine.backslashes);

    source->ExecDirect("create table SRC (ID integer, V text, W text)");
    for (int i = 0; i < AllValues.size(); ++i)
        source->ExecDirect(QString("insert into SRC values (%1, %2, %3)")
                               .arg(i + 1)
                               .arg(SqliteText(AllValues[i]), SqliteText(Trailer)));
    source->ExecDirect("create table SRCD (ID integer, D date, TS timestamp, N float)");
    source->ExecDirect("insert into SRCD values (1, '2024-03-05', '2024-03-05 13:45:10', 1234.5)");
    source->ExecDirect("insert into SRCD values (2, '2085-03-15', '1850-06-02 10:00:00', -0.25)");
    source->ExecDirect("insert into SRCD values (3, NULL, '2024-02-29 23:59:59.25', NULL)");
    dir.WriteFile("Files/ECHO.ini", "[DATA]\r\nTYPE=R\r\n[TRANSLATIONS]\r\nV=select 'SOURCE'\r\n");
    for (const auto& d : Destinations) {
        const QString type =
            QString(d.type)
                .replace("%1", engine.bareVarchar)
                .replace("%2", engine.engine == TEngine::MariaDB ? QString("longblob")
                                                                 : Engines::Type(engine.engine, "blob"));
        const QString extra = QString(d.table) == "HT" || QString(d.table) == "HN" ? ", W varchar(200)" : "";
        for (TDatabase* db : {source.get(), dest.get()}) // the export takes the structure from the source
            db->ExecDirect(QString("create table %1 (ID integer, V %2%3)").arg(d.table, type, extra));
        flows << QString("F_") + d.table;
        dir.WriteFile("Files/" + flows.last() + ".INI",
                      QString("[SOURCE]\r\nNAME=SRC\r\n[TARGET]\r\nNAME=%1\r\n[FIELDS]\r\nID=ID\r\nV=V\r\n%2"
                              "[TRANS]\r\n%3=%4\r\n")
                          .arg(d.table, extra.isEmpty() ? "" : "W=W\r\n",
                               QString(d.translation) == "GEN_ID" ? "ID" : "V", d.translation)
                          .toUtf8());
    }
    for (TDatabase* db : {source.get(), dest.get()})
        db->ExecDirect("create table HDATES (ID integer, D date, TS " +
                       Engines::Type(engine.engine, "timestamp") + ", N decimal(12,4))");
    dir.WriteFile("Files/F_DATES.INI", "[SOURCE]\r\nNAME=SRCD\r\n[TARGET]\r\nNAME=HDATES\r\n[FIELDS]\r\n"
                                       "ID=ID\r\nD=D\r\nTS=TS\r\nN=N\r\n");
    flows << "F_DATES";
    dest->ExecDirect("create table VICTIM (X integer)");
    dest->ExecDirect("insert into VICTIM values (1)");

    // Direct mode, then the export file replayed, each under three regional settings.
    std::map<QString, QStringList> direct;
    QByteArray firstExport;
    for (const char* locale : {"sl_SI", "de_DE", "en_US"}) {
        SCOPED_TRACE(locale);
        EmptyDestination();
        QFile::remove(dir.FilePath("FailedData.sql"));
        SetRegionalLocaleForTests(QLocale(locale));
        Run(false);
        std::map<QString, QStringList> rows;
        for (const auto& d : Destinations)
            rows[d.table] = Rows(d.table);
        rows["HDATES"] = Rows("HDATES");
        if (direct.empty())
            direct = rows;
        EXPECT_EQ(rows, direct);

        EmptyDestination();
        SetRegionalLocaleForTests(QLocale(locale));
        const QString file = QString("export-%1.sql").arg(locale);
        Run(true, dir.FilePath(file));
        const QByteArray exported = dir.ReadFile(file);
        ASSERT_FALSE(exported.isEmpty());
        if (firstExport.isEmpty())
            firstExport = exported;
        EXPECT_EQ(exported, firstExport);
    }
    // Batches of many rows give the same rows; into PostgreSQL as arrays, which none of the values
    // breaks (a failed batch would go again as VALUES lists).
    EmptyDestination();
    QFile::remove(dir.FilePath("Log/Modify.log"));
    batchRows = 1000;
    Run(false);
    batchRows = 1;
    for (const auto& [table, rows] : direct)
        EXPECT_EQ(Rows(table), rows) << "batched " << table.toStdString();
    if (engine.engine == TEngine::PostgreSQL) {
        const QString statements = QString::fromUtf8(dir.ReadFile("Log/Modify.log"));
        EXPECT_EQ(statements.count("unnest("), 4); // HT, HB, HC and HDATES; the rest one row each
        EXPECT_FALSE(statements.contains(QRegularExpression("(?m)\\),\\s*$"))) << statements.toStdString();
    }
    EmptyDestination();
    Replay(dir.FilePath("export-en_US.sql"));
    for (const auto& [table, rows] : direct)
        EXPECT_EQ(Rows(table), rows) << "replayed " << table.toStdString();
    EXPECT_EQ(QueryRows("DBDest", "select X from VICTIM"), QStringList{"1"});

    // Text arrives whole (a varchar without length is not cut), the cut counts characters.
    QStringList text, cut;
    for (int i = 0; i < AllValues.size(); ++i) {
        text << QString("%1|%2|%3").arg(i + 1).arg(AllValues[i], Trailer);
        cut << QString("%1|%2").arg(i + 1).arg(FirstCharacters(AllValues[i], 5).trimmed());
    }
    EXPECT_EQ(direct["HT"], text);
    EXPECT_EQ(direct["HC"], cut);
    QStringList generated; // identifiers counted on from the table's maximum, text whole
    for (int i = 0; i < AllValues.size(); ++i)
        generated << QString("%1|%2").arg(i + 1).arg(AllValues[i]);
    EXPECT_EQ(direct["HG"], generated);
    // Numbers take only numbers; bytes take every text as its UTF-8 bytes.
    const int fortyTwo = int(AllValues.indexOf("42")) + 1;
    for (const char* table : {"HI", "HL", "HD"})
        EXPECT_EQ(direct[table], QStringList{QString("%1|42").arg(fortyTwo)}) << table;
    EXPECT_EQ(direct["HN"], QStringList{QString("%1|42|%2").arg(fortyTwo).arg(Trailer)});
    ASSERT_EQ(direct["HB"].size(), AllValues.size()) << direct["HB"].join("\n").toStdString();
    EXPECT_EQ(direct["HB"][7], "8|" + QString("1); drop table VICTIM; --").toUtf8().toHex().toUpper());
    if (!engine.looseTypes) {
        EXPECT_EQ(direct["HDT"], QStringList{"12|3/5/2024"});
    }
    EXPECT_EQ(direct["HDATES"],
              QStringList({"1|3/5/2024|3/5/2024 1:45:10 PM|1234.5", "2|3/15/1985|6/2/1950|-0.25",
                           "3|NULL|2/29/2024 11:59:59 PM|0"}));

    // A refused value is kept quoted in the failed statements, never sent.
    const QString failed = QString::fromUtf8(dir.ReadFile("FailedData.sql"));
    EXPECT_TRUE(failed.contains("(8, '1); drop table VICTIM; --')")) << failed.toStdString();
    const char* kept = engine.engine == TEngine::PostgreSQL ? "(4, E'\\\\''')"
                       : engine.escapes                     ? "(4, '\\\\''')"
                                                            : "(4, '\\''')";
    EXPECT_TRUE(failed.contains(kept)) << failed.toStdString();
    // The large value stands whole in every kept statement of its row, composed or rebuilt from the source.
    int largeRows = 0;
    const QString id = QString::number(AllValues.size());
    for (const QString& line : failed.split("\r\n")) {
        if (line.startsWith("(" + id + ", ") || line.startsWith("('" + id + "', ")) {
            ++largeRows;
            EXPECT_GT(line.size(), 300000) << line.left(80).toStdString();
        }
    }
    EXPECT_GT(largeRows, 0);
    for (const char* table : {"Insert into HI ", "Insert into HL ", "Insert into HD ", "Insert into HN "})
        EXPECT_EQ(firstExport.count(table), 1) << table;
    // Every kept statement replays as data under either backslash setting.
    for (const char* backslashes : {"on", "off"}) {
        Replay(dir.FilePath("FailedData.sql"), *engine.backslashes ? backslashes : "");
        EXPECT_EQ(QueryRows("DBDest", "select X from VICTIM"), QStringList{"1"}) << backslashes;
    }
    ResetRegionalLocaleForTests();
}

INSTANTIATE_TEST_SUITE_P(
    Engines, HostileValues,
    ::testing::Values(TEngineCase{"SQLite", TEngine::SQLite, "", false, true, "varchar"},
                      TEngineCase{"PostgreSQL", TEngine::PostgreSQL, "on", false, false, "varchar"},
                      TEngineCase{"PostgreSQLEscapes", TEngine::PostgreSQL, "off", true, false, "varchar"},
                      TEngineCase{"MariaDB", TEngine::MariaDB, "", true, false, "longtext"}),
    [](const auto& info) { return std::string(info.param.name); });

} // namespace
