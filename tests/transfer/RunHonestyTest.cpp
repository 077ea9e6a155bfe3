#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QPointer>
#include <QRegularExpression>
#include <gtest/gtest.h>
#include <iostream>
#include <sys/mount.h>

#include "fixtures/Engines.h"
#include "fixtures/ScriptedAnswerer.h"
#include "fixtures/TestEnv.h"
#include "flows/FlowFile.h"
#include "platform/Errors.h"
#include "platform/TextFile.h"
#include "query/Database.h"
#include "query/SqlLog.h"
#include "transfer/RecordCopy.h"
#include "transfer/ui/Transfer.h"

namespace {

// A run that ends as it really ended: the result, Transfer.log and FailedData.sql, after faults.
class RunHonesty : public ::testing::Test {
public:
    void Connect(const QString& destDsn) {
        TestEnv::ResetSqlite("KelvoLite");
        if (destDsn == "KelvoPg")
            TestEnv::ResetPostgres();
        else
            TestEnv::ResetSqlite(destDsn);
        source = OpenTestDatabase("KelvoLite", "DBSource");
        dest = OpenTestDatabase(destDsn, "DBDest");
    }
    // Runs through a real progress window; the error that ended the run, if any, in error.
    TRunResult Run(const QStringList& flows, bool scripting, QString* error = nullptr) {
        TRunSettings settings;
        settings.Scripting = scripting;
        settings.BatchRows = batchRows;
        settings.ContractFilter = [] { return QString("P1"); };
        TRunOptions options;
        options.StopOnError = [this] { return stopOnError; };
        options.ShowTransferSummary = [this] { return summary; };
        auto* window = new TFTransfer(settings, options);
        QPointer<TFTransfer> guard(window);
        TRunResult result;
        try {
            result = window->RunTransfer(flows);
        } catch (const EKelvoError& e) {
            result = window->Run().Result();
            if (error)
                *error = e.Message();
            else
                ADD_FAILURE() << e.what();
        }
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        CloseStatementLogs();
        return result;
    }
    QStringList Log() const {
        return QString::fromUtf8(dir.ReadFile("Transfer.log")).split("\r\n", Qt::SkipEmptyParts);
    }
    // The lines of Transfer.log without their durations.
    QStringList FlowLines() const {
        QStringList lines = Log().mid(1);
        for (QString& l : lines)
            l = l.left(l.indexOf(" Duration: "));
        return lines;
    }
    int Entries() const {
        return int(QString::fromUtf8(dir.ReadFile("FailedData.sql"))
                       .count(QRegularExpression("^-- ", QRegularExpression::MultilineOption)));
    }

    TTempProgramDir dir;
    std::unique_ptr<TDatabase> source, dest;
    bool stopOnError = false;
    int batchRows = 1;
    bool summary = false;
};

QByteArray FlowText(const QString& fields, const QString& target = "D", const QString& sourceTable = "S") {
    return ("[DATA]\r\nNAME=A\r\n[SOURCE]\r\nNAME=" + sourceTable + "\r\n[TARGET]\r\nNAME=" + target +
            "\r\n[FIELDS]\r\n" + fields)
        .toUtf8();
}

TEST_F(RunHonesty, AFlowThatCannotCopyARecordRunsNoneOfItsScripts) {
    struct TCase {
        const char* name;
        QByteArray flow;
        const char* message;
    };
    const TCase cases[] = {
        {"a source column missing", FlowText("ID=NOPE\r\n"),
         "Flow A: the destination column ID is mapped to NOPE, which is not a column of the source."},
        {"no destination column mapped", FlowText("NOPE=ID\r\n"),
         "Flow A: no mapping line names a column of the destination table D, so no record could be copied."},
        {"no destination table", FlowText("ID=ID\r\n", "MISSING"), "MISSING"},
        {"an SQL source without the column",
         FlowText("ID=NOPE\r\n")
             .replace("NAME=S", "NAME=select ID from S")
             .replace("NAME=A\r\n", "NAME=A\r\nSQL=Y\r\n"),
         "which is not a column of the source"},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.name);
        Connect("KelvoLite2");
        ExecOn("KelvoLite", "create table S (ID integer); insert into S values (1)");
        ExecOn("KelvoLite2", "create table D (ID integer); insert into D values (7)");
        dir.WriteFile("Files/A.INI", c.flow);
        dir.WriteFile("Files/A_sinit.txt", "delete from S;\r\n");
        dir.WriteFile("Files/A_dinit.txt", "delete from D;\r\n"); // the demo's kind of initial script
        QFile::remove(dir.FilePath("Transfer.log"));
        QString error;
        const TRunResult result = Run({"A"}, false, &error);
        EXPECT_TRUE(error.contains(c.message)) << error.toStdString();
        EXPECT_EQ(QueryRows("DBDest", "select ID from D"), QStringList{"7"});
        EXPECT_EQ(QueryRows("DBSource", "select ID from S"), QStringList{"1"});
        EXPECT_FALSE(QFile::exists(dir.FilePath("Files/A_dinit.txt.log")));
        EXPECT_EQ(result.End, TRunEnd::EndedByError);
        ASSERT_EQ(FlowLines().size(), 2);
        EXPECT_EQ(FlowLines()[0], "A Ended by an error. Transfered: 0 Failed: 0");
        EXPECT_TRUE(FlowLines()[1].startsWith("Run ended: Data transfer ended by an error: "));
    }
}

