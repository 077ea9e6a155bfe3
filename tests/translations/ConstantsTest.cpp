#include <gtest/gtest.h>

#include "fixtures/ScriptedAnswerer.h"
#include "fixtures/TestEnv.h"
#include "platform/IniFile.h"
#include "translations/Constants.h"

namespace {

TEST(Constants, ResolveMatchesTheIdWithoutRegardToCaseButKeepsItsBlanks) {
    const QStringList list{"DEFREGION=SI-01", "RATE=1,5", "TAX=22"};
    EXPECT_EQ(ResolveConstant("CONST(rate)", list), "1,5");
    EXPECT_EQ(ResolveConstant("const(RATE)", list), "1,5");
    EXPECT_EQ(ResolveConstant("CONST( RATE )", list), "");
    EXPECT_EQ(ResolveConstant("CONST(MISSING)", list), "");
    EXPECT_EQ(ResolveConstant("CONST(A=B)", QStringList{"A=B=C"}), "");
    EXPECT_EQ(ResolveConstant("CONST(A)", QStringList{"A=B=C"}), "B=C");
}

TEST(Constants, SettingAnEntryReplacesAppendsOrRemovesAndKeepsTheListSorted) {
    QStringList list{"alpha=1", "RATE=1", "Zeta=9"};
    SetListEntry(list, "rate", "2");
    EXPECT_EQ(list, QStringList({"alpha=1", "rate=2", "Zeta=9"}));
    SetListEntry(list, "beta", "x=y");
    EXPECT_EQ(list, QStringList({"alpha=1", "beta=x=y", "rate=2", "Zeta=9"}));
    SetListEntry(list, "ALPHA", "");
    EXPECT_EQ(list, QStringList({"beta=x=y", "rate=2", "Zeta=9"}));
    SetListEntry(list, "gone", "");
    EXPECT_EQ(list.size(), 3);
}

TEST(Constants, NewAndEditAskThroughTheInputDialogAndWriteTheStore) {
    TTempProgramDir dir;
    const QString flowsIni = dir.Path() + "Files/Flows.ini";
    QStringList list{"RATE=1"};
    {
        TScriptedAnswerer answers;
        answers.AnswerInput(QString("rate")).AnswerInput(QString("2"));
        EXPECT_TRUE(NewConstant(list, flowsIni));
        ASSERT_EQ(answers.Asked().size(), 2u);
        EXPECT_EQ(answers.Asked()[0].caption, "Supply Constant ID");
        EXPECT_EQ(answers.Asked()[0].text, "Constant ID:");
        EXPECT_EQ(answers.Asked()[1].caption, "Supply Constant value");
        EXPECT_EQ(answers.Asked()[1].text, "Constant value:");
    }
    EXPECT_EQ(list, QStringList{"rate=2"});
    EXPECT_EQ(IniReadString(flowsIni, "CONSTANTS", "RATE", ""), "2");
    {
        TScriptedAnswerer answers;
        answers.AnswerInput(QString("ID")).AnswerInput(std::nullopt);
        EXPECT_FALSE(NewConstant(list, flowsIni));
    }
    EXPECT_EQ(list, QStringList{"rate=2"});
    EXPECT_EQ(IniReadString(flowsIni, "CONSTANTS", "ID", "absent"), "absent");

    // Edit with an empty value: the line leaves the list, the store keeps the key with no value.
    {
        TScriptedAnswerer answers;
        answers.AnswerInput(QString());
        EXPECT_TRUE(EditConstant(list, 0, flowsIni));
    }
    EXPECT_TRUE(list.isEmpty());
    QStringList stored;
    IniReadSectionValues(flowsIni, "CONSTANTS", stored);
    EXPECT_EQ(stored, QStringList{"rate="});
    EXPECT_FALSE(EditConstant(list, -1, flowsIni)); // no selection: nothing asked
}

} // namespace
