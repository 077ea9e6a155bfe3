#include <QGuiApplication>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QSignalSpy>
#include <algorithm>
#include <gtest/gtest-spi.h>
#include <memory>

#include "fixtures/DialogDriver.h"
#include "fixtures/ScriptedAnswerer.h"
#include "support/EnDial3.h"
#include "support/ui/MessageForm.h"
#include "support/ui/RealAnswerer.h"

namespace {

using TForm = std::unique_ptr<TMessageForm>;

TForm Create(const QString& text, TMsgDlgType type, TMsgDlgButtons buttons) {
    return TForm(CreateMessageForm(text, type, buttons));
}

QRect Screen() {
    return QGuiApplication::primaryScreen()->geometry();
}

QList<QPushButton*> Buttons(QWidget* form) {
    QList<QPushButton*> buttons = form->findChildren<QPushButton*>();
    std::sort(buttons.begin(), buttons.end(), [](auto* a, auto* b) { return a->x() < b->x(); });
    return buttons;
}

// The modal result of a new form after the operator's action.
int Exec(TMsgDlgButtons buttons, std::function<void(QWidget*)> action) {
    TForm form = Create("Go on?", mtConfirmation, buttons);
    WhenModal(std::move(action));
    return form->exec();
}
int ExecPressing(TMsgDlgButtons buttons, Qt::Key key) {
    return Exec(buttons, [key](QWidget* w) { PressKey(w, key); });
}

} // namespace

TEST(SupportMessageForm, Layout) {
    TForm form = Create("Done.", mtInformation, mbOK);
    const TDialogUnits du = DialogUnitsOf(form->font());
    EXPECT_EQ(form->minimumSize(), form->maximumSize()) << "not resizable";
    auto* image = form->findChild<QLabel*>("Image");
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(image->geometry(), QRect(du.Horz(8), du.Vert(8), 32, 32));
    EXPECT_FALSE(image->pixmap().isNull());
    auto* message = form->findChild<QLabel*>("Message");
    ASSERT_NE(message, nullptr);
    EXPECT_EQ(message->pos(), QPoint(du.Horz(8) + 32 + du.Horz(10), du.Vert(8)));
    const QList<QPushButton*> buttons = Buttons(form.get());
    ASSERT_EQ(buttons.size(), 1);
    EXPECT_EQ(buttons[0]->geometry(), QRect((form->width() - du.Horz(50)) / 2, 32 + du.Vert(8) + du.Vert(10),
                                            du.Horz(50), du.Vert(14)));
    EXPECT_NEAR(buttons[0]->x(), form->width() - buttons[0]->geometry().right() - 1, 1) << "centred";
    EXPECT_EQ(form->height(), 32 + du.Vert(14) + du.Vert(10) + 2 * du.Vert(8));
    EXPECT_EQ(form->pos(),
              QPoint(Screen().width() / 2 - form->width() / 2, Screen().height() / 2 - form->height() / 2));

    // A long message wraps at half the screen: more text makes the form taller, not wider.
    const QString sentence = "The destination refused the record because a column was too long. ";
    TForm shorter = Create(sentence.repeated(20), mtError, mbOK);
    TForm longer = Create(sentence.repeated(40), mtError, mbOK);
    message = longer->findChild<QLabel*>("Message");
    EXPECT_TRUE(message->wordWrap());
    EXPECT_LE(message->width(), Screen().width() / 2);
    EXPECT_GT(message->width(), Screen().width() / 4);
    EXPECT_EQ(longer->width(), shorter->width());
    EXPECT_GT(longer->height(), shorter->height());
}