// Removes the cause of the failures, replays FailedData.sql with the engine's own client and counts.
void Replay(TEngine engine, const QString& file) {
    if (engine == TEngine::PostgreSQL)
        ExecOn(
            Engines::Dsn(engine),
            "alter table D drop constraint D_ID_CHECK; alter table D alter column AMOUNT type varchar(20)");
    else
        ExecOn(Engines::Dsn(engine),
               "create table D2 (ID integer, NAME varchar(10), AMOUNT varchar(20)); "
               "insert into D2 select * from D; drop table D; alter table D2 rename to D");
    Engines::RunClient(engine, file, {.stopAtFirstError = true});
}

TEST_F(RunHonesty, EveryRecordReadIsInTheDestinationOrInFailedDataAndReplays) {
    for (const TEngine engine : {TEngine::SQLite, TEngine::PostgreSQL}) {
        const QString destDsn = Engines::Dsn(engine);
        SCOPED_TRACE(destDsn.toStdString());
        if (engine == TEngine::PostgreSQL && !TestEnv::PostgresConfigured())
            continue;
        Connect(destDsn);
        QFile::remove(dir.FilePath("FailedData.sql"));
        ExecOn("KelvoLite", "create table S (ID integer, NAME varchar(10), AMT varchar(20))");
        QString inserts;
        for (int i = 1; i <= 12; ++i)
            inserts +=
                QString("insert into S values (%1, 'n''%1', '%2');").arg(i).arg(i % 4 ? "1.5" : "no number");
        ExecOn("KelvoLite", inserts);
        // Engine refusals (ID 5, 10) and conversion errors (every fourth amount) fail their records.
        ExecOn(destDsn,
               "create table D (ID integer constraint D_ID_CHECK check (ID % 5 <> 0), NAME varchar(10), "
               "AMOUNT float)");
        dir.WriteFile("Files/A.INI", FlowText("ID=ID\r\nNAME=NAME\r\nAMOUNT=AMT\r\n"));
        const TRunResult result = Run({"A"}, false);
        ASSERT_EQ(result.Flows.size(), 1u);
        const TFlowResult& flow = result.Flows[0];
        EXPECT_EQ(flow.Read, 12);
        EXPECT_EQ(flow.Failed, 5); // 4, 5, 8, 10, 12
        EXPECT_EQ(flow.Copied + flow.Failed, flow.Read);
        EXPECT_EQ(Entries(), flow.Failed);
        EXPECT_EQ(QueryRows("DBDest", "select count(*) from D"), QStringList{QString::number(flow.Copied)});
        const QStringList lines = QString::fromUtf8(dir.ReadFile("FailedData.sql")).split("\r\n");
        EXPECT_TRUE(QRegularExpression("^-- \\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d A: \\S")
                        .match(lines[0])
                        .hasMatch())
            << lines[0].toStdString();
        EXPECT_EQ(lines.count(";"), flow.Failed);
        EXPECT_EQ(lines.count("Go"), 0);
        EXPECT_FALSE(result.Success());
        Replay(engine, dir.FilePath("FailedData.sql"));
        EXPECT_EQ(QueryRows("DBDest", "select count(*) from D"), QStringList{"12"});
    }
}

