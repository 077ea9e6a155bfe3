#include <QCoreApplication>
#include <QFile>
#include <QPointer>
#include <gtest/gtest.h>

#include "fixtures/Engines.h"
#include "fixtures/ScriptedAnswerer.h"
#include "platform/Regional.h"
#include "query/Database.h"
#include "transfer/ui/Transfer.h"

namespace {

// Numbers, dates and texts read as numbers arrive with every digit, and the same whoever runs the flow.
class ExactValuesOn : public TEngineTest {
protected:
    void Run(bool scripting, const QString& exportFile = {}, int batchRows = 1) {
        TScriptedAnswerer answers;
        if (scripting)
            answers.AnswerSave(exportFile);
        TRunSettings settings;
        settings.Scripting = scripting;
        settings.BatchRows = batchRows;
        settings.ContractFilter = [] { return QString("1"); };
        auto* window = new TFTransfer(settings, TRunOptions());
        QPointer<TFTransfer> guard(window);
        window->RunTransfer({"F_DST"});
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        EXPECT_TRUE(guard.isNull());
    }
    TTempProgramDir dir;
};

TEST_P(ExactValuesOn, EveryDigitArrivesWhateverTheLocale) {
    TestEnv::ResetSqlite("KelvoLite");
    auto source = OpenTestDatabase("KelvoLite", "DBSource");
    auto dest = OpenTestDatabase(Dsn(), "DBDest");
    source->ExecDirect("create table SRC (ID integer, D decimal(18,6), F double, DT timestamp, T text)");
    source->ExecDirect("insert into SRC values (1, 1.234567, 1.2345e-05, '2024-03-01 13:45:10', '1234.56')");
    source->ExecDirect("insert into SRC values (2, 0.000049, 0.1, '2024-03-01', '-4.9e-05')");
    source->ExecDirect("insert into SRC values (3, 1234.5, -2.5, NULL, '1,234')"); // no number anywhere
    for (TDatabase* db : {source.get(), dest.get()}) // the export takes the structure from the source
        db->ExecDirect("create table DST (ID integer, D decimal(18,6), R real, F " + Type("double") +
                       ", TD varchar(40), TF varchar(40), TN decimal(18,6))");
    dir.WriteFile("Files/F_DST.INI", "[SOURCE]\r\nNAME=SRC\r\n[TARGET]\r\nNAME=DST\r\n[FIELDS]\r\nID=ID\r\n"
                                     "D=D\r\nR=F\r\nF=F\r\nTD=DT\r\nTF=F\r\nTN=T\r\n");

    QStringList firstRows;
    QByteArray firstExport;
    for (const char* locale : {"sl_SI", "de_DE", "C"}) {
        SCOPED_TRACE(locale);
        dest->ExecDirect("delete from DST");
        QFile::remove(dir.FilePath("FailedData.sql"));
        SetRegionalLocaleForTests(QLocale(locale));
        Run(false);
        SetRegionalLocaleForTests(QLocale::c());
        const QStringList rows = QueryRows("DBDest", "select * from DST order by ID");
        if (firstRows.isEmpty())
            firstRows = rows;
        EXPECT_EQ(rows, firstRows);
        EXPECT_TRUE(dir.ReadFile("FailedData.sql").contains("'1,234' is not a valid floating point value"));

        SetRegionalLocaleForTests(QLocale(locale));
        const QString file = QString("export-%1.sql").arg(locale);
        Run(true, dir.FilePath(file));
        const QByteArray exported = dir.ReadFile(file);
        ASSERT_FALSE(exported.isEmpty());
        if (firstExport.isEmpty())
            firstExport = exported;
        EXPECT_EQ(exported, firstExport);
    }
    // Rows sent many to an INSERT (into PostgreSQL as arrays) keep every digit too.
    dest->ExecDirect("delete from DST");
    SetRegionalLocaleForTests(QLocale("sl_SI"));
    Run(false, {}, 10);
    SetRegionalLocaleForTests(QLocale::c());
    EXPECT_EQ(QueryRows("DBDest", "select * from DST order by ID"), firstRows);
    ResetRegionalLocaleForTests();
    EXPECT_EQ(firstRows,
              QStringList({"1|1.234567|0.000012345|0.000012345|2024-03-01T13:45:10|0.000012345|1234.56",
                           "2|0.000049|0.1|0.1|2024-03-01T00:00:00|0.1|-0.000049"}));
    EXPECT_TRUE(firstExport.contains(
        "(1, 1.234567, 1.2345e-05, 1.2345e-05, '2024-03-01T13:45:10', '0.000012345', 1234.5600) \r\n"))
        << firstExport.toStdString();
    EXPECT_TRUE(
        firstExport.contains("(2, 0.000049, 0.1000, 0.1000, '2024-03-01T00:00:00', '0.1', -0.000049)"))
        << firstExport.toStdString();
}

KELVO_ON_EVERY_ENGINE(ExactValuesOn);

} // namespace
