#include <QDir>
#include <QFile>
#include <QStringDecoder>
#include <gtest/gtest.h>

#include "fixtures/TestEnv.h"
#include "platform/Errors.h"
#include "platform/TextFile.h"

namespace {

QString MessageOf(const std::function<void()>& action) {
    try {
        action();
    } catch (const EKelvoError& e) {
        return e.Message();
    }
    return "(no error)";
}

TEST(TextFile, Windows1250TableMatchesTheCodePage) {
    // Letters of the Central European alphabets, spot-checked by their code points.
    const QByteArray letters("\xE8\x9A\x9E\xC8\x8A\x8E\xE6\xF0\xB3\xA3\xF8\xEC\x80", 13);
    EXPECT_EQ(DecodeWindows1250(letters), QString::fromUtf8("čšžČŠŽćđłŁřě€"));
    const QByteArray undefined("\x81\x83\x88\x90\x98", 5);
    EXPECT_EQ(DecodeWindows1250(undefined), QString::fromUtf16(u"\u0081\u0083\u0088\u0090\u0098"));

    // Where Qt has the code page (an ICU build), every defined byte must agree with it.
    QStringDecoder qt("windows-1250");
    if (!qt.isValid())
        return;
    for (int b = 0; b < 256; ++b) {
        if (undefined.contains(char(b)))
            continue;
        const QByteArray one(1, char(b));
        QStringDecoder decoder("windows-1250");
        EXPECT_EQ(DecodeWindows1250(one), QString(decoder.decode(one))) << "byte " << b;
    }
}

TEST(TextFile, DecodesUtf8AndFallsBackTo1250) {
    const QString slovene = QString::fromUtf8("Končano kot uspešno, žaba");
    EXPECT_EQ(DecodeText(slovene.toUtf8()), slovene);
    EXPECT_EQ(DecodeText("\xEF\xBB\xBF" + slovene.toUtf8()), slovene);
    EXPECT_EQ(DecodeText(QByteArray("Kon\xE8"
                                    "ano kot uspe\x9Ano, \x9E"
                                    "aba")),
              slovene);
    // A multi-byte sequence cut off at the end is not UTF-8.
    EXPECT_EQ(DecodeText(QByteArray("abc\xC4")), QString::fromUtf8("abcÄ"));
    EXPECT_EQ(DecodeText(QByteArray()), QString());
}

TEST(TextFile, SplitsLinesAtEveryLineEnd) {
    EXPECT_EQ(SplitTextLines("a\r\nb\nc\rd"), QStringList({"a", "b", "c", "d"}));
    EXPECT_EQ(SplitTextLines("a\r\n"), QStringList({"a"}));
    EXPECT_EQ(SplitTextLines("a\r\n\r\nb"), QStringList({"a", "", "b"}));
    EXPECT_EQ(SplitTextLines("\r\r\n"), QStringList({"", ""}));
    EXPECT_EQ(SplitTextLines("\n\n"), QStringList({"", ""}));
    EXPECT_TRUE(SplitTextLines("").isEmpty());
}

TEST(TextFile, ReadsWithoutRegardToCaseAndReportsMissingFiles) {
    TTempProgramDir dir;
    dir.WriteFile("Files/Script.txt", "select 1\r\nGO\r\n\xE8");
    EXPECT_EQ(ReadTextLines(dir.Path() + "FILES/SCRIPT.TXT"), QStringList({"select 1", "GO", "č"}));
    const QString missing = dir.Path() + "Files/none.txt";
    EXPECT_EQ(MessageOf([&] { ReadTextFile(missing); }), "Cannot open file \"" + missing + "\"");
    EXPECT_THROW(ReadTextFile(dir.Path() + "Files"), EKelvoError);
}

TEST(TextFile, WritesWholeFilesAtomicallyAndNeverCreatesTheFolder) {
    TTempProgramDir dir;
    const QString path = dir.Path() + "Files/out.log";
    WriteTextLines(path, {"first", "žaba"});
    EXPECT_EQ(dir.ReadFile("Files/out.log"), QString::fromUtf8("first\r\nžaba\r\n").toUtf8());
    WriteTextLines(dir.Path() + "FILES/OUT.LOG", {"again"}, "\n");
    EXPECT_EQ(dir.ReadFile("Files/out.log"), "again\n");
    // Nothing but the file is left in the folder (no temporary file, no second spelling).
    EXPECT_EQ(QDir(dir.Path() + "Files").entryList(QDir::Files | QDir::Hidden), QStringList{"out.log"});

    const QString missing = dir.Path() + "Nowhere/out.log";
    EXPECT_EQ(MessageOf([&] { WriteTextFile(missing, "x"); }), "Unable to write to " + missing);
    EXPECT_FALSE(QFileInfo::exists(dir.Path() + "Nowhere"));

    QFile::setPermissions(path, QFile::ReadOwner | QFile::ReadGroup);
    EXPECT_EQ(MessageOf([&] { WriteTextFile(path, "lost"); }), "Unable to write to " + path);
    EXPECT_EQ(MessageOf([&] { AppendTextLine(path, "lost"); }), "Unable to write to " + path);
    EXPECT_EQ(dir.ReadFile("Files/out.log"), "again\n");
    QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner);
}

TEST(TextFile, AppendsLinesAndKeepsOneEncoding) {
    TTempProgramDir dir;
    const QString path = dir.Path() + "Files/Transfer.log";
    AppendTextLine(path, "one");
    AppendTextLines(dir.Path() + "files/transfer.LOG", {"two", "tri"});
    EXPECT_EQ(dir.ReadFile("Files/Transfer.log"), "one\r\ntwo\r\ntri\r\n");

    // An old log in code page 1250 becomes UTF-8 before non-ASCII text joins it.
    dir.WriteFile("Files/Old.log", "Kon\xE8"
                                   "ano\r\n");
    AppendTextLine(dir.Path() + "Files/Old.log", "plain");
    AppendTextLine(dir.Path() + "Files/Old.log", "uspešno");
    AppendTextLine(dir.Path() + "Files/Old.log", "žaba");
    EXPECT_EQ(dir.ReadFile("Files/Old.log"),
              QString::fromUtf8("Končano\r\nplain\r\nuspešno\r\nžaba\r\n").toUtf8());

    const QString missing = dir.Path() + "Nowhere/x.log";
    EXPECT_EQ(MessageOf([&] { AppendTextLine(missing, "x"); }), "Unable to write to " + missing);
    EXPECT_FALSE(QFileInfo::exists(dir.Path() + "Nowhere"));
}

} // namespace