TEST_F(RunHonesty, AFullDiskKeepsOnlyWholeStatementsAndEndsTheRun) {
    Connect("KelvoLite2");
    ExecOn("KelvoLite", "create table S (ID integer, NAME varchar(10), DAY varchar(20));"
                        "create table D (ID integer check (ID <> 3), NAME varchar(10), DAY varchar(20))");
    QString inserts;
    for (int i = 1; i <= 20; ++i)
        inserts += QString("insert into S values (%1, 'x', 'y');").arg(i);
    ExecOn("KelvoLite", inserts);
    ExecOn("KelvoLite2", "create table D (ID integer check (ID <> 3), NAME varchar(10), DAY varchar(20))");
    dir.WriteFile("Files/A.INI", FlowText("ID=ID\r\nNAME=NAME\r\nDAY=DAY\r\n"));

    // The export file fills after a few statements: the row that did not fit is in FailedData.sql.
    SetWriteFaultForTests("export.sql", 500);
    TScriptedAnswerer answers;
    answers.AnswerSave(dir.FilePath("export.sql"));
    QString error;
    TRunResult result = Run({"A"}, true, &error);
    SetWriteFaultForTests(QString(), 0);
    const QByteArray exported = dir.ReadFile("export.sql");
    EXPECT_TRUE(exported.endsWith(";\r\n\r\n"));
    EXPECT_EQ(exported.count("Insert into"), result.Flows[0].Copied);
    EXPECT_EQ(result.Flows[0].Failed, 1);
    EXPECT_EQ(Entries(), 1);
    EXPECT_TRUE(error.startsWith("The export file " + dir.FilePath("export.sql") + " could not be written"))
        << error.toStdString();
    EXPECT_EQ(FlowLines()[0],
              QString("A Ended by an error. Transfered: %1 Failed: 1").arg(result.Flows[0].Copied));

    // A large value's literal is written a part at a time: a disk that fills in its middle keeps none of
    // it, and the row is in FailedData.sql, whole.
    ExecOn("KelvoLite", "create table L (ID integer, T text); create table LD (ID integer, T text);"
                        "insert into L values (1, 'a'), (2, printf('%.*c', 3000000, 'x')), (3, 'c')");
    dir.WriteFile("Files/A.INI", FlowText("ID=ID\r\nT=T\r\n", "LD", "L"));
    QFile::remove(dir.FilePath("FailedData.sql"));
    SetWriteFaultForTests("export-l.sql", 2000000);
    answers.AnswerSave(dir.FilePath("export-l.sql"));
    result = Run({"A"}, true, &error);
    SetWriteFaultForTests(QString(), 0);
    EXPECT_EQ(dir.ReadFile("export-l.sql").count("Insert into"), 1);
    EXPECT_TRUE(dir.ReadFile("export-l.sql").endsWith("(1, 'a')\r\n;\r\n\r\n"));
    EXPECT_EQ(result.Flows[0].Failed, 1);
    EXPECT_TRUE(dir.ReadFile("FailedData.sql").contains("(2, '" + QByteArray(3000000, 'x') + "')"));
    dir.WriteFile("Files/A.INI", FlowText("ID=ID\r\nNAME=NAME\r\nDAY=DAY\r\n"));

    // FailedData.sql cannot take the failed row: it keeps its whole entries, Transfer.log names the row.
    QFile::remove(dir.FilePath("FailedData.sql"));
    QFile::remove(dir.FilePath("Transfer.log"));
    SetWriteFaultForTests("FailedData.sql", 10);
    result = Run({"A"}, false, &error);
    SetWriteFaultForTests(QString(), 0);
    EXPECT_EQ(dir.ReadFile("FailedData.sql"), QByteArray());
    EXPECT_TRUE(error.contains("FailedData.sql")) << error.toStdString();
    EXPECT_TRUE(FlowLines()[0].startsWith("A Record 3 not kept, FailedData.sql cannot be written"))
        << FlowLines()[0].toStdString();
    EXPECT_EQ(result.End, TRunEnd::EndedByError);
    EXPECT_EQ(result.Flows[0].Copied, 2);

    // A real small file system, where the machine lets the test mount one.
    const QString mountPoint = dir.FilePath("small");
    QDir().mkpath(mountPoint);
    if (::mount("tmpfs", mountPoint.toLocal8Bit().constData(), "tmpfs", 0, "size=8k") != 0) {
        std::cout << "[ INFO ] no tmpfs mount here; the fault hook above stands for it\n";
        return;
    }
    inserts.clear();
    for (int i = 21; i <= 200; ++i)
        inserts += QString("insert into S values (%1, 'x', 'y');").arg(i);
    ExecOn("KelvoLite", inserts);
    answers.AnswerSave(mountPoint + "/export.sql");
    result = Run({"A"}, true, &error);
    const QByteArray small = dir.ReadFile("small/export.sql");
    ::umount(mountPoint.toLocal8Bit().constData());
    EXPECT_EQ(result.End, TRunEnd::EndedByError);
    EXPECT_GT(result.Flows[0].Copied, 10);
    EXPECT_TRUE(small.endsWith(";\r\n\r\n"));
    EXPECT_EQ(small.count("Insert into"), result.Flows[0].Copied);
}

