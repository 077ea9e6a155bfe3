#include <QAction>
#include <QLabel>
#include <QMenuBar>
#include <QMessageBox>
#include <QToolBar>
#include <QToolButton>
#include <gtest/gtest.h>

#include "app/Version.h"
#include "app/ui/Main.h"
#include "cli/Child.h"
#include "fixtures/DialogDriver.h"
#include "fixtures/TestEnv.h"

namespace {

TEST(WindowCommandLine, TakesProgramDirHelpAndVersionAndRefusesAnythingElse) {
    TTempProgramDir dir;
    struct TCase {
        QString program;
        QStringList args;
        int status;
        QString out, err;
    } cases[] = {
        {KelvoTransferExe(), {"--version"}, 0, "kelvo-transfer " + KelvoVersion() + "\n", ""},
        {KelvoTransferExe(), {"--help"}, 0, "Usage: kelvo-transfer [--program-dir DIR]", ""},
        {KelvoTransferExe(), {"--bogus"}, 2, "", "kelvo-transfer: Unknown option 'bogus'."},
        {KelvoTransferExe(), {"Files"}, 2, "", "Unexpected argument: Files"},
        {KelvoTransferExe(), {"--program-dir", dir.FilePath("nope")}, 2, "", "does not exist."},
        {KelvoRunExe(), {"--version"}, 0, "kelvo-run " + KelvoVersion() + "\n", ""},
        {KelvoRunExe(), {"--help"}, 0, "Exit status: 0 every row copied", ""},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.args.join(' ').toStdString());
        const TChildResult run = RunChild(c.program, c.args);
        EXPECT_EQ(run.Status, c.status);
        EXPECT_TRUE(run.Out.contains(c.out)) << run.Out.toStdString();
        EXPECT_TRUE(run.Err.contains(c.err)) << run.Err.toStdString();
    }
}

TEST(MainWindow, HasAnIconAnAboutBoxAndMnemonicsThatLeaveTheCaptions) {
    TFMain main;
    main.show();
    EXPECT_FALSE(main.windowIcon().isNull());
    // Each caption reads as before; the mnemonic letter is marked, and none is used twice on one level.
    const std::pair<const char*, const char*> captions[] = {{"RunAll", "Start transfer"},
                                                            {"RunFlow", "Start flow"},
                                                            {"NewFlow", "New data flow"},
                                                            {"EditFlow", "Edit data flow"},
                                                            {"BExit", "Exit"},
                                                            {"Start1", "Start"},
                                                            {"Properties1", "Properties"},
                                                            {"Stoponerror1", "Stop on error"},
                                                            {"Newtranslation1", "New translation"},
                                                            {"About1", "About"}};
    for (auto [name, caption] : captions) {
        const QString text = main.findChild<QAction*>(name)->text();
        EXPECT_EQ(QString(text).remove('&'), caption);
        EXPECT_EQ(text.count('&'), 1) << name;
    }
    QStringList topLevel;
    for (QAction* menu : main.menuBar()->actions())
        topLevel << QKeySequence::mnemonic(menu->text()).toString();
    for (QToolButton* button : main.findChild<QToolBar*>("ToolBar1")->findChildren<QToolButton*>())
        if (!button->text().isEmpty())
            topLevel << QKeySequence::mnemonic(button->text()).toString();
    for (QLabel* label : main.findChildren<QLabel*>())
        if (label->buddy())
            topLevel << QKeySequence::mnemonic(label->text()).toString();
    EXPECT_EQ(topLevel.size(), 13);
    EXPECT_EQ(QSet<QString>(topLevel.begin(), topLevel.end()).size(), topLevel.size())
        << topLevel.join(' ').toStdString();
    EXPECT_FALSE(topLevel.contains(QString()));

    QString about;
    WhenShown<QMessageBox>([&](QMessageBox& box) {
        about = box.text();
        box.accept();
    });
    main.findChild<QAction*>("About1")->trigger();
    EXPECT_TRUE(about.contains("Version " + KelvoVersion())) << about.toStdString();
    EXPECT_TRUE(about.contains("MIT licence")) << about.toStdString();
    EXPECT_EQ(KelvoVersion(), QString(KELVO_PROJECT_VERSION));
}

} // namespace
