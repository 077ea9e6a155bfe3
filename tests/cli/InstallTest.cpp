#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include "cli/Child.h"

namespace {

// cmake --install into a temporary prefix, then the installed kelvo-run on the installed demo, laid out
// by the installed lay-out-demo as scripts/demo lays out build/demo.
TEST(Install, PutsTheProgramsDesktopEntryIconsAndDemoUnderThePrefixAndTheyRun) {
    QTemporaryDir prefix(QDir::tempPath() + "/kelvo-install-XXXXXX");
    const QString root = prefix.path();
    const TChildResult install = RunChild("cmake", {"--install", KELVO_BUILD_DIR, "--prefix", root});
    ASSERT_EQ(install.Status, 0) << install.Err.toStdString();
    for (const char* file :
         {"bin/kelvo-transfer", "bin/kelvo-run", "share/applications/kelvo-transfer.desktop",
          "share/icons/hicolor/scalable/apps/kelvo-transfer.svg",
          "share/icons/hicolor/256x256/apps/kelvo-transfer.png", "share/kelvo-transfer/demo/Files/Flows.ini",
          "share/kelvo-transfer/lay-out-demo"})
        EXPECT_TRUE(QFile::exists(root + "/" + file)) << file;
    if (!QStandardPaths::findExecutable("desktop-file-validate").isEmpty())
        EXPECT_EQ(
            RunChild("desktop-file-validate", {root + "/share/applications/kelvo-transfer.desktop"}).Status,
            0);
    else
        ADD_FAILURE() << "desktop-file-validate is missing: scripts/setup installs desktop-file-utils";

    const TChildResult version = RunChild(root + "/bin/kelvo-run", {"--version"});
    EXPECT_EQ(version.Status, 0);
    EXPECT_TRUE(version.Out.startsWith("kelvo-run ")) << version.Out.toStdString();

    // Without --program-dir an installed copy works in the user's data folder, not in bin/.
    QProcessEnvironment home = QProcessEnvironment::systemEnvironment();
    home.insert("HOME", root + "/home");
    home.remove("XDG_DATA_HOME");
    const TChildResult list = RunChild(root + "/bin/kelvo-run", {"--list"}, home);
    EXPECT_EQ(list.Status, 2);
    EXPECT_TRUE(
        list.Err.contains("No flow index " + root + "/home/.local/share/kelvo-transfer/Files/Flows.ini"))
        << list.Err.toStdString();

    const QString demo = root + "/demo";
    ASSERT_EQ(RunChild(root + "/share/kelvo-transfer/lay-out-demo", {demo}).Status, 0);
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("ODBCINI", demo + "/odbc.ini");
    const TChildResult run =
        RunChild(root + "/bin/kelvo-run",
                 {"--program-dir", demo, "--filter", "P-2024", "--export", demo + "/out/export.sql"}, env);
    EXPECT_EQ(run.Status, 0) << run.Err.toStdString();
    QFile exported(demo + "/out/export.sql");
    ASSERT_TRUE(exported.open(QIODevice::ReadOnly));
    EXPECT_EQ(exported.readAll().count("Insert into"), 9);
    EXPECT_TRUE(QFile::exists(demo + "/Transfer.log"));
}

// The Debian package's dependencies are those of the libraries the programs link.
TEST(Install, DebianPackageDependsOnTheLinkedLibraries) {
    if (QStandardPaths::findExecutable("dpkg-shlibdeps").isEmpty())
        GTEST_FAIL() << "dpkg-shlibdeps is missing: scripts/setup installs dpkg-dev";
    QTemporaryDir out(QDir::tempPath() + "/kelvo-deb-XXXXXX");
    const TChildResult pack =
        RunChild("cpack", {"-G", "DEB", "--config", QString(KELVO_BUILD_DIR) + "/CPackConfig.cmake", "-B",
                           out.path()});
    ASSERT_EQ(pack.Status, 0) << pack.Out.toStdString() << pack.Err.toStdString();
    const QStringList debs = QDir(out.path()).entryList({"*.deb"});
    ASSERT_EQ(debs.size(), 1);
    const TChildResult depends = RunChild("dpkg-deb", {"-f", out.filePath(debs.constFirst()), "Depends"});
    for (const char* package : {"libqt6core6", "libqt6widgets6", "libodbc2", "libc6"})
        EXPECT_TRUE(depends.Out.contains(package)) << package << ": " << depends.Out.toStdString();
}

} // namespace
