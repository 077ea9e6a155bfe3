#include <gtest/gtest.h>

#include "fixtures/Engines.h"
#include "fixtures/ScriptedAnswerer.h"
#include "fixtures/TestEnv.h"
#include "platform/PathWatch.h"
#include "query/Database.h"
#include "query/LangQuery.h"
#include "query/SqlLiteral.h"
#include "translations/Translate.h"

namespace {

class Translations : public ::testing::Test {
protected:
    void Translation(const QString& name, const QByteArray& type, const QByteArray& def,
                     const QByteArray& pairs) {
        dir.WriteFile("Files/" + name + ".ini", "[DATA]\r\nNAME=" + name.toUtf8() + "\r\nTYPE=" + type +
                                                    "\r\nDEFAULT=" + def + "\r\n[TRANSLATIONS]\r\n" + pairs);
    }
    TTempProgramDir dir;
};

TEST_F(Translations, StaticPairsAreFoundTrimmedAndWithoutRegardToCase) {
    Translation("KINDS", "S", "X", "ABC=1\r\n  b  = 2 \r\nEMPTY=\r\nabc=later\r\nEQ=a=b\r\n");
    TLangQuery q; // a static translation never touches the database
    EXPECT_EQ(TranslateValue("KINDS", "abc", q), "1");
    EXPECT_EQ(TranslateValue("kinds", "  b ", q), "2");
    EXPECT_EQ(TranslateValue("KINDS", "EMPTY", q), "X"); // empty target gives the default
    EXPECT_EQ(TranslateValue("KINDS", "missing", q), "X");
    EXPECT_EQ(TranslateValue("KINDS", "EQ", q), "a=b");
    EXPECT_EQ(TranslateValue("GEN_ID", "anything", q), "(SELECT COALESCE(MAX(%s), 0)+1 FROM %s)");
    EXPECT_FALSE(dir.ReadFile("Files/GEN_ID.ini").size()); // never read as a file
}

// A file rewritten at once keeps its size and, within the file clock's tick, its times: it is still
// read anew, with the kernel's reports and with the stat that stands in where there are none.
TEST_F(Translations, AFileRewrittenRightAfterItsReadingIsReadAnew) {
    TLangQuery q;
    for (bool watching : {true, false}) {
        SetPathWatchingForTests(watching);
        const QByteArray name = watching ? "W" : "S";
        for (const char* value : {"1", "2", "3"}) {
            Translation(name, "S", "X", QByteArray("K=") + value + "\r\n");
            EXPECT_EQ(TranslateValue(name, "K", q), value) << watching;
        }
    }
    SetPathWatchingForTests(true);
}

TEST_F(Translations, DecimalsAlwaysUseAPointAndFourPlaces) {
    EXPECT_EQ(FormatDecimal(1234.5), "1234.5000");
    EXPECT_EQ(FormatDecimal(7), "7.0000");
    EXPECT_EQ(FormatDecimal(-2.25), "-2.2500");
    EXPECT_EQ(FormatDecimal(0.00004), "0.0000");
    EXPECT_EQ(FormatDecimal(-0.00004), "0.0000");
}

void ReferenceLookups(const QString& dsn) {
    ExecOn(dsn, "create table PARTNERS (ID integer, CODE varchar(20), NAME varchar(40), RATE numeric(10,2));"
                "insert into PARTNERS values (17, 'K1', 'Kovač', 3.5);"
                "insert into PARTNERS values (18, 'O''N', 'O''Neil', NULL)");
    auto db = OpenTestDatabase(dsn, "DBDest");
    TTempProgramDir dir;
    auto write = [&](const QString& name, const QByteArray& type, const QByteArray& statement) {
        dir.WriteFile("Files/" + name + ".ini", "[DATA]\r\nTYPE=" + type +
                                                    "\r\nDEFAULT=none\r\n[TRANSLATIONS]\r\n"
                                                    "NAME=" +
                                                    statement + "\r\nIGNORED=select 1\r\n");
    };
    TLangQuery q;
    q.DatabaseName = "DBDest";
    write("BYID", "R", "select NAME from PARTNERS where ID = SOURCE");
    EXPECT_EQ(TranslateValue("BYID", "17", q), "Kovač");
    EXPECT_EQ(TranslateValue("BYID", "99", q), "none"); // no row
    EXPECT_EQ(TranslateValue("BYID", "", q), "none");   // nothing runs for an empty value
    write("BYCODE", "r", "select NAME from PARTNERS where CODE = 'SOURCE'");
    EXPECT_EQ(TranslateValue("BYCODE", "K1", q), "Kovač"); // any type but S is a reference
    // An apostrophe in the source value stays inside the literal.
    EXPECT_EQ(TranslateValue("BYCODE", "O'N", q), "O'Neil");
    {
        TScriptedAnswerer answers; // an injection attempt is just a value that matches nothing
        EXPECT_EQ(TranslateValue("BYCODE", "x' or '1'='1", q), "none");
    }
    write("RATE", "R", "select RATE from PARTNERS where ID = SOURCE");
    EXPECT_EQ(TranslateValue("RATE", "17", q), "3.5000");
    EXPECT_EQ(TranslateValue("RATE", "18", q), "none"); // NULL gives the default
    write("LOWER", "R", "select NAME from PARTNERS where ID = source");
    {
        TScriptedAnswerer answers; // "source" in lower case is not replaced: the statement fails
        answers.AnswerPlain();
        EXPECT_EQ(TranslateValue("LOWER", "17", q), "");
        ASSERT_EQ(answers.Asked().size(), 1u);
        EXPECT_TRUE(answers.Asked()[0].text.startsWith("select NAME from PARTNERS where ID = source ("));
        EXPECT_TRUE(answers.Asked()[0].text.endsWith(")"));
    }
    // The next lookup after a failure works again.
    EXPECT_EQ(TranslateValue("BYID", "17", q), "Kovač");
    {
        TScriptedAnswerer answers; // missing file: a message and an empty value, not the default
        answers.AnswerPlain();
        EXPECT_EQ(TranslateValue("NOFILE", "17", q), "");
        EXPECT_TRUE(answers.Asked()[0].text.startsWith(" ("));
    }
}

class ReferenceTranslations : public TEngineTest {};

TEST_P(ReferenceTranslations, LookUpTheDestination) {
    ReferenceLookups(Dsn());
}
KELVO_ON_EVERY_ENGINE(ReferenceTranslations);

} // namespace
