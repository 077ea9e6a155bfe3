#include <gtest/gtest.h>

#include "fixtures/Engines.h"
#include "fixtures/TestEnv.h"
#include "flows/FlowMapping.h"
#include "query/Database.h"
#include "fixtures/Printers.h"

namespace {

TMappingLists Lists(QStringList from, QStringList to) {
    TMappingLists lists;
    lists.From = std::move(from);
    lists.To = std::move(to);
    return lists;
}

TEST(FlowMapping, ButtonsAppendLinesAndTakeTheDestinationOutOfTheList) {
    TMappingLists lists =
        Lists({"ID", "NAME", "KIND"}, {"CLIENT_ID", "CLIENT_NAME", "CLIENT_KIND", "REGION"});
    // Without what a button needs nothing changes.
    EXPECT_FALSE(MapAdd(lists, -1, 0));
    EXPECT_FALSE(MapAdd(lists, 0, -1));
    EXPECT_FALSE(MapId(lists, 0, 7));
    EXPECT_FALSE(MapTranslate(lists, -1, 0, "KINDS"));
    EXPECT_FALSE(MapConstant(lists, -1, "X"));
    EXPECT_FALSE(MapRemove(lists, -1));
    EXPECT_TRUE(lists.Map.isEmpty());
    EXPECT_EQ(lists.To.size(), 4);

    EXPECT_TRUE(MapId(lists, 0, 0));
    EXPECT_TRUE(MapAdd(lists, 1, 0));
    EXPECT_TRUE(MapTranslate(lists, 2, 0, "KINDS"));
    EXPECT_TRUE(MapConstant(lists, 0, "DEFREGION"));
    EXPECT_EQ(lists.Map, QStringList({"CLIENT_ID=ID", "CLIENT_NAME=NAME", "CLIENT_KIND=KIND",
                                      "REGION=CONST(DEFREGION)"}));
    EXPECT_EQ(lists.Trans, QStringList({"CLIENT_ID=GEN_ID", "CLIENT_KIND=KINDS"}));
    EXPECT_TRUE(lists.To.isEmpty());
    EXPECT_EQ(lists.From, QStringList({"ID", "NAME", "KIND"}))
        << "a source column can feed several destinations";

    EXPECT_EQ(MappingTranslation(lists, 0), "GEN_ID");
    EXPECT_EQ(MappingTranslation(lists, 1), "");
    EXPECT_EQ(MappingTranslation(lists, 2), "KINDS");
    EXPECT_EQ(MappingTranslation(lists, -1), "");
    EXPECT_EQ(MappingTranslation(lists, 4), "");
}

TEST(FlowMapping, TranslateSetsOneEntryPerDestinationAndAnEmptyNameRemovesIt) {
    TMappingLists lists = Lists({"KIND"}, {"CK", "DK", "EK"});
    lists.Trans = {"ck=OLD", "DK=KEEP"};
    EXPECT_TRUE(MapTranslate(lists, 0, 0, "KINDS"));
    EXPECT_EQ(lists.Trans, QStringList({"CK=KINDS", "DK=KEEP"}))
        << "the entry is found without regard to case";
    EXPECT_TRUE(MapTranslate(lists, 0, 0, ""));
    EXPECT_EQ(lists.Trans, QStringList({"CK=KINDS"}));
    EXPECT_TRUE(MapTranslate(lists, 0, 0, ""));
    EXPECT_EQ(lists.Trans, QStringList({"CK=KINDS"})) << "an empty name adds nothing";
    EXPECT_EQ(lists.Map, QStringList({"CK=KIND", "DK=KIND", "EK=KIND"}));

    // A constant is written as typed, also empty, and never gets a translation entry.
    TMappingLists constants = Lists({}, {"A", "B"});
    EXPECT_TRUE(MapConstant(constants, 1, ""));
    EXPECT_TRUE(MapConstant(constants, 0, "x)y"));
    EXPECT_EQ(constants.Map, QStringList({"B=CONST()", "A=CONST(x)y)"}));
    EXPECT_TRUE(constants.Trans.isEmpty());
}

TEST(FlowMapping, AddEqualMapsSameNamesOnceEachInReverseSourceOrder) {
    TMappingLists lists = Lists({"ID", "Name", "KIND", "EXTRA", "id"}, {"name", "ID", "Kind", "OTHER", "Id"});
    EXPECT_TRUE(MapAddEqual(lists));
    // "id" (last source) takes the last matching destination "Id"; "ID" then finds the earlier "ID".
    EXPECT_EQ(lists.Map, QStringList({"Id=id", "Kind=KIND", "name=Name", "ID=ID"}));
    EXPECT_EQ(lists.To, QStringList({"OTHER"}));
    EXPECT_TRUE(lists.Trans.isEmpty());
    EXPECT_FALSE(MapAddEqual(lists)) << "nothing left to match";

    TMappingLists single = Lists({"A", "a"}, {"A"});
    EXPECT_TRUE(MapAddEqual(single));
    EXPECT_EQ(single.Map, QStringList({"A=a"})) << "each destination is mapped at most once";
}

TEST(FlowMapping, RemoveReturnsTheDestinationToTheEndAndDropsItsExactTranslationEntry) {
    TMappingLists lists = Lists({"ID", "KIND"}, {"A", "B", "C", "D"});
    ASSERT_TRUE(MapId(lists, 0, 1));             // B=ID, B=GEN_ID
    ASSERT_TRUE(MapTranslate(lists, 1, 0, "K")); // A=KIND, A=K
    lists.Trans << "a=LOWER";
    ASSERT_EQ(lists.To, QStringList({"C", "D"}));

    EXPECT_TRUE(MapRemove(lists, 0)); // B=ID
    EXPECT_EQ(lists.To, QStringList({"C", "D", "B"})) << "back at the end, not at its former place";
    EXPECT_EQ(lists.Map, QStringList({"A=KIND"}));
    EXPECT_EQ(lists.Trans, QStringList({"A=K", "a=LOWER"}));
    EXPECT_TRUE(MapRemove(lists, 0));
    EXPECT_EQ(lists.Trans, QStringList({"a=LOWER"})) << "only the entry with the exact name goes";
    EXPECT_EQ(lists.To, QStringList({"C", "D", "B", "A"}));
    EXPECT_FALSE(MapRemove(lists, 0));
}

TEST(FlowMapping, LoadedMappingsLeaveKnownDestinationsAndKeepUnknownOnes) {
    TMappingLists lists = Lists({"X"}, {"CLIENT_ID", "client_name", "REGION"});
    AppendLoadedMappings(lists, {"CLIENT_NAME=NAME", "GONE=X", "CLIENT_ID=ID"});
    EXPECT_EQ(lists.To, QStringList({"REGION"}));
    EXPECT_EQ(lists.Map, QStringList({"CLIENT_NAME=NAME", "GONE=X", "CLIENT_ID=ID"}));
}

TEST(FlowMapping, MemoLinesDropOnlyAnEmptyLastLine) {
    EXPECT_EQ(MemoLines(""), QStringList());
    EXPECT_EQ(MemoLines("CUST"), QStringList({"CUST"}));
    EXPECT_EQ(MemoLines("SELECT *\nFROM T\n"), QStringList({"SELECT *", "FROM T"}));
    EXPECT_EQ(MemoLines("A\r\n\r\n"), QStringList({"A", ""}));
    EXPECT_EQ(MemoLines("\nA"), QStringList({"", "A"}));
}

// Fills the column lists from a source on the engine and a destination on SQLite.
class FieldLists : public TEngineTest {
protected:
    void Connect(const QString& sourceDsn, const QString& destDsn) {
        TestEnv::ResetSqlite(destDsn);
        ExecOn(sourceDsn, "create table CUST (ID integer, NAME varchar(40), KIND varchar(10));"
                          "insert into CUST values (1, 'Ana', 'A')");
        ExecOn(destDsn,
               "create table CLIENT (CLIENT_ID integer, CLIENT_NAME varchar(40), REGION varchar(10))");
        sourceDb = OpenTestDatabase(sourceDsn, "FlSource");
        destDb = OpenTestDatabase(destDsn, "FlDest");
        source.SourceDatabase = "FlSource";
        source.DestDatabase = "FlDest";
        source.TargetTable = "CLIENT";
    }
    void Fill() { FillFieldLists(source, from, to); }
    void Fails() { EXPECT_THROW(Fill(), EKelvoError) << source.MemoLines.join(" | ").toStdString(); }
    static QStringList Upper(QStringList names) {
        for (QString& n : names)
            n = n.toUpper();
        return names;
    }

