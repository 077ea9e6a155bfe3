#include <QApplication>
#include <QCryptographicHash>
#include <QFile>
#include <QLabel>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QRegularExpression>
#include <QTimer>
#include <gtest/gtest.h>
#include <map>

#include "fixtures/Engines.h"
#include "fixtures/FileText.h"
#include "fixtures/ScriptedAnswerer.h"
#include "fixtures/TestEnv.h"
#include "platform/DateTime.h"
#include "platform/Regional.h"
#include "query/Database.h"
#include "transfer/TransferRun.h"
#include "transfer/ui/Transfer.h"

namespace {

// A program directory with a source and a destination, and helpers to define flows and run them.
class Transfer : public ::testing::Test {
public:
    void Connect(const QString& sourceDsn, const QString& destDsn) {
        if (sourceDsn.startsWith("KelvoLite"))
            TestEnv::ResetSqlite(sourceDsn);
        if (destDsn.startsWith("KelvoLite"))
            TestEnv::ResetSqlite(destDsn);
        source = OpenTestDatabase(sourceDsn, "DBSource");
        dest = OpenTestDatabase(destDsn, "DBDest");
        sourceDsn_ = sourceDsn;
        destDsn_ = destDsn;
    }
    void Flow(const QString& name, const QString& text) {
        dir.WriteFile("Files/" + name + ".INI", text.toUtf8());
    }
    // Runs through a real progress window; onInsert runs before every composed insert.
    void Run(const QStringList& flows, bool scripting, std::function<void(TFTransfer&)> onInsert = {}) {
        TRunSettings settings;
        settings.Scripting = scripting;
        settings.BatchRows = batchRows;
        settings.ContractFilter = [this] { return filter; };
        TRunOptions options;
        options.StopOnError = [this] { return stopOnError; };
        options.ShowTransferSummary = [this] { return summary; };
        options.ConstList = [this] { return constants; };
        auto* window = new TFTransfer(settings, options);
        if (onInsert)
            window->QT().OnInsert = [window, onInsert](TLangQuery*) { onInsert(*window); };
        QPointer<TFTransfer> guard(window);
        window->RunTransfer(flows);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        EXPECT_TRUE(guard.isNull()) << "the run releases its window";
    }
    QStringList LogLines() const {
        QStringList lines = QString::fromUtf8(dir.ReadFile("Transfer.log")).split("\r\n", Qt::SkipEmptyParts);
        lines.removeIf([](const QString& l) { return l.startsWith("Run "); }); // a run's first and last lines
        for (QString& l : lines)
            l = l.left(l.indexOf(" Duration: "));
        return lines;
    }
    int Count(const QString& databaseName, const QString& table) {
        TQuery q;
        q.DatabaseName = databaseName;
        q.SQL << "select count(*) from " + table;
        q.Open();
        return int(q.Fields(0).AsInteger());
    }

