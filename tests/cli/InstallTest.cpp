#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include "cli/Child.h"

namespace {

// cmake --install into a temporary prefix, each installed file checked by its own validator, then the
// installed kelvo-run on the installed demo, laid out by the installed lay-out-demo as scripts/demo
// lays out build/demo.
TEST(Install, PutsTheProgramsDesktopEntryIconsManPagesAndDemoUnderThePrefixAndTheyRun) {
    QTemporaryDir prefix(QDir::tempPath() + "/kelvo-install-XXXXXX");
    const QString root = prefix.path();
    const TChildResult install = RunChild("cmake", {"--install", KELVO_BUILD_DIR, "--prefix", root});
    ASSERT_EQ(install.Status, 0) << install.Err.toStdString();
    for (const char* file :
         {"bin/kelvo-transfer", "bin/kelvo-run", "share/applications/kelvo-transfer.desktop",
          "share/icons/hicolor/scalable/apps/kelvo-transfer.svg",
          "share/icons/hicolor/256x256/apps/kelvo-transfer.png", "share/kelvo-transfer/demo/Files/Flows.ini",
          "share/kelvo-transfer/lay-out-demo", "share/man/man1/kelvo-run.1.gz",
          "share/man/man1/kelvo-transfer.1.gz", "share/metainfo/kelvo-transfer.metainfo.xml",
          "share/doc/kelvo-transfer/copyright", "share/doc/kelvo-transfer/changelog.Debian.gz"})
        EXPECT_TRUE(QFile::exists(root + "/" + file)) << file;
    // The metainfo's id is the desktop file's name, not a reverse-DNS one: that warning is taken as
    // an info. validate-tree also finds the desktop file the metainfo launches.
    const struct {
        const char* Tool;
        QStringList Args;
        const char* Package;
    } validators[] = {{"desktop-file-validate",
                       {root + "/share/applications/kelvo-transfer.desktop"},
                       "desktop-file-utils"},
                      {"appstreamcli",
                       {"validate-tree", "--no-net", "--override=cid-desktopapp-is-not-rdns=info", root},
                       "appstream"}};
    for (const auto& validator : validators) {
        if (QStandardPaths::findExecutable(validator.Tool).isEmpty()) {
            ADD_FAILURE() << validator.Tool << " is missing: scripts/setup installs " << validator.Package;
            continue;
        }
        const TChildResult check = RunChild(validator.Tool, validator.Args);
        EXPECT_EQ(check.Status, 0) << validator.Tool << ": " << check.Out.toStdString()
                                   << check.Err.toStdString();
    }

    // Each manual page renders without a warning and names every option its program's --help shows.
    QProcessEnvironment utf8 = QProcessEnvironment::systemEnvironment();
    utf8.insert("LC_ALL", "C.UTF-8");
    for (const QString program : {"kelvo-run", "kelvo-transfer"}) {
        const TChildResult page =
            RunChild("man", {"--warnings", "-l", root + "/share/man/man1/" + program + ".1.gz"}, utf8);
        EXPECT_EQ(page.Status, 0);
        EXPECT_EQ(page.Err, "") << program.toStdString();
        const QString help = RunChild(root + "/bin/" + program, {"--help"}).Out;
        const QRegularExpression option("^ +(?:-\\w, )?(--[\\w-]+)", QRegularExpression::MultilineOption);
        for (const QRegularExpressionMatch& match : option.globalMatch(help))
            EXPECT_TRUE(page.Out.contains(match.captured(1)))
                << program.toStdString() << "(1) lacks " << match.captured(1).toStdString();
    }

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

// The Debian package's dependencies are those of the libraries the programs link, and the Qt platform
// plugins the window needs though nothing links them; its programs are stripped and lintian finds
// no error in it.
TEST(Install, DebianPackageDependsOnTheLinkedLibrariesAndPassesLintian) {
    for (const auto& [tool, package] :
         {std::pair{"dpkg-shlibdeps", "dpkg-dev"}, {"file", "file"}, {"lintian", "lintian"}})
        if (QStandardPaths::findExecutable(tool).isEmpty())
            GTEST_FAIL() << tool << " is missing: scripts/setup installs " << package;
    QTemporaryDir out(QDir::tempPath() + "/kelvo-deb-XXXXXX");
    const TChildResult pack =
        RunChild("cpack", {"-G", "DEB", "--config", QString(KELVO_BUILD_DIR) + "/CPackConfig.cmake", "-B",
                           out.path()});
    ASSERT_EQ(pack.Status, 0) << pack.Out.toStdString() << pack.Err.toStdString();
    const QStringList debs = QDir(out.path()).entryList({"*.deb"});
    ASSERT_EQ(debs.size(), 1);
    const QString deb = out.filePath(debs.constFirst());
    const TChildResult depends = RunChild("dpkg-deb", {"-f", deb, "Depends"});
    for (const char* package : {"libqt6core6", "libqt6widgets6", "libodbc2", "libc6", "qt6-qpa-plugins"})
        EXPECT_TRUE(depends.Out.contains(package)) << package << ": " << depends.Out.toStdString();

    ASSERT_EQ(RunChild("dpkg-deb", {"-x", deb, out.filePath("root")}).Status, 0);
    for (const char* program : {"kelvo-run", "kelvo-transfer"}) {
        const QString type = RunChild("file", {out.filePath("root/usr/bin/") + program}).Out;
        EXPECT_TRUE(type.contains(", stripped")) << type.toStdString();
    }

    const TChildResult lint = RunChild("lintian", {deb});
    EXPECT_FALSE(lint.Out.contains(QRegularExpression("^E: ", QRegularExpression::MultilineOption)))
        << lint.Out.toStdString();
}

} // namespace