TEST(SupportMessageForm, TitlesIconsAndButtons) {
    const std::pair<TMsgDlgType, QString> titles[] = {{mtWarning, "Warning"},
                                                      {mtError, "Error"},
                                                      {mtInformation, "Information"},
                                                      {mtConfirmation, "Confirmation"},
                                                      {mtCustom, QGuiApplication::applicationDisplayName()}};
    for (const auto& [type, title] : titles) {
        TForm form = Create("x", type, mbOK);
        EXPECT_EQ(form->windowTitle(), title);
        EXPECT_EQ(form->findChild<QLabel*>("Image") != nullptr, type != mtCustom) << title.toStdString();
    }

    TForm all = Create("x", mtCustom, 0x7FF);
    const QStringList names = {"Yes",    "No",  "OK",      "Cancel",   "Abort", "Retry",
                               "Ignore", "All", "NoToAll", "YesToAll", "Help"};
    const QStringList captions = {"&Yes",    "&No",  "&Ok",      "&Cancel",   "A&bort", "R&etry",
                                  "&Ignore", "&All", "No&ToAll", "YesToA&ll", "H&elp"};
    const QList<QPushButton*> buttons = Buttons(all.get());
    ASSERT_EQ(buttons.size(), 11);
    for (int i = 0; i < 11; ++i) {
        EXPECT_EQ(buttons[i]->objectName(), names[i]);
        EXPECT_EQ(buttons[i]->text(), captions[i]);
    }
    EXPECT_NEAR(buttons[0]->x(), all->width() - buttons[10]->geometry().right() - 1, 1);

    const int results[] = {6, 7, 1, 2, 3, 4, 5, 8, 9, 10};
    for (int i = 0; i < 10; ++i) {
        const QString name = names[i];
        EXPECT_EQ(Exec(0x7FF, [name](QWidget* w) { w->findChild<QPushButton*>(name)->click(); }), results[i])
            << i;
    }
    // Help leaves the form open.
    TForm help = Create("Details?", mtInformation, mbOK | mbHelp);
    help->SetHelpContext(42);
    QSignalSpy asked(help.get(), &TMessageForm::HelpRequested);
    WhenModal([](QWidget* w) {
        w->findChild<QPushButton*>("Help")->click();
        EXPECT_TRUE(w->isVisible());
        w->findChild<QPushButton*>("OK")->click();
    });
    EXPECT_EQ(help->exec(), mrOk);
    ASSERT_EQ(asked.count(), 1);
    EXPECT_EQ(asked[0][0].toInt(), 42);
}

TEST(SupportMessageForm, DefaultAndCancelButtons) {
    EXPECT_EQ(ExecPressing(mbYes | mbNo, Qt::Key_Return), mrYes);
    EXPECT_EQ(ExecPressing(mbYes | mbNo, Qt::Key_Escape), mrNo);
    EXPECT_EQ(ExecPressing(mbOK, Qt::Key_Escape), mrOk);
    EXPECT_EQ(ExecPressing(mbOK | mbCancel, Qt::Key_Return), mrOk);
    EXPECT_EQ(ExecPressing(mbOK | mbCancel, Qt::Key_Escape), mrCancel);
    EXPECT_EQ(Exec(mbYes | mbNo | mbCancel, [](QWidget* w) { w->close(); }), mrCancel) << "close box";
    EXPECT_EQ(ExecPressing(mbAbort | mbRetry | mbIgnore, Qt::Key_Return), mrRetry);
    // Without a cancel button neither Escape nor the close box answers for the operator...
    EXPECT_EQ(Exec(mbAbort | mbRetry | mbIgnore,
                   [](QWidget* w) {
                       PressKey(w, Qt::Key_Escape);
                       w->close();
                       EXPECT_TRUE(w->isVisible());
                       w->findChild<QPushButton*>("Abort")->click();
                   }),
              mrAbort);
    // ...but a form without any closing button can still be closed.
    EXPECT_EQ(Exec(mbHelp, [](QWidget* w) { w->close(); }), mrCancel);
}

TEST(SupportMessageForm, OperationsThroughTheAnswerers) {
    {
        TInstalledAnswerer<TRealAnswerer> real;
        QPoint shownAt;
        WhenModal([](QWidget* w) { PressKey(w, Qt::Key_Return); });
        EXPECT_EQ(AskYesNo("End application?"), mrYes);
        WhenModal([&](QWidget* w) {
            shownAt = w->pos();
            PressKey(w, Qt::Key_Escape);
        });
        EXPECT_EQ(MessageDialogPos("Here", mtWarning, mbOK | mbCancel, 0, 10, 20), mrCancel);
        EXPECT_EQ(shownAt, QPoint(10, 20));
        QString title, text;
        WhenModal([&](QWidget* w) {
            title = w->windowTitle();
            text = w->findChild<QLabel*>("qt_msgbox_label")->text();
            PressKey(w, Qt::Key_Return);
        });
        ShowMessage("Connection failed <b>now</b>");
        EXPECT_EQ(title, QGuiApplication::applicationDisplayName());
        EXPECT_EQ(text, "Connection failed <b>now</b>");
    }
    {
        TScriptedAnswerer script;
        script.AnswerMessage(mrNo).AnswerMessage(mrOk);
        EXPECT_EQ(AskYesNo("Stop?"), mrNo);
        ShowError("Broken");
        ASSERT_EQ(script.Asked().size(), 2u);
        EXPECT_EQ(script.Asked()[0].type, mtConfirmation);
        EXPECT_EQ(script.Asked()[0].buttons, unsigned(mbYes | mbNo));
        EXPECT_EQ(script.Asked()[1].type, mtError);
    }
    EXPECT_NONFATAL_FAILURE(
        {
            TScriptedAnswerer script;
            AskYesNo("Nobody expects this?");
        },
        "Unscripted message dialog: Nobody expects this?");
}