TEST_F(RunHonesty, TheEndOfEveryRunIsToldAsItWas) {
    Connect("KelvoLite2");
    ExecOn("KelvoLite", "create table S (ID integer); insert into S values (1); insert into S values (2);"
                        "insert into S values (3)");
    ExecOn("KelvoLite2", "create table D (ID integer check (ID <> 2))");
    dir.WriteFile("Files/A.INI", FlowText("ID=ID\r\n"));
    summary = true;
    stopOnError = true;
    TScriptedAnswerer answers;
    answers.AnswerMessage(mrNo); // Stop on error: No
    TRunResult result = Run({"A"}, false);
    EXPECT_EQ(result.End, TRunEnd::StoppedAfterError);
    EXPECT_EQ(FlowLines(), QStringList({"A Stopped after a failed record. Transfered: 1 Failed: 1",
                                        "Run ended: Data transfer stopped after a failed record. 1 of 2 rows "
                                        "failed, see FailedData.sql."}));
    EXPECT_TRUE(Log()[0].startsWith("Run 2")) << Log()[0].toStdString();
    EXPECT_TRUE(Log()[0].endsWith(" Filter: P1 Export file: none"));

    stopOnError = false;
    answers.AnswerMessage(mrOk).AnswerMessage(mrOk);
    result = Run({"A"}, false);
    EXPECT_EQ(answers.AskedTexts().mid(1),
              QStringList({"A - Failed insert on 1 records.",
                           "Data transfer ended with errors. 1 of 3 rows failed, see FailedData.sql."}));
    EXPECT_EQ(
        RunStatusText(result).toStdString(),
        "Data transfer ended with errors. 1 of 3 rows failed, see FailedData.sql. Flows 1/1, records copied "
        "2, failed 1, export file none.");

    // An unusable log folder: the inserts run, the flow does not count as a success.
    ExecOn("KelvoLite2", "delete from D");
    QDir(dir.FilePath("Log")).removeRecursively();
    dir.WriteFile("Log", "a file where the log folder belongs");
    dir.WriteFile("Files/A.INI", FlowText("ID=ID\r\n")
                                     .replace("NAME=S", "NAME=select ID from S where ID <> 2")
                                     .replace("NAME=A\r\n", "NAME=A\r\nSQL=Y\r\n"));
    answers.AnswerMessage(mrOk);
    result = Run({"A"}, false);
    EXPECT_EQ(result.Flows[0].LogErrors, 2);
    EXPECT_EQ(QueryRows("DBDest", "select ID from D"), QStringList({"1", "3"}));
    EXPECT_TRUE(answers.AskedTexts().last().startsWith(
        "Data transfer ended with errors. The statement log could not be written"));
    EXPECT_TRUE(Log()[Log().size() - 2].startsWith("A Statement log not written for 2 records: "));

    // In batches too every such row is counted, not the statement that carried it.
    ExecOn("KelvoLite2", "delete from D");
    batchRows = 10;
    answers.AnswerMessage(mrOk);
    result = Run({"A"}, false);
    batchRows = 1;
    EXPECT_EQ(result.Flows[0].LogErrors, 2);
    EXPECT_EQ(QueryRows("DBDest", "select ID from D"), QStringList({"1", "3"}));
}

TEST(FlowFiles, EveryMappingLineIsReadWhateverItsLength) {
    TTempProgramDir dir;
    QByteArray text = "[DATA]\r\nNAME=WIDE\r\n[FIELDS]\r\n";
    for (int i = 0; i < 2001; ++i)
        text += QString("COLUMN_WITH_A_RATHER_LONG_NAME_%1=SOURCE_%1\r\n").arg(i).toUtf8();
    dir.WriteFile("Files/WIDE.INI", text);
    EXPECT_EQ(ReadFlowData("WIDE").Fields.size(), 2001);
    EXPECT_EQ(ReadFlowFile(dir.FilePath("Files/WIDE.INI")).MapFieldList.size(), 2001);
    EXPECT_EQ(ReadFlowData("WIDE").Fields.last(), "COLUMN_WITH_A_RATHER_LONG_NAME_2000=SOURCE_2000");
}

} // namespace
