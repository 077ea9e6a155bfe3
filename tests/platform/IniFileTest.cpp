#include <QDir>
#include <QFile>
#include <gtest/gtest.h>

#include "fixtures/TestEnv.h"
#include "platform/Errors.h"
#include "platform/IniFile.h"

namespace {

QString MessageOf(const std::function<void()>& action) {
    try {
        action();
    } catch (const EKelvoError& e) {
        return e.Message();
    }
    return "(no error)";
}

class IniFile : public ::testing::Test {
protected:
    QString Ini() const { return dir.Path() + "Files/Flows.ini"; }
    QByteArray Text() const { return dir.ReadFile("Files/Flows.ini"); }
    QStringList FilesInFolder() const {
        return QDir(dir.Path() + "Files").entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
    }
    TTempProgramDir dir;
};

TEST_F(IniFile, ReadsValuesByTheProfileRules) {
    dir.WriteFile("Files/Flows.ini", "top=before any section\r\n"
                                     "[Data]\r\n"
                                     "  Name  =  \"quoted value\"  \r\n"
                                     "Single='x'\r\n"
                                     "Mismatch=\"x'\r\n"
                                     "Lone=\"\r\n"
                                     "Inner=a \"b\" c\r\n"
                                     "Eq=a=b\r\n"
                                     "Empty=   \r\n"
                                     "; comment=not a key\r\n"
                                     "no equals sign\r\n"
                                     "dup=first\r\n"
                                     "DUP=second\r\n"
                                     "[Other]\r\n"
                                     "Name=other\r\n");
    EXPECT_EQ(IniReadString(Ini(), "DATA", "name", "-"), "quoted value");
    EXPECT_EQ(IniReadString(Ini(), "data", "SINGLE", "-"), "x");
    EXPECT_EQ(IniReadString(Ini(), "Data", "Mismatch", "-"), "\"x'");
    EXPECT_EQ(IniReadString(Ini(), "Data", "Lone", "-"), "\"");
    EXPECT_EQ(IniReadString(Ini(), "Data", "Inner", "-"), "a \"b\" c");
    EXPECT_EQ(IniReadString(Ini(), "Data", "Eq", "-"), "a=b");
    EXPECT_EQ(IniReadString(Ini(), "Data", "Empty", "-"), "");
    EXPECT_EQ(IniReadString(Ini(), "Data", "dup", "-"), "first");
    EXPECT_EQ(IniReadString(Ini(), "Other", "Name", "-"), "other");
    // Comments, lines without "=" and lines before the first section are no keys of any section.
    EXPECT_EQ(IniReadString(Ini(), "Data", "; comment", "-"), "-");
    EXPECT_EQ(IniReadString(Ini(), "Data", "top", "-"), "-");
    EXPECT_EQ(IniReadString(Ini(), "Data", "no equals sign", "-"), "-");
    // Missing key, section and file read the default; the file name ignores case.
    EXPECT_EQ(IniReadString(Ini(), "Data", "Absent", "def"), "def");
    EXPECT_EQ(IniReadString(Ini(), "Absent", "Name", "def"), "def");
    EXPECT_EQ(IniReadString(dir.Path() + "Files/None.ini", "Data", "Name", "def"), "def");
    EXPECT_EQ(IniReadString(dir.Path() + "FILES/FLOWS.INI", "data", "name", "-"), "quoted value");

    EXPECT_EQ(IniReadSectionKeys(Ini(), "data"),
              QStringList({"Name", "Single", "Mismatch", "Lone", "Inner", "Eq", "Empty", "dup", "DUP"}));
    QStringList list{"stale"};
    IniReadSectionValues(Ini(), "DATA", list);
    EXPECT_EQ(list, QStringList({"Name=quoted value", "Single=x", "Mismatch=\"x'", "Lone=\"",
                                 "Inner=a \"b\" c", "Eq=a=b", "Empty=", "dup=first", "DUP=first"}));
    list = QStringList{"stale"};
    IniReadSectionValues(Ini(), "Absent", list);
    EXPECT_TRUE(list.isEmpty());
    list = QStringList{"stale"};
    IniReadSectionValues(dir.Path() + "Files/None.ini", "Data", list);
    EXPECT_TRUE(list.isEmpty());
    EXPECT_FALSE(QFileInfo::exists(dir.Path() + "Files/None.ini"));
}

TEST_F(IniFile, ValuesAreCutTo2047Characters) {
    const QString exact(2047, 'e');
    const QString longer = QString(2047, 'l') + "TAIL";
    dir.WriteFile("Files/Flows.ini",
                  ("[S]\r\nexact=" + exact + "\r\nlong=" + longer + "\r\nquoted=\"" + exact +
                   "\"\r\nslo=" + QString(2046, 's') + QString::fromUtf8("čž") + "\r\n")
                      .toUtf8());
    EXPECT_EQ(IniReadString(Ini(), "S", "exact", ""), exact);
    EXPECT_EQ(IniReadString(Ini(), "S", "long", ""), QString(2047, 'l'));
    EXPECT_EQ(IniReadString(Ini(), "S", "quoted", ""), exact);
    EXPECT_EQ(IniReadString(Ini(), "S", "slo", ""), QString(2046, 's') + QString::fromUtf8("č"));
    QStringList list;
    IniReadSectionValues(Ini(), "S", list);
    ASSERT_EQ(list.size(), 4);
    EXPECT_EQ(list[1], "long=" + QString(2047, 'l'));
}

TEST_F(IniFile, KeyListFillsA16384ByteBudgetWithWholeNames) {
    // 1820 names of 8 characters take 1820 * 9 bytes plus the list's final zero: 16381 bytes.
    QString text = "[Big]\r\n";
    QStringList expected;
    for (int i = 0; i < 1820; ++i) {
        const QString key = QString("K%1").arg(i, 7, 10, QChar('0'));
        text += key + "=v\r\n";
        expected << key;
    }
    // Three bytes are left: a two-character name and its zero fill them exactly (one byte a letter).
    dir.WriteFile("Files/Flows.ini", (text + QString::fromUtf8("Čž=last\r\nZ=beyond\r\n")).toUtf8());
    EXPECT_EQ(IniReadSectionKeys(Ini(), "BIG"), expected + QStringList{QString::fromUtf8("Čž")});

    // A name that does not fit ends the list; a shorter one after it is not seen either.
    dir.WriteFile("Files/Flows.ini", (text + "ABC=cut\r\nZ=beyond\r\n").toUtf8());
    EXPECT_EQ(IniReadSectionKeys(Ini(), "Big"), expected);
    QStringList list;
    IniReadSectionValues(Ini(), "Big", list);
    EXPECT_EQ(list.size(), 1820);
    EXPECT_EQ(list.last(), "K0001819=v");
    // Single values are read regardless of the list budget.
    EXPECT_EQ(IniReadString(Ini(), "Big", "Z", ""), "beyond");
}

TEST_F(IniFile, WritesReplaceInPlaceAppendKeysAndSectionsAndKeepOtherLines) {
    dir.WriteFile("Files/Flows.ini", "; written by hand\r\n"
                                     "orphan line\r\n"
                                     "[Name]\r\n"
                                     "  Orders = ORDERS.INI \r\n"
                                     "junk without equals\r\n"
                                     "Cust=CUST.INI\r\n"
                                     "; trailing comment\r\n"
                                     "\r\n"
                                     "[Translation]\r\n"
                                     "T=T.ini\r\n");
    IniWriteString(Ini(), "NAME", "ORDERS", " NEW.INI");
    IniWriteString(Ini(), "name", "Parts", "PARTS.INI");
    IniWriteString(Ini(), "CONSTANTS", "FIRMA", "Kelvo d.o.o.");
    IniWriteString(Ini(), "Translation", "U", "U.ini");
    EXPECT_EQ(Text(), "; written by hand\r\n"
                      "orphan line\r\n"
                      "[Name]\r\n"
                      "Orders= NEW.INI\r\n"
                      "junk without equals\r\n"
                      "Cust=CUST.INI\r\n"
                      "Parts=PARTS.INI\r\n"
                      "; trailing comment\r\n"
                      "\r\n"
                      "[Translation]\r\n"
                      "T=T.ini\r\n"
                      "U=U.ini\r\n"
                      "[CONSTANTS]\r\n"
                      "FIRMA=Kelvo d.o.o.\r\n");
    EXPECT_EQ(IniReadString(Ini(), "Name", "orders", ""), "NEW.INI");
    EXPECT_EQ(FilesInFolder(), QStringList{"Flows.ini"});

    // A file with LF line ends keeps them; a file name in another case writes the existing file.
    dir.WriteFile("Files/unix.ini", "[A]\nx=1\n\n[B]\ny=2");
    IniWriteString(dir.Path() + "FILES/UNIX.INI", "a", "z", "3");
    EXPECT_EQ(dir.ReadFile("Files/unix.ini"), "[A]\nx=1\nz=3\n\n[B]\ny=2\n");
    EXPECT_EQ(FilesInFolder(), QStringList({"Flows.ini", "unix.ini"}));
}

TEST_F(IniFile, FirstWriteCreatesTheFileButNeverTheFolder) {
    const QString fresh = dir.Path() + "FILES/New.INI";
    IniWriteString(fresh, "GENERAL", "SCRIPTING", "N");
    EXPECT_EQ(dir.ReadFile("Files/New.INI"), "[GENERAL]\r\nSCRIPTING=N\r\n");

    const QString missing = dir.Path() + "Missing/x.ini";
    EXPECT_EQ(MessageOf([&] { IniWriteString(missing, "A", "B", "C"); }), "Unable to write to " + missing);
    EXPECT_EQ(MessageOf([&] { IniWriteSection(missing, "A", {"B=C"}); }), "Unable to write to " + missing);
    EXPECT_FALSE(QFileInfo::exists(dir.Path() + "Missing"));

    // Erasing or deleting in a missing file is no error and creates nothing.
    const QString none = dir.Path() + "Files/none.ini";
    IniEraseSection(none, "A");
    IniDeleteKey(none, "A", "B");
    IniWriteSection(none, "A", {});
    EXPECT_FALSE(QFileInfo::exists(none));
    IniEraseSection(missing, "A");
    IniDeleteKey(missing, "A", "B");
}

TEST_F(IniFile, ReadOnlyFileOrFolderRaisesAndKeepsTheFile) {
    const QByteArray original = "[A]\r\nB=old\r\n";
    dir.WriteFile("Files/Flows.ini", original);
    QFile::setPermissions(Ini(), QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther);
    const QString expected = "Unable to write to " + Ini();
    EXPECT_EQ(MessageOf([&] { IniWriteString(Ini(), "A", "B", "new"); }), expected);
    EXPECT_EQ(MessageOf([&] { IniEraseSection(Ini(), "A"); }), expected);
    EXPECT_EQ(MessageOf([&] { IniDeleteKey(Ini(), "A", "B"); }), expected);
    EXPECT_EQ(MessageOf([&] { IniWriteSection(Ini(), "A", {"B=x"}); }), expected);
    EXPECT_EQ(Text(), original);
    EXPECT_EQ(IniReadString(Ini(), "A", "B", ""), "old");
    QFile::setPermissions(Ini(), QFile::ReadOwner | QFile::WriteOwner);

    const QString folder = dir.Path() + "Files";
    QFile::setPermissions(folder, QFile::ReadOwner | QFile::ExeOwner);
    const QString fresh = folder + "/fresh.ini";
    EXPECT_EQ(MessageOf([&] { IniWriteString(fresh, "A", "B", "C"); }), "Unable to write to " + fresh);
    EXPECT_EQ(MessageOf([&] { IniWriteString(Ini(), "A", "B", "new"); }), expected);
    QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    EXPECT_FALSE(QFileInfo::exists(fresh));
    EXPECT_EQ(Text(), original);
}

TEST_F(IniFile, WriteSectionReplacesTheSectionLineByLine) {
    dir.WriteFile("Files/Flows.ini",
                  "[CONSTANTS]\r\nOLD=1\r\n[NAME]\r\nA=A.INI\r\n[constants]\r\nSTALE=2\r\n");
    IniWriteSection(Ini(), "Constants", {"A=B=C", " FIRMA = Kelvo ", "", "A=again"});
    // The erased section goes with its later duplicate; a repeated key replaces the first.
    EXPECT_EQ(Text(), "[NAME]\r\nA=A.INI\r\n[Constants]\r\nA=again\r\nFIRMA= Kelvo \r\n");
    QStringList list;
    IniReadSectionValues(Ini(), "CONSTANTS", list);
    EXPECT_EQ(list, QStringList({"A=again", "FIRMA=Kelvo"}));

    IniWriteSection(Ini(), "T", {"X=1=2"});
    EXPECT_EQ(IniReadString(Ini(), "t", "x", ""), "1=2");

    // A line that is not KEY=VALUE is refused before the section is touched.
    const QByteArray before = Text();
    EXPECT_THROW(IniWriteSection(Ini(), "T", {"Y=1", "no equals"}), EKelvoError);
    EXPECT_THROW(IniWriteSection(Ini(), "T", {"=value"}), EKelvoError);
    EXPECT_EQ(Text(), before);

    IniWriteSection(Ini(), "constants", {});
    EXPECT_EQ(Text(), "[NAME]\r\nA=A.INI\r\n[T]\r\nX=1=2\r\n");
}

TEST_F(IniFile, EraseAndDeleteRemoveWhatReadsWouldSee) {
    dir.WriteFile("Files/Flows.ini", "[A]\r\nk=1\r\nK=2\r\nj=3\r\n; about B\r\n[B]\r\nk=4\r\n");
    IniDeleteKey(Ini(), "a", "K");
    EXPECT_EQ(Text(), "[A]\r\nj=3\r\n; about B\r\n[B]\r\nk=4\r\n");
    EXPECT_EQ(IniReadString(Ini(), "A", "k", "gone"), "gone");
    IniDeleteKey(Ini(), "A", "absent");
    IniDeleteKey(Ini(), "Absent", "k");
    IniEraseSection(Ini(), "absent");
    EXPECT_EQ(Text(), "[A]\r\nj=3\r\n; about B\r\n[B]\r\nk=4\r\n");
    IniEraseSection(Ini(), "a");
    EXPECT_EQ(Text(), "[B]\r\nk=4\r\n");
}

TEST_F(IniFile, ReadsCodePage1250AndRewritesAsUtf8) {
    dir.WriteFile("Files/Flows.ini", "[Konstante]\r\nIME=\xE8\x9A\x9E \xC8\x8A\x8E\r\n\xC8RKE=da\r\n");
    EXPECT_EQ(IniReadString(Ini(), "KONSTANTE", "ime", ""), QString::fromUtf8("čšž ČŠŽ"));
    EXPECT_EQ(IniReadString(Ini(), "Konstante", QString::fromUtf8("črke"), ""), "da");
    IniWriteString(Ini(), "Konstante", "NOVO", QString::fromUtf8("žaba"));
    EXPECT_EQ(Text(), QString::fromUtf8("[Konstante]\r\nIME=čšž ČŠŽ\r\nČRKE=da\r\nNOVO=žaba\r\n").toUtf8());
    EXPECT_EQ(IniReadString(Ini(), "Konstante", "IME", ""), QString::fromUtf8("čšž ČŠŽ"));
}

TEST_F(IniFile, NamesAndValuesThatWouldReadBackAsSomethingElseAreRefused) {
    dir.WriteFile("Files/Flows.ini", "[A]\r\nB=1\r\n");
    const QByteArray before = Text();
    EXPECT_THROW(IniWriteString(Ini(), "A", "x=y", "1"), EKelvoError);
    EXPECT_THROW(IniWriteString(Ini(), "A", " ", "1"), EKelvoError);
    EXPECT_THROW(IniWriteString(Ini(), "A", ";x", "1"), EKelvoError);
    EXPECT_THROW(IniWriteString(Ini(), "A", "B", "line\r\nbreak"), EKelvoError);
    EXPECT_THROW(IniWriteString(Ini(), "", "B", "1"), EKelvoError);
    EXPECT_THROW(IniWriteString(Ini(), "A\nB", "B", "1"), EKelvoError);
    EXPECT_EQ(Text(), before);
}

} // namespace