    TTempProgramDir dir;
    std::unique_ptr<TDatabase> source, dest;
    QString sourceDsn_, destDsn_;
    QString filter = "1";
    int batchRows = 1;
    bool stopOnError = false;
    bool summary = false;
    QStringList constants{"CK=B"};
};

const char* WorkedFlow = "[DATA]\r\nNAME=W\r\nSQL=N\r\n[SOURCE]\r\nNAME=SRC\r\n[TARGET]\r\nNAME=CUSTOMER\r\n"
                         "[FIELDS]\r\nNAME=CNAME\r\nBALANCE=CBAL\r\nACTIVE=CACT\r\nKIND=CONST(CK)\r\n";
const QStringList WorkedInsert{"Insert into CUSTOMER ", "   (NAME, BALANCE, ACTIVE, KIND)", "values ",
                               "('O''Neil', 1234.5000, 1, 'B')"};

// Runs a test with a SQLite source and a destination on each engine (reset by the engine fixture).
class TransferOn : public Transfer, public ::testing::WithParamInterface<TEngine> {
protected:
    void SetUp() override {
        if (!Engines::Reset(GetParam()))
            GTEST_FAIL() << Engines::Name(GetParam()) << " is not available";
        Connect("KelvoLite", Engines::Dsn(GetParam()));
    }
};

// PostgreSQL takes no unquoted 1 for a boolean column, so its destination keeps the flag in a smallint:
// the statement is the same, as a boolean source gives 1 or 0 to an integer destination too.
void WorkedTables(const QString& dsn, bool withRow, const QString& flagType = "boolean") {
    ExecOn(dsn, "create table SRC (CNAME varchar(20), CBAL float, CACT boolean)");
    if (withRow)
        ExecOn(dsn, "insert into SRC values ('O''Neil', 1234.5, true)");
    ExecOn(dsn, "create table CUSTOMER (NAME varchar(10) primary key, BALANCE float, ACTIVE " + flagType +
                    ", KIND varchar(1))");
}

TEST_F(Transfer, WorkedRowInScriptingModeReachesOnlyTheExportFile) {
    Connect("KelvoLite", "KelvoLite2");
    WorkedTables("KelvoLite", true);
    Flow("W", WorkedFlow);
    dir.WriteFile("Files/W_dinit.txt", "delete from CUSTOMER where KIND = '%filterpog%';\r\n");
    filter = "X";
    TScriptedAnswerer answers;
    answers.AnswerSave(dir.FilePath("out/export.sql")); // the missing folder is created
    Run({"W"}, true);
    ASSERT_EQ(answers.Asked().size(), 1u);
    const TSaveDialogRequest& save = answers.Asked()[0].save;
    EXPECT_EQ(save.title, "Save data to...");
    EXPECT_EQ(save.defaultExt, "SQL");
    EXPECT_EQ(save.initialName, "KelvoPogData.sql");
    EXPECT_EQ(save.filter, "Sql|*.SQL|Txt|*.TXT|Any|*.*");
    EXPECT_EQ(dir.ReadFile("out/export.sql"),
              Block({"delete from CUSTOMER where KIND = 'X'"}) + Block(WorkedInsert));
    EXPECT_EQ(Count("DBSource", "CUSTOMER"), 0); // structure from the source, nothing executed
    EXPECT_EQ(LogLines(), QStringList{"W Transfered: 1 Failed: 0"});

    // A second run extends the export file.
    answers.AnswerSave(dir.FilePath("out/export.sql"));
    Run({"W"}, true);
    EXPECT_EQ(dir.ReadFile("out/export.sql"),
              (Block({"delete from CUSTOMER where KIND = 'X'"}) + Block(WorkedInsert)).repeated(2));
    EXPECT_EQ(LogLines().size(), 2);
}

TEST_F(Transfer, ScriptingWithTheSaveDialogCancelledTouchesNothing) {
    Connect("KelvoLite", "KelvoLite2");
    WorkedTables("KelvoLite", true);
    Flow("W", WorkedFlow);
    TScriptedAnswerer answers;
    answers.AnswerSave(std::nullopt);
    Run({"W"}, true);
    EXPECT_FALSE(QFile::exists(dir.FilePath("Transfer.log")));
    EXPECT_FALSE(QFile::exists(dir.FilePath("Log/Query.log")));
}

void WorkedRowDirect(Transfer& t, TTempProgramDir& dir) {
    TScriptedAnswerer answers;
    t.summary = true;
    answers.AnswerMessage(mrOk).AnswerMessage(mrOk); // the flow's failure notice, then the summary
    ExecOn(t.destDsn_, "insert into CUSTOMER values ('O''Neil', 1, 0, 'A')");
    t.Run({"W"}, false);
    const QByteArray failed = dir.ReadFile("FailedData.sql");
    EXPECT_TRUE(failed.startsWith("-- ")); // the entry's date-time, flow and reason
    EXPECT_EQ(failed.mid(failed.indexOf("\r\n") + 2), Crlf(WorkedInsert) + ";\r\n\r\n");
    EXPECT_EQ(answers.AskedTexts(), QStringList({"W - Failed insert on 1 records.",
                                                 "Data transfer ended with errors. 1 of 1 rows failed, see "
                                                 "FailedData.sql."}));
    EXPECT_EQ(t.LogLines(), QStringList{"W Transfered: 0 Failed: 1"});
    ExecOn(t.destDsn_, "delete from CUSTOMER");
    answers.AnswerMessage(mrOk);
    t.Run({"W"}, false);
    TQuery q;
    q.DatabaseName = "DBDest";
    q.SQL << "select NAME, BALANCE, ACTIVE, KIND from CUSTOMER";
    q.Open();
    ASSERT_FALSE(q.Eof());
    EXPECT_EQ(q.Fields(0).AsString(), "O'Neil");
    EXPECT_DOUBLE_EQ(q.Fields(1).AsFloat(), 1234.5);
    EXPECT_TRUE(q.Fields(2).AsBoolean());
    EXPECT_EQ(q.Fields(3).AsString(), "B");
}

TEST_P(TransferOn, WorkedRowInDirectMode) {
    WorkedTables("KelvoLite", true);
    WorkedTables(destDsn_, false, GetParam() == TEngine::PostgreSQL ? "smallint" : "boolean");
    Flow("W", WorkedFlow);
    WorkedRowDirect(*this, dir);
}

// A line of a script holding several statements goes to the engine as one text: it runs as the driver
// takes it (SQLite's refuses it), a failure is the script's, and the run goes on.
TEST_P(TransferOn, ScriptLinesOfSeveralStatementsLeaveTheRunGoingOn) {
    WorkedTables("KelvoLite", true);
    WorkedTables(destDsn_, false, GetParam() == TEngine::PostgreSQL ? "smallint" : "boolean");
    ExecOn(destDsn_, "create table MARK (ID integer primary key)");
    Flow("W", WorkedFlow);
    dir.WriteFile("Files/W_dinit.txt", "insert into MARK values (1); insert into MARK values (2);\r\n"
                                       "insert into MARK values (3); insert into MARK values (1);\r\n"
                                       "insert into MARK values (4);\r\n");
    Run({"W"}, false);
    EXPECT_EQ(Count("DBDest", "CUSTOMER"), 1);
    QStringList marks;
    for (const QString& id : QueryRows("DBDest", "select ID from MARK order by ID"))
        marks << id;
    // PostgreSQL runs a text as one transaction, whose failing second statement takes the first along;
    // SQLite's driver and MariaDB's server (unless its data source allows more) refuse such a text.
    const bool pg = GetParam() == TEngine::PostgreSQL;
    EXPECT_EQ(marks.join(' '), pg ? "1 2 4" : "4");
    const QStringList log = LogLines();
    ASSERT_EQ(log.size(), 2) << log.join('\n').toStdString();
    EXPECT_TRUE(log[0].startsWith("W Script ") &&
                log[0].contains(QString("W_dinit.txt: %1 statements failed or did not run").arg(pg ? 1 : 2)))
        << log[0].toStdString();
    EXPECT_EQ(log[1], "W Transfered: 1 Failed: 0");
}

// Rows sent many to an INSERT end as they do row by row: the same rows, the same FailedData.sql entries
// with their reasons, the same counts. The failing rows stand at a batch's first, middle and last
// places, and alone in the last, short batch; a stop at one of them leaves the rows after it unread.
TEST_P(TransferOn, BatchesEndEveryRowAsRowByRowDoes) {
    ExecOn("KelvoLite", "create table BSRC (ID integer, NAME varchar(20))");
    QString rows;
    for (int id = 1; id <= 25; ++id)
        rows += QString("%1(%2, 'n''%2')").arg(id > 1 ? ", " : "").arg(id);
    ExecOn("KelvoLite", "insert into BSRC values " + rows);
    ExecOn(destDsn_, "create table BDST (ID integer check (ID not in (1, 5, 10, 13, 25)), NAME varchar(20), "
                     "KIND varchar(1))");
    Flow("B", "[DATA]\r\nNAME=B\r\n[SOURCE]\r\nNAME=BSRC\r\n[TARGET]\r\nNAME=BDST\r\n[FIELDS]\r\nID=ID\r\n"
              "NAME=NAME\r\nKIND=CONST(CK)\r\n");
    struct TOutcome {
        QStringList rows, log;
        QString failed;
        QString statements;
    };
    const auto run = [&](int batch) {
        ExecOn(destDsn_, "delete from BDST");
        QFile::remove(dir.FilePath("FailedData.sql"));
        QFile::remove(dir.FilePath("Log/Modify.log"));
        QFile::remove(dir.FilePath("Transfer.log"));
        batchRows = batch;
        Run({"B"}, false);
        TOutcome out{QueryRows("DBDest", "select ID, NAME, KIND from BDST order by ID"),
                     LogLines(),
                     QString::fromUtf8(dir.ReadFile("FailedData.sql")),
                     {}};
        out.failed.replace(QRegularExpression("(?m)^-- \\S+ \\S+ "), "-- ");
        out.statements = QString::fromUtf8(dir.ReadFile("Log/Modify.log"));
        return out;
    };
    const TOutcome single = run(1), batched = run(10);
    EXPECT_EQ(single.rows.size(), 20);
    EXPECT_EQ(batched.rows, single.rows);
    EXPECT_EQ(batched.failed, single.failed);
    EXPECT_EQ(single.failed.count("\r\n-- "), 4); // five entries
    EXPECT_EQ(batched.log, single.log);
    EXPECT_EQ(single.statements.count("Insert into"), 25);
    // PostgreSQL reads a column's values as one array faster than a VALUES list.
    const QRegularExpression tenRows(
        GetParam() == TEngine::PostgreSQL
            ? R"(unnest\(E'\{1,2,3,4,5,6,7,8,9,10\}'::int4\[\],\s+E'\{"n''1",("n''\d+",){8}"n''10"\}'::varchar\[\],\s+E'\{("B",){9}"B"\}'::varchar\[\]\))"
            : R"(values\s+\(1, 'n''1', 'B'\),(\s+\(\d+, 'n''\d+', 'B'\),){8}\s+\(10, )");
    EXPECT_TRUE(batched.statements.contains(tenRows)) << batched.statements.left(600).toStdString();

    // Stop at the second failing row (5): rows 1-4 ended, row 6 onwards never read.
    stopOnError = true;
    TScriptedAnswerer answers;
    answers.AnswerMessage(mrYes).AnswerMessage(mrNo);
    const TOutcome stopped = run(10);
    EXPECT_EQ(stopped.rows, single.rows.mid(0, 3));
    EXPECT_EQ(stopped.log.value(0), "B Stopped after a failed record. Transfered: 3 Failed: 2");
}

// In scripting mode the export holds the INSERTs of many rows, and the engine's own client replays it
// into the same rows a direct run gives.
TEST_P(TransferOn, BatchedExportReplaysIntoTheRowsOfADirectRun) {
    ExecOn("KelvoLite",
           "create table BSRC (ID integer, NAME varchar(20)); create table BDST (ID integer, NAME "
           "varchar(20))");
    ExecOn("KelvoLite", "insert into BSRC values (1, 'a''b'), (2, 'č\\'), (3, NULL), (4, 'd'), (5, 'e')");
    ExecOn(destDsn_, "create table BDST (ID integer, NAME varchar(20))");
    Flow("B", "[DATA]\r\nNAME=B\r\n[SOURCE]\r\nNAME=BSRC\r\n[TARGET]\r\nNAME=BDST\r\n[FIELDS]\r\nID=ID\r\n"
              "NAME=NAME\r\n");
    batchRows = 2;
    Run({"B"}, false);
    const QStringList direct = QueryRows("DBDest", "select ID, NAME from BDST order by ID");
    ASSERT_EQ(direct.size(), 5);
    ExecOn(destDsn_, "delete from BDST");
    TScriptedAnswerer answers;
    answers.AnswerSave(dir.FilePath("export.sql"));
    Run({"B"}, true);
    const QString exported = QString::fromUtf8(dir.ReadFile("export.sql"));
    EXPECT_EQ(exported.count("Insert into"), 3) << exported.toStdString();
    dest->Close();
    EXPECT_EQ(Engines::RunClient(GetParam(), dir.FilePath("export.sql")), "");
    dest->Open();
    EXPECT_EQ(QueryRows("DBDest", "select ID, NAME from BDST order by ID"), direct);
}

QString Simple(const QString& name, const QString& table, const QStringList& dependsOn = {}) {
    QString text = "[DATA]\r\nNAME=" + name + "\r\n[SOURCE]\r\nNAME=" + table +
                   "\r\n[TARGET]\r\nNAME=" + table + "_D\r\n[FIELDS]\r\nID=ID\r\n";
    if (!dependsOn.isEmpty()) {
        text += "[DEPENDENT]\r\n";
        for (const QString& d : dependsOn)
            text += d + "=" + d + "\r\n";
    }
    return text;
}

void Rows(const QString& sourceDsn, const QString& destDsn, const QString& table, int n) {
    ExecOn(sourceDsn, "create table " + table + " (ID integer)");
    QString inserts;
    for (int i = 1; i <= n; ++i)
        inserts += QString("insert into %1 values (%2);").arg(table).arg(i);
    ExecOn(sourceDsn, inserts);
    ExecOn(destDsn, "create table " + table + "_D (ID integer check (ID <> 5))");
}

TEST_F(Transfer, DependentFlowsRunInOrderAndCirclesNever) {
    Connect("KelvoLite", "KelvoLite2");
    for (const char* t : {"TA", "TB", "TC", "TD", "TE"})
        Rows("KelvoLite", "KelvoLite2", t, 2);
    Flow("A", Simple("A", "TA", {"C"}));
    Flow("B", Simple("B", "TB"));
    Flow("C", Simple("C", "TC"));
    Flow("D", Simple("D", "TD", {"E"}));
    Flow("E", Simple("E", "TE", {"D"}));
    summary = true;
    TScriptedAnswerer answers;
    answers.AnswerMessage(mrOk);
    Run({"A", "B", "C", "D", "E"}, false);
    EXPECT_EQ(LogLines(), QStringList({"B Transfered: 2 Failed: 0", "C Transfered: 2 Failed: 0",
                                       "A Transfered: 2 Failed: 0"}));
    EXPECT_EQ(answers.AskedTexts(), QStringList{"Error transfering data. Succesfuly transfered 3 tables."});
    EXPECT_EQ(answers.Asked()[0].type, mtError);
    EXPECT_EQ(Count("DBDest", "TD_D"), 0);

    // "Start flow" on a flow with a dependency: nothing runs, the window never shows.
    answers.AnswerMessage(mrOk);
    bool inserted = false;
    Run({"A"}, false, [&](TFTransfer&) { inserted = true; });
    EXPECT_FALSE(inserted);
    EXPECT_EQ(answers.AskedTexts().last(), "Error transfering data. Succesfuly transfered 0 tables.");
    QString next;
    EXPECT_TRUE(TTransferRun::NextFlow({"A", "B", "C"}, {"b"}, next));
    EXPECT_EQ(next, "C");
}

TEST_F(Transfer, SkipEndsTheFlowAndCancelEndsTheRun) {
    Connect("KelvoLite", "KelvoLite2");
    Rows("KelvoLite", "KelvoLite2", "TA", 10);
    Rows("KelvoLite", "KelvoLite2", "TB", 10);
    Flow("A", Simple("A", "TA"));
    Flow("B", Simple("B", "TB", {"A"}));
    int rows = 0;
    Run({"B", "A"}, false, [&](TFTransfer& w) {
        if (++rows == 3)
            w.findChild<QPushButton*>("BSkip")->click();
    });
    // A was skipped after its third row, counts as transferred, and B ran after it.
    EXPECT_EQ(LogLines(), QStringList({"A Transfered: 3 Failed: 0", "B Transfered: 9 Failed: 1"}));
    EXPECT_EQ(Count("DBDest", "TA_D"), 3);

    summary = true; // a cancelled run shows no summary
    rows = 0;
    Run({"A", "B"}, false, [&](TFTransfer& w) {
        if (++rows == 2)
            w.findChild<QPushButton*>("BitBtn1")->click();
    });
    EXPECT_EQ(LogLines().mid(2), QStringList({"A User canceled. Transfered: 2 Failed: 0"}));
    EXPECT_EQ(Count("DBDest", "TB_D"), 9);

    // Closing the window during the run counts as Cancel.
    rows = 0;
    Run({"A"}, false, [&](TFTransfer& w) {
        if (++rows == 4)
            w.close();
    });
    EXPECT_EQ(LogLines().last(), "A User canceled. Transfered: 4 Failed: 0");
}

// Skip in the middle of a batch sends what was composed and ends the flow as row by row does. Cancel
// ends the run at once: the INSERT on its way counts as its answer says (here it fails, as row 5
// breaks the check) and what was never sent counts as not read, so the log, the table and
// FailedData.sql agree.
TEST_P(TransferOn, SkipAndCancelInTheMiddleOfABatch) {
    Rows("KelvoLite", destDsn_, "TA", 10);
    Flow("A", Simple("A", "TA"));
    batchRows = 3;
    int rows = 0;
    Run({"A"}, false, [&](TFTransfer& w) {
        if (++rows == 7)
            w.findChild<QPushButton*>("BSkip")->click();
    });
    EXPECT_EQ(LogLines(), QStringList({"A Transfered: 6 Failed: 1"}));
    EXPECT_EQ(QueryRows("DBDest", "select ID from TA_D order by ID"),
              QStringList({"1", "2", "3", "4", "6", "7"}));

    ExecOn(destDsn_, "delete from TA_D");
    QFile::remove(dir.FilePath("FailedData.sql"));
    rows = 0;
    Run({"A"}, false, [&](TFTransfer& w) {
        if (++rows == 7)
            w.findChild<QPushButton*>("BitBtn1")->click();
    });
    EXPECT_EQ(LogLines().last(), "A User canceled. Transfered: 3 Failed: 0");
    EXPECT_EQ(QueryRows("DBDest", "select ID from TA_D order by ID"), QStringList({"1", "2", "3"}));
    EXPECT_FALSE(QFile::exists(dir.FilePath("FailedData.sql")));
}

// A source that fails in the middle of its rows (SQLite's integer overflow at row 30) ends the run there
// as row by row does, when its rows are read ahead for batches too: the rows before it land, none after.
TEST_P(TransferOn, ASourceFailingMidwayEndsTheRunAtThatRowInBatchesToo) {
    Rows("KelvoLite", destDsn_, "TS", 40);
    Flow("S", "[DATA]\r\nNAME=S\r\nSQL=Y\r\n[SOURCE]\r\nNAME=select ID, case when ID = 30 then "
              "abs(-9223372036854775808) else ID end as V from TS\r\n[TARGET]\r\nNAME=TS_D\r\n"
              "[FIELDS]\r\nID=ID\r\n");
    std::map<int, QStringList> outcomes;
    for (int batch : {1, 10}) {
        ExecOn(destDsn_, "delete from TS_D");
        QFile::remove(dir.FilePath("Transfer.log"));
        batchRows = batch;
        QString error;
        try {
            Run({"S"}, false);
        } catch (const std::exception& e) {
            error = e.what();
        }
        EXPECT_TRUE(error.contains("integer overflow")) << error.toStdString();
        outcomes[batch] = QueryRows("DBDest", "select count(*), max(ID) from TS_D") + LogLines();
    }
    // Row 5 breaks the check; the flow's line counts the 29 rows read.
    EXPECT_EQ(outcomes[1], QStringList({"28|29", "S Ended by an error. Transfered: 28 Failed: 1"}));
    EXPECT_EQ(outcomes[10], outcomes[1]);
}

// A batch ends at its byte cap before its row count: three rows of 300 000 characters go in two INSERTs.
// Rows 1-3 fill the byte cap; row 5's value is too large for a statement's text, so it goes alone, after
// row 4, bound to its INSERT, and still stands whole in the statement log.
TEST_F(Transfer, ABatchEndsAtItsByteCap) {
    Connect("KelvoLite", "KelvoLite2");
    for (const char* dsn : {"KelvoLite", "KelvoLite2"})
        ExecOn(dsn, "create table BIG (ID integer, V text)");
    ExecOn("KelvoLite", "insert into BIG with recursive N(I) as (select 1 union all select I + 1 from N "
                        "where I < 5) select I, "
                        "printf('%.*c', case I when 5 then 300000 else 200000 end, 'x') from N");
    Flow("B",
         "[DATA]\r\nNAME=B\r\n[SOURCE]\r\nNAME=BIG\r\n[TARGET]\r\nNAME=BIG\r\n[FIELDS]\r\nID=ID\r\nV=V\r\n");
    batchRows = 10;
    Run({"B"}, false);
    EXPECT_EQ(QueryRows("DBDest", "select ID, length(V) from BIG order by ID"),
              QStringList({"1|200000", "2|200000", "3|200000", "4|200000", "5|300000"}));
    const QString log = QString::fromUtf8(dir.ReadFile("Log/Modify.log"));
    EXPECT_EQ(log.count("Insert into"), 3);
    EXPECT_TRUE(log.endsWith("(5, '" + QString(300000, 'x') + "') \r\n;\r\n\r\n"));
}

TEST_F(Transfer, StopOnErrorAsksAfterEachFailure) {
    Connect("KelvoLite", "KelvoLite2");
    Rows("KelvoLite", "KelvoLite2", "TA", 8);
    ExecOn("KelvoLite", "insert into TA values (5)"); // two rows break the check constraint
    Flow("A", Simple("A", "TA"));
    stopOnError = true;
    {
        TScriptedAnswerer answers;
        answers.AnswerMessage(mrYes).AnswerMessage(mrYes);
        Run({"A"}, false);
        ASSERT_EQ(answers.Asked().size(), 2u);
        EXPECT_TRUE(answers.Asked()[0].text.startsWith("Failed to transfer record.\rMessage: "));
        EXPECT_TRUE(answers.Asked()[0].text.endsWith("\rContinue?"));
        EXPECT_EQ(answers.Asked()[0].type, mtConfirmation);
    }
    EXPECT_EQ(LogLines(), QStringList({"A Transfered: 7 Failed: 2"}));
    {
        TScriptedAnswerer answers;
        answers.AnswerMessage(mrNo);
        Run({"A"}, false);
    }
    EXPECT_EQ(LogLines().last(),
              "A Stopped after a failed record. Transfered: 4 Failed: 1"); // No ends the run
    EXPECT_EQ(Count("DBDest", "TA_D"), 7 + 4);
    EXPECT_EQ(QString::fromUtf8(dir.ReadFile("FailedData.sql")).count("\r\n;\r\n"), 3);
}

TEST_P(TransferOn, EveryRowReadIsInTheDestinationOrInFailedData) {
    ExecOn("KelvoLite", "create table TA (ID integer, NAME varchar(30))");
    QString inserts;
    for (int i = 1; i <= 40; ++i)
        inserts += QString("insert into TA values (%1, '%2');").arg(i % 13).arg(i % 7 ? "ok" : "bad''s");
    ExecOn("KelvoLite", inserts);
    ExecOn(destDsn_, "create table TA_D (ID integer primary key, NAME varchar(30) check (NAME <> 'bad''s'))");
    Flow("A", "[DATA]\r\nNAME=A\r\n[SOURCE]\r\nNAME=TA\r\n[TARGET]\r\nNAME=TA_D\r\n[FIELDS]\r\nID=ID\r\n"
              "NAME=NAME\r\n");
    Run({"A"}, false);
    const int failed = int(QString::fromUtf8(dir.ReadFile("FailedData.sql")).count("\r\n;\r\n"));
    EXPECT_GT(failed, 0);
    EXPECT_EQ(Count("DBDest", "TA_D") + failed, 40);
    EXPECT_EQ(LogLines(), QStringList{QString("A Transfered: %1 Failed: %2").arg(40 - failed).arg(failed)});
}

TEST_F(Transfer, NullsIntoEveryDestinationClass) {
    Connect("KelvoLite", "KelvoLite2");
    ExecOn("KelvoLite",
           "create table SRC (S varchar(5), F float, B boolean);insert into SRC values (NULL, NULL, NULL);"
           "create table DST (CI integer, CF integer, CB boolean, CD float, CDT date, CT time, "
           "CS varchar(5), CC char(3), CL bigint, CM text)");
    Flow("N",
         "[DATA]\r\nNAME=N\r\n[SOURCE]\r\nNAME=SRC\r\n[TARGET]\r\nNAME=DST\r\n[FIELDS]\r\nCI=S\r\nCF=F\r\n"
         "CB=B\r\nCD=F\r\nCDT=S\r\nCT=S\r\nCS=S\r\nCC=S\r\nCL=S\r\nCM=S\r\nMISSING=S\r\n");
    TScriptedAnswerer answers;
    answers.AnswerSave(dir.FilePath("n.sql"));
    Run({"N"}, true);
    EXPECT_EQ(dir.ReadFile("n.sql"),
              Block({"Insert into DST ", "   (CI, CF, CB, CD, CDT, CT, CS, CC, CL, CM)", "values ",
                     "(NULL, 0, 0, 0.0000, NULL, NULL, NULL, NULL, NULL, NULL) "}));
}

TEST_F(Transfer, AMappingToNoSourceColumnEndsTheRunWithAMessage) {
    Connect("KelvoLite", "KelvoLite2");
    Rows("KelvoLite", "KelvoLite2", "TA", 2);
    Flow("A", "[DATA]\r\nNAME=A\r\n[SOURCE]\r\nNAME=TA\r\n[TARGET]\r\nNAME=TA_D\r\n[FIELDS]\r\nID=NOPE\r\n");
    try {
        Run({"A"}, false);
        ADD_FAILURE() << "the run must end with an error";
    } catch (const EKelvoError& e) {
        EXPECT_EQ(e.Message(),
                  "Flow A: the destination column ID is mapped to NOPE, which is not a column of the "
                  "source.");
    }
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_FALSE(TFTransfer::RunActive());
    EXPECT_EQ(LogLines(), QStringList{"A Ended by an error. Transfered: 0 Failed: 0"});
}

TEST_F(Transfer, EstimatesEveryHundredRowsAndTimesWrapAfterADay) {
    Connect("KelvoLite", "KelvoLite2");
    Rows("KelvoLite", "KelvoLite2", "TA", 250);
    Flow("A", Simple("A", "TA"));
    double clock = 45000.0; // a day count; each row takes one second
    SetClockForTests([&] { return clock; });
    QStringList estimates;
    int rows = 0;
    Run({"A"}, false, [&](TFTransfer& w) {
        // The real one-second timer would count the estimate down on a slow machine: the test calls it.
        w.findChild<QTimer*>("Timer1")->stop();
        clock += 1.0 / 86400;
        ++rows;
        if (rows == 101 || rows == 201 || rows == 250)
            estimates << w.findChild<QLabel*>("LRemTime")->text();
        if (rows == 2)
            estimates << w.findChild<QLabel*>("LRecords")->text() + " " +
                             w.findChild<QLabel*>("LPercTable")->text();
        if (rows == 120) {
            clock += 1.0; // a day passes for the timer only
            w.Timer1Timer();
            estimates << w.findChild<QLabel*>("LTime")->text() + " " +
                             w.findChild<QLabel*>("LRemTime")->text();
            clock -= 1.0;
        }
    });
    SetClockForTests({});
    EXPECT_EQ(estimates,
              QStringList({"Record 1/250 0%", "00:02:30", "00:02:00 00:00:00", "00:00:50", "00:00:50"}));
}

// In batches the record label is formatted only when the window shows it and at the server's answers:
// it still moves at every batch, and never back.
TEST_F(Transfer, InBatchesTheRecordLabelMovesAtEveryBatch) {
    Connect("KelvoLite", "KelvoLite2");
    Rows("KelvoLite", "KelvoLite2", "TA", 45);
    Flow("A", Simple("A", "TA"));
    batchRows = 10;
    QList<int> shown;
    Run({"A"}, false, [&](TFTransfer& w) {
        const int record =
            w.findChild<QLabel*>("LRecords")->text().section(' ', 1).section('/', 0, 0).toInt();
        if (shown.isEmpty() || shown.last() != record)
            shown << record;
    });
    EXPECT_EQ(Count("DBDest", "TA_D"), 44);     // row 5 breaks the check
    EXPECT_GE(shown.size(), 4) << shown.size(); // the first label and one per answer before the last row
    EXPECT_TRUE(std::is_sorted(shown.begin(), shown.end()));
}

TEST_F(Transfer, TheBarsAndTheRateFollowTheRun) {
    Connect("KelvoLite", "KelvoLite2");
    Rows("KelvoLite", "KelvoLite2", "TA", 4);
    Rows("KelvoLite", "KelvoLite2", "TB", 4);
    Flow("A", Simple("A", "TA"));
    // A source statement is not counted: its bar is busy.
    Flow("B", QString(Simple("B", "TB"))
                  .replace("NAME=TB\r\n", "NAME=select ID from TB\r\n")
                  .replace("NAME=B\r\n", "NAME=B\r\nSQL=Y\r\n"));
    double clock = 45000.0; // each row takes a quarter of a second: two rows read at the third, 3 a second
    SetClockForTests([&] { return clock; });
    QStringList seen;
    int rows = 0;
    Run({"A", "B"}, false, [&](TFTransfer& w) {
        w.findChild<QTimer*>("Timer1")->stop();
        clock += 0.25 / 86400;
        if (++rows % 4 != 3)
            return;
        w.Timer1Timer();
        const auto* flow = w.findChild<QProgressBar*>("PBFlow");
        const auto* run = w.findChild<QProgressBar*>("PBRun");
        seen << QString("flow %1 run %2/%3 %4")
                    .arg(flow->maximum() == 0 ? "busy"
                                              : QString("%1/%2").arg(flow->value()).arg(flow->maximum()))
                    .arg(run->value())
                    .arg(run->maximum())
                    .arg(w.findChild<QLabel*>("LRate")->text());
    });
    SetClockForTests({});
    EXPECT_EQ(seen, QStringList({"flow 500/1000 run 0/2 3 rows/s", "flow busy run 1/2 3 rows/s"}));
}

// Every statement of an export file, as the blocks hold them.
QStringList ExportStatements(const QByteArray& file) {
    QStringList statements;
    for (const QString& block : QString::fromUtf8(file).split(";\r\n\r\n", Qt::SkipEmptyParts))
        statements << QString(block).replace("\r\n", "\n").trimmed();
    return statements;
}

TEST_F(Transfer, ScriptingAndDirectRunsOfTheSameFlowsGiveTheSameRows) {
    Connect("KelvoLite", "KelvoLite2");
    ExecOn("KelvoLite", "create table SRC (CODE varchar(10), NAME varchar(20), AMOUNT float, DAY date);"
                        "insert into SRC values ('a', 'O''Neil', 12.345, '2024-02-29');"
                        "insert into SRC values ('B', 'He said \"hi\"', -1, '1850-06-01');"
                        "insert into SRC values ('zz', NULL, NULL, NULL);"
                        "insert into SRC values ('b', 'ČŠŽ a long name', 0.5, '2079-01-02')");
    const QString dst = "create table DST (ID integer, CODE varchar(3), KIND varchar(10), NAME varchar(8), "
                        "AMOUNT numeric(10,2), DAY date, FIRM varchar(10));"
                        "insert into DST (ID, KIND) values (100, 'seed')";
    ExecOn("KelvoLite", dst); // scripting mode takes the destination's structure from the source
    ExecOn("KelvoLite2", dst);
    dir.WriteFile("Files/KINDS.ini", "[DATA]\r\nNAME=KINDS\r\nTYPE=S\r\nDEFAULT=other\r\n[TRANSLATIONS]\r\n"
                                     "A=first\r\nB=second\r\n");
    Flow("G",
         "[DATA]\r\nNAME=G\r\nSQL=N\r\n[SOURCE]\r\nNAME=SRC\r\n[TARGET]\r\nNAME=DST\r\n[FIELDS]\r\n"
         "ID=CODE\r\nCODE=CODE\r\nKIND=CODE\r\nNAME=NAME\r\nAMOUNT=AMOUNT\r\nDAY=DAY\r\nFIRM=CONST(CK)\r\n"
         "[TRANS]\r\nID=GEN_ID\r\nKIND=KINDS\r\n");
    constants = {"CK=Kelvo d.o.o."};
    SetRegionalLocaleForTests(QLocale("sl_SI"));
    // A generated identifier reads the rows inserted before it: the flow goes row by row whatever the
    // batch size (one INSERT would give every row the same identifier).
    batchRows = 1000;

    TScriptedAnswerer answers;
    answers.AnswerSave(dir.FilePath("g.sql"));
    Run({"G"}, true);
    const QStringList statements = ExportStatements(dir.ReadFile("g.sql"));
    ASSERT_EQ(statements.size(), 4);
    EXPECT_EQ(statements[0].toStdString(),
              "Insert into DST \n   (ID, CODE, KIND, NAME, AMOUNT, DAY, FIRM)\nvalues \n"
              "((SELECT COALESCE(MAX(ID), 0)+1 FROM DST), 'a', 'first', 'O''Neil', 12.3450, "
              "'2024-02-29', 'Kelvo d.o.')");
    Run({"G"}, false);
    EXPECT_EQ(LogLines(), QStringList({"G Transfered: 4 Failed: 0", "G Transfered: 4 Failed: 0"}));

    // The export file replayed on a copy of the destination gives what the direct run wrote.
    for (const QString& statement : statements)
        ExecOn("KelvoLite", statement);
    const QString all = "select ID, CODE, KIND, NAME, AMOUNT, DAY, FIRM from DST order by ID";
    const QStringList direct = QueryRows("DBDest", all);
    EXPECT_EQ(QueryRows("DBSource", all), direct);
    ASSERT_EQ(direct.size(), 5);
    EXPECT_EQ(direct.join('\n').toStdString(),
              "100|NULL|seed|NULL|NULL|NULL|NULL\n"
              "101|a|first|O'Neil|12,345|29. 02. 2024|Kelvo d.o.\n"
              "102|B|second|He said|-1|1. 06. 1950|Kelvo d.o.\n" // the folded century; the cut, trimmed
              "103|zz|other|NULL|0|NULL|Kelvo d.o.\n"            // a float NULL reads as zero
              "104|b|second|ČŠŽ a lo|0,5|2. 01. 1979|Kelvo d.o.");
    ResetRegionalLocaleForTests();
}

// Source and destination on the engine (SQLite: two files, as a reader there keeps a writer waiting).
void ConnectOnEngine(Transfer& t, TEngine engine) {
    const QString dsn = Engines::Dsn(engine);
    t.Connect(engine == TEngine::SQLite ? "KelvoLite" : dsn, dsn);
}

QByteArray Sha1(const QByteArray& bytes) {
    return QCryptographicHash::hash(bytes, QCryptographicHash::Sha1).toHex();
}

// Texts (characters) and bytes of every size arrive whole in direct mode, and the export file holds
// each one's whole literal; an empty value enters as NULL.
TEST_P(TransferOn, ValuesOfEverySizeArriveWhole) {
    const TEngine engine = GetParam();
    ConnectOnEngine(*this, engine);
    const bool maria = engine == TEngine::MariaDB;
    const QString blob = maria ? "longblob" : Engines::Type(engine, "blob");
    for (TDatabase* db : {source.get(), dest.get()})
        for (const char* table : {"BIG", "BIG_D"})
            if (db == source.get() || engine == TEngine::SQLite)
                db->ExecDirect(QString("create table %1 (ID integer, T %2, B %3)")
                                   .arg(table, maria ? "longtext" : "text", blob));
    const int sizes[] = {0, 1, 65536, 5 << 20};
    QStringList texts, hexes;
    for (int i = 0; i < 4; ++i) { // a text and bytes apart: MariaDB takes statements up to 16 MB
        const int n = sizes[i];
        texts << (n == 1 ? QString("x") : QString("ač'😀").repeated(n / 4));
        QByteArray bytes(n, Qt::Uninitialized);
        for (int b = 0; b < n; ++b)
            bytes[b] = char(b * 7);
        hexes << QString::fromLatin1(bytes.toHex().toUpper());
        source->ExecDirect(QString("insert into BIG values (%1, '%2', NULL)")
                               .arg(i)
                               .arg(QString(texts[i]).replace("'", "''")));
        source->ExecDirect(QString("insert into BIG values (%1, NULL, %2)")
                               .arg(10 + i)
                               .arg(Engines::BlobLiteral(engine, bytes)));
    }
    Flow("BIG", "[SOURCE]\r\nNAME=BIG\r\n[TARGET]\r\nNAME=BIG_D\r\n[FIELDS]\r\nID=ID\r\nT=T\r\nB=B\r\n");
    Run({"BIG"}, false);
    EXPECT_FALSE(QFile::exists(dir.FilePath("FailedData.sql")))
        << dir.ReadFile("FailedData.sql").left(300).data();
    TQuery q;
    q.DatabaseName = "DBDest";
    q.SQL << "select ID, T, B from BIG_D order by ID";
    QStringList arrived;
    for (q.Open(); !q.Eof(); q.Next()) {
        const int id = int(q.Fields(0).AsInteger());
        const TField& value = q.Fields(id < 10 ? 1 : 2);
        const QString expected = id < 10 ? texts[id] : hexes[id - 10];
        arrived << QString("%1: %2").arg(id).arg(value.IsNull() ? "NULL" : Sha1(value.RawText().toUtf8()));
        EXPECT_EQ(value.IsNull() ? "NULL" : Sha1(value.RawText().toUtf8()),
                  expected.isEmpty() ? "NULL" : Sha1(expected.toUtf8()))
            << id;
    }
    EXPECT_EQ(arrived.size(), 8);

    TScriptedAnswerer answers;
    answers.AnswerSave(dir.FilePath("big.sql"));
    Run({"BIG"}, true);
    QFile exported(dir.FilePath("big.sql"));
    ASSERT_TRUE(exported.open(QIODevice::ReadOnly));
    const QByteArray file = exported.readAll();
    for (int i = 1; i < 4; ++i) {
        const QString binary =
            engine == TEngine::PostgreSQL ? "decode('" + hexes[i] + "','hex')" : "X'" + hexes[i] + "'";
        EXPECT_TRUE(file.contains(("'" + QString(texts[i]).replace("'", "''") + "'").toUtf8())) << sizes[i];
        EXPECT_TRUE(file.contains(binary.toUtf8())) << sizes[i];
    }
}

// A text holding a NUL character fails its row with the reason, never arriving cut; bytes holding NULs
// arrive whole. PostgreSQL's texts hold no NUL; the SQLite driver keeps each text as a C string, so a text
// from SQLite ends at its first NUL, as SQLite's own text functions read it.
TEST_P(TransferOn, NulCharactersAreNeverCutSilently) {
    const TEngine engine = GetParam();
    ConnectOnEngine(*this, engine);
    for (TDatabase* db : {source.get(), dest.get()})
        for (const char* table : {"NULS", "NULS_D"})
            if (db == source.get() || engine == TEngine::SQLite)
                db->ExecDirect(QString("create table %1 (ID integer, T %2, B %3)")
                                   .arg(table, Engines::Type(engine, "memo"), Engines::Type(engine, "blob")));
    source->ExecDirect("insert into NULS values (1, 'ok', " +
                       Engines::BlobLiteral(engine, QByteArray("a\0b\0", 4)) + ")");
    const struct {
        TEngine engine;
        const char* nulText;
        QStringList arrived;
    } cases[] = {
        {TEngine::SQLite, "'ab' || char(0) || 'cd'", {"1|ok|61006200", "2|ab|NULL"}},
        {TEngine::PostgreSQL, nullptr, {"1|ok|61006200"}},
        {TEngine::MariaDB, "concat('ab', char(0), 'cd')", {"1|ok|61006200"}},
    };
    const auto& c = cases[int(engine)];
    if (c.nulText)
        source->ExecDirect(QString("insert into NULS values (2, %1, NULL)").arg(c.nulText));
    Flow("N", "[SOURCE]\r\nNAME=NULS\r\n[TARGET]\r\nNAME=NULS_D\r\n[FIELDS]\r\nID=ID\r\nT=T\r\nB=B\r\n");
    Run({"N"}, false);
    EXPECT_EQ(QueryRows("DBDest", "select ID, T, B from NULS_D order by ID"), c.arrived);
    const QString failed = QString::fromUtf8(dir.ReadFile("FailedData.sql"));
    EXPECT_EQ(failed.contains("\"ab\\x00cd\" holds a NUL character"), engine == TEngine::MariaDB)
        << failed.toStdString();
}

KELVO_ON_EVERY_ENGINE(TransferOn);

} // namespace
