#include <QDir>
#include <QFile>
#include <gtest/gtest.h>

#include "fixtures/TestEnv.h"
#include "platform/Errors.h"
#include "platform/Paths.h"

namespace {

TEST(Paths, ResolveIgnoresCaseAndKeepsTheSpellingOfWhatDoesNotExist) {
    TTempProgramDir dir;
    dir.WriteFile("Files/customers.ini", "x");
    dir.WriteFile("Files/Sub Dir/Čebela.txt", "x");
    const QString p = dir.Path();

    EXPECT_EQ(ResolvePath(p + "Files/customers.ini"), p + "Files/customers.ini");
    EXPECT_EQ(ResolvePath(p + "FIles/CUSTOMERS.INI"), p + "Files/customers.ini");
    EXPECT_EQ(ResolvePath(p + "files/sub dir/čEBELA.TXT"), p + "Files/Sub Dir/Čebela.txt");
    // Windows-style separators reach the same file.
    EXPECT_EQ(ResolvePath(p + "FILES\\Customers.Ini"), p + "Files/customers.ini");
    // A new file in an existing folder reuses the folder's spelling and keeps its own.
    EXPECT_EQ(ResolvePath(p + "FILES/New.INI"), p + "Files/New.INI");
    // Below a missing folder nothing is looked up any more.
    EXPECT_EQ(ResolvePath(p + "FILES/Missing/SUB/x.ini"), p + "Files/Missing/SUB/x.ini");
    EXPECT_EQ(ResolvePath(p + "FILES/"), p + "Files/");

    EXPECT_TRUE(FileExists(p + "FILES/CUSTOMERS.ini"));
    EXPECT_TRUE(FileExists(p + "files"));
    EXPECT_FALSE(FileExists(p + "Files/customers.ini.bak"));
    EXPECT_FALSE(FileExists(QString()));
}

TEST(Paths, AnExactMatchWinsOverNamesThatDifferOnlyInCase) {
    TTempProgramDir dir;
    dir.WriteFile("Files/a.txt", "lower");
    dir.WriteFile("Files/A.txt", "upper");
    const QString p = dir.Path() + "Files/";
    EXPECT_EQ(ResolvePath(p + "a.txt"), p + "a.txt");
    EXPECT_EQ(ResolvePath(p + "A.txt"), p + "A.txt");
    const QString other = ResolvePath(p + "a.TXT");
    EXPECT_TRUE(other == p + "a.txt" || other == p + "A.txt") << other.toStdString();
}

TEST(Paths, ForceDirectoriesReusesExistingFoldersWhateverTheirCase) {
    TTempProgramDir dir;
    ForceDirectories(dir.Path() + "FILES/Logs/Deeper");
    EXPECT_TRUE(QFileInfo(dir.Path() + "Files/Logs/Deeper").isDir());
    EXPECT_FALSE(QFileInfo::exists(dir.Path() + "FILES"));
    ForceDirectories(dir.Path() + "files/logs/deeper"); // exists already: nothing to do
    EXPECT_EQ(QDir(dir.Path() + "Files").entryList(QDir::Dirs | QDir::NoDotAndDotDot), QStringList{"Logs"});

    dir.WriteFile("Files/plain", "x");
    EXPECT_THROW(ForceDirectories(dir.Path() + "Files/plain/sub"), EKelvoError);
}

} // namespace
