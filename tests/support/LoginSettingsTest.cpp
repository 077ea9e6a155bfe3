#include <QDir>
#include <QFileInfo>
#include <QStringEncoder>

#include "fixtures/DialogDriver.h"
#include "fixtures/TestEnv.h"
#include "platform/Errors.h"
#include "platform/ProgramDir.h"
#include "support/DBgesloKELVO.h"

namespace {

// What the outside program stores: a 20-character prefix and the clear value in the Windows code
// page, each byte XOR-ed with "qxv" from its first letter, as two hex digits.
QString Scramble(const QString& clear) {
    const QByteArray bytes = QStringEncoder("windows-1250").encode("prefix-of-20-chars!!" + clear);
    QString out;
    for (qsizetype i = 0; i < bytes.size(); ++i)
        out += QString("%1").arg(uchar(bytes[i]) ^ uchar("qxv"[i % 3]), 2, 16, QChar('0')).toUpper();
    return out;
}

QStringList Read() {
    QStringList l = {"db?", "user?", "pw?", "mode?"};
    ReadLoginSettings(l[0], l[1], l[2], l[3]);
    return l;
}

QByteArray Lines(const QStringList& lines) {
    return (lines.join("\r\n") + "\r\n").toUtf8();
}

} // namespace

TEST(SupportLoginSettings, HexParentAndDescramble) {
    EXPECT_EQ(HexValue("ff"), 255u);
    EXPECT_EQ(HexValue("100"), 256u);
    EXPECT_EQ(HexValue("1G"), 16u) << "a non-hex character is a zero digit that keeps its place";
    EXPECT_EQ(ParentDir("/opt/kelvo/bin/"), "/opt/kelvo/");
    EXPECT_EQ(ParentDir("/opt/kelvo/bin"), "/opt/kelvo/");
    EXPECT_EQ(ParentDir("/"), "/");
    EXPECT_EQ(ParentDir("kelvo"), "kelvo");

    EXPECT_EQ(DescrambleValue(Scramble("Geslo 123!"), "qxv"), "Geslo 123!");
    EXPECT_EQ(DescrambleValue(Scramble("geslo").toLower(), "qxv"), "geslo");
    EXPECT_EQ(DescrambleValue(Scramble(QString::fromUtf8("Končano")), "qxv"), QString::fromUtf8("Končano"));
    // 40 digits are the prefix alone; a 41st is the high half of a byte.
    const QString one = Scramble("A");
    EXPECT_EQ(DescrambleValue(one.left(40), "qxv"), "");
    EXPECT_EQ(DescrambleValue(one.left(41), "qxv"), QChar(char16_t('v' ^ (HexValue(one.mid(40, 1)) << 4))));
    QString broken = Scramble("abc");
    broken.replace(42, 2, "XY");
    EXPECT_EQ(DescrambleValue(broken, "qxv"), "aqc") << "a pair of zeros leaves the key letter";
    const QString longClear = QString("0123456789").repeated(15);
    EXPECT_EQ(DescrambleValue(Scramble(longClear), "qxv"), longClear.left(100));
}

TEST(SupportLoginSettings, ReadsTheFileLineByLine) {
    TTempProgramDir dir;
    EXPECT_EQ(Read(), QStringList({"db?", "user?", "pw?", "mode?"})) << "no file leaves the outputs";

    dir.WriteFile("KELVO.INI",
                  Lines({"[LOGIN]", "DATABASENAME=" + Scramble("first"), "username=" + Scramble("sa"),
                         "PASSWORD =" + Scramble("tajno"), " PASSWORD=" + Scramble("not-this"),
                         "DATABASENAME=" + Scramble("KELVO_DB"), "TEST/PRODUKCIJA= PRODUKCIJA ", "OTHER=1"}));
    const QStringList l = Read();
    EXPECT_EQ(l[0], "KELVO_DB") << "the last line wins";
    EXPECT_EQ(l[1], "sa") << "keys in any letter case";
    // The value starts at column 10 whatever stands there; a key after a blank is no key.
    EXPECT_EQ(l[2], DescrambleValue("=" + Scramble("tajno"), "qxv"));
    EXPECT_NE(l[2], "tajno");
    EXPECT_EQ(l[3], "PRODUKCIJA");

    // 100 stored characters at most: 30 clear ones. Missing keys read empty; any case of file name.
    QFile::remove(dir.FilePath("KELVO.INI"));
    const QString clear40 = QString("abcdefghij").repeated(4);
    dir.WriteFile("kelvo.ini",
                  Lines({"USERNAME=" + Scramble(clear40), "test/produkcija=" + QString(120, 'X')}));
    EXPECT_EQ(Read(), QStringList({"", clear40.left(30), "", QString(100, 'X')}));

    // A file in the Windows code page.
    QByteArray legacy = "PASSWORD=" + Scramble(QString::fromUtf8("geslo-č")).toLatin1() + "\n";
    legacy += QStringEncoder("windows-1250").encode(QString::fromUtf8("TEST/PRODUKCIJA=Preizkušnja\n"));
    dir.WriteFile("kelvo.ini", legacy);
    EXPECT_EQ(Read(), QStringList({"", "", QString::fromUtf8("geslo-č"), QString::fromUtf8("Preizkušnja")}));
}

