#include <QFile>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>

#include "fixtures/DialogDriver.h"
#include "support/EnDial3.h"
#include "support/ui/MessageForm.h"
#include "support/ui/RealAnswerer.h"

TEST(SupportInputDialog, OkCancelEscapeAndCloseBox) {
    TInstalledAnswerer<TRealAnswerer> real;
    QString value = "OLD", selected;
    WhenModal([&](QWidget* w) {
        const TDialogUnits du = DialogUnitsOf(w->font());
        EXPECT_EQ(w->size(), QSize(du.Horz(180), du.Vert(63)));
        auto* edit = w->findChild<QLineEdit*>("Edit");
        EXPECT_EQ(edit->geometry().topLeft(), QPoint(du.Horz(8), du.Vert(19)));
        EXPECT_EQ(w->findChild<QLabel*>("Prompt")->text(), "Constant name:");
        EXPECT_EQ(w->findChild<QPushButton*>("Cancel")->text(), "&Cancel");
        selected = edit->selectedText();
        QTest::keyClicks(edit, "NEW");
        PressKey(w, Qt::Key_Return);
    });
    EXPECT_TRUE(InputText("New constant", "Constant name:", value));
    EXPECT_EQ(selected, "OLD");
    EXPECT_EQ(value, "NEW");

    const std::function<void(QWidget*)> dismissals[] = {
        [](QWidget* w) { w->findChild<QPushButton*>("Cancel")->click(); },
        [](QWidget* w) { PressKey(w, Qt::Key_Escape); },
        [](QWidget* w) { w->close(); },
    };
    for (const auto& dismiss : dismissals) {
        WhenModal([&](QWidget* w) {
            QTest::keyClicks(w->findChild<QLineEdit*>("Edit"), "CHANGED");
            dismiss(w);
        });
        EXPECT_FALSE(InputText("New constant", "Constant name:", value));
        EXPECT_EQ(value, "NEW");
    }

    // A value past the 255-character limit is offered whole, not cut short.
    const QString longValue(300, 'x');
    value = longValue;
    WhenModal([](QWidget* w) { PressKey(w, Qt::Key_Return); });
    EXPECT_TRUE(InputText("New constant", "Constant name:", value));
    EXPECT_EQ(value, longValue);
}

TEST(SupportInputDialog, LoginPrompt) {
    TInstalledAnswerer<TRealAnswerer> real;
    QString user = "kelvo", password;
    WhenModal([](QWidget* w) {
        EXPECT_EQ(w->windowTitle(), "Database Login");
        EXPECT_EQ(w->findChild<QLabel*>("LDatabase")->text(), "Database: DnsDest");
        EXPECT_EQ(w->findChild<QLineEdit*>("EUserName")->text(), "kelvo");
        EXPECT_EQ(w->findChild<QLineEdit*>("EPassword")->echoMode(), QLineEdit::Password);
        QTest::keyClicks(w->focusWidget(), "tajno");
        PressKey(w, Qt::Key_Return);
    });
    EXPECT_TRUE(Answerer().Login("DnsDest", user, password));
    EXPECT_EQ(user, "kelvo");
    EXPECT_EQ(password, "tajno");

    WhenModal([](QWidget* w) {
        QTest::keyClicks(w->findChild<QLineEdit*>("EUserName"), "x");
        PressKey(w, Qt::Key_Escape);
    });
    EXPECT_FALSE(Answerer().Login("DnsDest", user, password));
    EXPECT_EQ(user, "kelvo");
}

TEST(SupportInputDialog, SaveDialogAsksNoOverwriteQuestion) {
    EXPECT_EQ(QtFileFilter("Sql|*.SQL|Txt|*.TXT|Any|*.*"), "Sql (*.SQL);;Txt (*.TXT);;Any (*)");
    QTemporaryDir dir;
    QFile existing(dir.filePath("KelvoPogData.sql"));
    ASSERT_TRUE(existing.open(QIODevice::WriteOnly));
    existing.close();

    TInstalledAnswerer<TRealAnswerer> real;
    const TSaveDialogRequest request{"Save data to...", "SQL", "KelvoPogData.sql", "Sql|*.SQL|Any|*.*",
                                     dir.path()};
    QString title, path;
    WhenModal([&](QWidget* w) {
        title = w->windowTitle();
        qobject_cast<QDialog*>(w)->accept();
    });
    ASSERT_TRUE(Answerer().SaveFileName(request, path));
    EXPECT_EQ(title, "Save data to...");
    EXPECT_EQ(QFileInfo(path).canonicalFilePath(), QFileInfo(existing).canonicalFilePath());

    WhenModal([](QWidget* w) {
        auto* name = w->findChild<QLineEdit*>("fileNameEdit");
        name->selectAll();
        QTest::keyClicks(name, "export");
        QTest::keyClick(name, Qt::Key_Return);
    });
    ASSERT_TRUE(Answerer().SaveFileName(request, path));
    EXPECT_EQ(QFileInfo(path).fileName(), "export.SQL") << "the default extension is added";

    path = "unchanged";
    WhenModal([](QWidget* w) { qobject_cast<QDialog*>(w)->reject(); });
    EXPECT_FALSE(Answerer().SaveFileName(request, path));
    EXPECT_EQ(path, "unchanged");
}