    void Fills() {
        // A table source.
        source.MemoLines = {"CUST"};
        Fill();
        EXPECT_EQ(Upper(from), QStringList({"ID", "NAME", "KIND"}));
        EXPECT_EQ(Upper(to), QStringList({"CLIENT_ID", "CLIENT_NAME", "REGION"}));

        // A statement over several lines; the placeholder is replaced in any letter case.
        source.Sql = true;
        source.ContractFilter = "NAME";
        source.MemoLines = {"select ID, %filterpog% as PICKED, %FilterPog%", "from CUST"};
        Fill();
        EXPECT_EQ(Upper(from), QStringList({"ID", "PICKED", "NAME"}));
        // An empty filter leaves an empty string in the placeholder's place.
        source.ContractFilter = "";
        source.MemoLines = {"SELECT KIND as K%FILTERPOG% from CUST where NAME <> '%FILTERPOG%'"};
        Fill();
        EXPECT_EQ(Upper(from), QStringList({"K"}));
        source.ContractFilter = "NAME";
        source.MemoLines = {"select ID, %filterpog% as PICKED, %FilterPog%", "from CUST"};

        // Scripting mode: the destination takes the source's columns and is not asked at all.
        source.Scripting = true;
        source.DestDatabase = "NoSuchConnection";
        Fill();
        EXPECT_EQ(to, from);
        source.Scripting = false;
        source.DestDatabase = "FlDest";

        // Only the first six characters of the first line decide.
        from = {"OLD"};
        to = {"OLD"};
        source.MemoLines = {" select * from CUST"};
        Fails();
        source.MemoLines = {"-- pick", "select * from CUST"};
        Fails();
        source.MemoLines = {};
        Fails();
        // A statement without the check box is replaced by a select from an empty table name.
        source.Sql = false;
        source.MemoLines = {"SELECT * FROM CUST"};
        Fails();
        // The check box without a statement leaves nothing to run.
        source.Sql = true;
        source.MemoLines = {"CUST"};
        Fails();
        EXPECT_EQ(from, QStringList({"OLD"})) << "a failing source leaves both lists";
        EXPECT_EQ(to, QStringList({"OLD"}));

        // A missing destination table: the source list already holds the new columns.
        source.Sql = false;
        source.TargetTable = "NO_SUCH_TABLE";
        Fails();
        EXPECT_EQ(Upper(from), QStringList({"ID", "NAME", "KIND"}));
        EXPECT_EQ(to, QStringList({"OLD"}));
    }

    TFieldListSource source;
    QStringList from, to;
    std::unique_ptr<TDatabase> sourceDb, destDb;
    TTempProgramDir dir;
};

TEST_P(FieldLists, FillFromTablesAndStatements) {
    Connect(Dsn(), "KelvoLite");
    Fills();
}
KELVO_ON_EVERY_ENGINE(FieldLists);

} // namespace