TEST(SupportLoginSettings, NearestDirectoryWins) {
    TTempProgramDir dir;
    QDir(dir.Path()).mkpath("up/bin");
    SetProgramDirForTests(dir.Path() + "up/bin/");
    dir.WriteFile("KELVO.INI", Lines({"USERNAME=" + Scramble("two-up")}));
    EXPECT_EQ(Read()[1], "two-up");
    dir.WriteFile("up/KELVO.INI", Lines({"USERNAME=" + Scramble("one-up")}));
    EXPECT_EQ(Read()[1], "one-up");
    dir.WriteFile("up/bin/KELVO.INI", Lines({"USERNAME=" + Scramble("here")}));
    EXPECT_EQ(Read()[1], "here");
}

// What the program stores reads back through its own reader, in the outside program's form, with
// every other line of the file kept; a value the file cannot hold changes nothing.
TEST(SupportLoginSettings, StoredLoginReadsBack) {
    EXPECT_EQ(ScrambleValue(QString::fromUtf8("geslo-č"), "qxv", "prefix-of-20-chars!!"),
              Scramble(QString::fromUtf8("geslo-č")));

    TTempProgramDir dir;
    const QString path = WriteSourceLogin("operater", "");
    EXPECT_EQ(path, dir.FilePath("KELVO.INI"));
    EXPECT_EQ(Read(), QStringList({"", "operater", "", ""}));
    const QFile::Permissions groupOrOther =
        QFile::ReadGroup | QFile::WriteGroup | QFile::ReadOther | QFile::WriteOther;
    EXPECT_EQ(QFileInfo(path).permissions() & (groupOrOther | QFile::ReadOwner), QFile::ReadOwner)
        << "a new login file is its owner's alone";

    const QString longest = QString("x").repeated(30);
    const QStringList others = {"[LOGIN]",
                                "DATABASENAME=" + Scramble("KELVO_DB"),
                                "username=" + Scramble("old"),
                                "USERNAME=" + Scramble("older"),
                                "TEST/PRODUKCIJA=PRODUKCIJA",
                                "[OTHER]",
                                "X=1"};
    dir.WriteFile("KELVO.INI", Lines(others));
    WriteSourceLogin(QString::fromUtf8("Šef čet"), longest);
    EXPECT_EQ(Read(), QStringList({"KELVO_DB", QString::fromUtf8("Šef čet"), longest, "PRODUKCIJA"}));
    QStringList lines = QString::fromUtf8(dir.ReadFile("KELVO.INI")).split("\r\n");
    EXPECT_EQ(lines.size(), others.size() + 2) << "a password line added, the last line end kept";
    for (int i : {0, 1, 5, 6})
        EXPECT_EQ(lines[i + (i > 0 ? 1 : 0)], others[i]);

    const QByteArray before = dir.ReadFile("KELVO.INI");
    for (const QString& bad : {longest + "x", QString("tab\there"), QString::fromUtf8("日本")}) {
        EXPECT_THROW(WriteSourceLogin("operater", bad), EKelvoError) << bad.toStdString();
        EXPECT_THROW(WriteSourceLogin(bad, "geslo"), EKelvoError) << bad.toStdString();
    }
    EXPECT_EQ(dir.ReadFile("KELVO.INI"), before);
}
