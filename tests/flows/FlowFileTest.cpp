#include <QDir>
#include <QFile>
#include <gtest/gtest.h>

#include "fixtures/Printers.h"
#include "fixtures/TestEnv.h"
#include "fixtures/WorkedFlow.h"
#include "flows/FlowFile.h"
#include "translations/Constants.h"
#include "platform/Errors.h"
#include "platform/IniFile.h"

namespace {

TFlowDefinition Customers() {
    TFlowDefinition flow;
    flow.Name = "CUSTOMERS";
    flow.Sql = true;
    flow.SourceLines = {"SELECT ID, NAME, KIND FROM CUST", "WHERE %FILTERPOG%"};
    flow.TargetTable = "CLIENT";
    flow.MapFieldList = {"CLIENT_ID=ID", "CLIENT_NAME=NAME", "CLIENT_KIND=KIND", "REGION=CONST(DEFREGION)"};
    flow.TransList = {"CLIENT_ID=GEN_ID", "CLIENT_KIND=KINDS"};
    flow.DependentFlows = {"REGIONS"};
    return flow;
}

class FlowFile : public ::testing::Test {
protected:
    QString FlowsIni() const { return dir.Path() + "Files/Flows.ini"; }
    TTempProgramDir dir;
};

TEST_F(FlowFile, WorkedExampleIsWrittenByteForByteAndReadBackUnchanged) {
    ASSERT_TRUE(SaveFlow(Customers(), FlowsIni()));
    const QByteArray expected = CustomersFile;
    EXPECT_EQ(dir.ReadFile("Files/CUSTOMERS.INI"), expected);
    EXPECT_EQ(IniReadString(FlowsIni(), "NAME", "CUSTOMERS", ""), "CUSTOMERS.INI");

    bool found = false;
    const TFlowDefinition back = LoadFlow("customers", FlowsIni(), &found);
    EXPECT_TRUE(found);
    EXPECT_EQ(back.Name, "CUSTOMERS");
    EXPECT_TRUE(back.Sql);
    EXPECT_EQ(back.SourceLines, QStringList{"SELECT ID, NAME, KIND FROM CUST WHERE %FILTERPOG%"});
    EXPECT_EQ(back.TargetTable, "CLIENT");
    EXPECT_EQ(back.MapFieldList, Customers().MapFieldList);
    EXPECT_EQ(back.TransList, Customers().TransList);
    EXPECT_EQ(back.DependentFlows, QStringList{"REGIONS"});

    // The transfer spells the path with a lower-case extension and finds the same file.
    const TFlowDefinition viaTransfer = ReadFlowFile(FlowTransferPath("CUSTOMERS"));
    EXPECT_EQ(viaTransfer.MapFieldList, back.MapFieldList);

    // Saving what was read writes the same bytes again.
    TFlowDefinition again = back;
    ASSERT_TRUE(SaveFlow(again, FlowsIni()));
    EXPECT_EQ(dir.ReadFile("Files/CUSTOMERS.INI"), expected);
}

TEST_F(FlowFile, EmptyListsLeaveTheirSectionsOutAndSaveDropsOnlyReplacedSections) {
    dir.WriteFile("Files/ORDERS.INI",
                  "[DATA]\r\nNAME=ORDERS\r\nOWNER=ana\r\n[TARGET]\r\nNAME=X\r\nNOTE=keep\r\n"
                  "[FIELDS]\r\nOLD=OLD\r\n[DEPENDENT]\r\nA=A\r\n");
    TFlowDefinition flow;
    flow.Name = "ORDERS";
    flow.SourceLines = {"ORDERS"};
    flow.TargetTable = "NAROCILA";
    ASSERT_TRUE(SaveFlow(flow, FlowsIni()));
    EXPECT_EQ(IniReadString(FlowSavePath("ORDERS"), "DATA", "OWNER", ""), "ana");
    EXPECT_EQ(IniReadString(FlowSavePath("ORDERS"), "TARGET", "NOTE", ""), "keep");
    const QByteArray text = dir.ReadFile("Files/ORDERS.INI");
    EXPECT_FALSE(text.contains("[FIELDS]"));
    EXPECT_FALSE(text.contains("[TRANS]"));
    EXPECT_FALSE(text.contains("[DEPENDENT]"));
    const TFlowDefinition back = LoadFlow("ORDERS", FlowsIni());
    EXPECT_FALSE(back.Sql);
    EXPECT_TRUE(back.MapFieldList.isEmpty());
    EXPECT_TRUE(back.TransList.isEmpty());
    EXPECT_TRUE(back.DependentFlows.isEmpty());
}

TEST_F(FlowFile, ReadingRulesOfTheStoredForm) {
    // Lower-case y is a table source; the key of a dependent entry decides; duplicate destinations
    // collapse to the later value on save.
    dir.WriteFile("Files/Flows.ini", "[Name]\r\nSTOCK=STOCK.INI\r\n");
    dir.WriteFile("Files/stock.ini", "[DATA]\r\nNAME=ZALOGA\r\nSQL=y\r\n[DEPENDENT]\r\nA=B\r\n");
    TFlowDefinition back = LoadFlow("STOCK", FlowsIni());
    EXPECT_EQ(back.Name, "ZALOGA"); // the stored name wins over the index key
    EXPECT_FALSE(back.Sql);
    EXPECT_EQ(back.DependentFlows, QStringList{"A"});

    back.MapFieldList = {"X=A", "Y=B", "X=C"};
    ASSERT_TRUE(SaveFlow(back, FlowsIni()));
    QStringList fields;
    IniReadSectionValues(FlowSavePath("ZALOGA"), "FIELDS", fields);
    EXPECT_EQ(fields, QStringList({"X=C", "Y=B"}));

    // A multi-line statement is stored on one line, so a "--" comment swallows the rest.
    back.SourceLines = {"select * from T -- all", "where 1=1"};
    SaveFlow(back, FlowsIni());
    EXPECT_EQ(LoadFlow("ZALOGA", FlowsIni()).SourceLines, QStringList{"select * from T -- all where 1=1"});

    // Over-long statements come back cut to 2047 characters.
    back.SourceLines = {QString(3000, 'x')};
    SaveFlow(back, FlowsIni());
    EXPECT_EQ(LoadFlow("ZALOGA", FlowsIni()).SourceLines.front().size(), 2047);
}

TEST_F(FlowFile, MissingFlowReadsEmptyAndBadNamesAreRefused) {
    bool found = true;
    const TFlowDefinition none = LoadFlow("NOWHERE", FlowsIni(), &found);
    EXPECT_FALSE(found);
    EXPECT_TRUE(none.Name.isEmpty());
    EXPECT_EQ(none.SourceLines, QStringList{QString()});
    EXPECT_FALSE(none.Sql);

    for (const QString& bad :
         QStringList{"", "   ", "A/B", "A\\B", "WHAT?", "X=Y", "[X]", " LEAD", "..", QString("A\tB")}) {
        TFlowDefinition flow = Customers();
        flow.Name = bad;
        EXPECT_THROW(SaveFlow(flow, FlowsIni()), EKelvoError) << bad.toStdString();
    }
    EXPECT_FALSE(QFile::exists(FlowsIni())); // nothing written for a refused name
    try {
        CheckFlowName("A/B");
    } catch (const EKelvoError& e) {
        EXPECT_EQ(e.Message(),
                  "The flow name \"A/B\" cannot be used as a file name: it holds the character \"/\".");
    }
    EXPECT_NO_THROW(CheckFlowName("ČRPALKE-2024 (A)"));
}

TEST_F(FlowFile, WriteIntoMissingFolderFailsWithThePath) {
    QDir(dir.Path() + "Files").removeRecursively();
    try {
        SaveFlow(Customers(), FlowsIni());
        ADD_FAILURE() << "expected a write error";
    } catch (const EKelvoError& e) {
        EXPECT_EQ(e.Message(), "Unable to write to " + dir.Path() + "Files/CUSTOMERS.INI");
    }
}

TEST(FlowExpressions, ConstFormIsRecognisedWithoutRegardToCase) {
    EXPECT_TRUE(IsConstExpression("CONST(RATE)"));
    EXPECT_TRUE(IsConstExpression("const(rate)"));
    EXPECT_FALSE(IsConstExpression("CONSTANT"));
    EXPECT_EQ(ConstIdentifier("const(rate)"), "rate");
    EXPECT_EQ(ConstIdentifier("CONST( RATE )"), " RATE ");
    EXPECT_EQ(ConstIdentifier("NAME"), "");
    EXPECT_EQ(LineName("A=B=C"), "A");
    EXPECT_EQ(LineValue("A=B=C"), "B=C");
    EXPECT_EQ(LineValue("A"), "");
}

} // namespace
