#pragma once

#include <QApplication>
#include <QDialog>
#include <QPointer>
#include <QString>
#include <QTest>
#include <QTimer>
#include <functional>
#include <gtest/gtest.h>
#include <ostream>

#include "fixtures/Printers.h"
#include "support/Answerer.h"

// Acts on the next modal window once it is shown and active, as the operator would. Windows still
// open a while later (also ones the action opened) are closed and fail the test, so none waits forever.
inline void WhenModal(std::function<void(QWidget*)> action) {
    QTimer::singleShot(0, qApp, [action] {
        QPointer<QWidget> modal = QApplication::activeModalWidget();
        ASSERT_TRUE(modal) << "no modal window is open";
        QTimer::singleShot(5000, modal, [] {
            for (int i = 0; i < 10 && QApplication::activeModalWidget(); ++i) {
                QWidget* open = QApplication::activeModalWidget();
                ADD_FAILURE() << "a window stayed open: " << open->objectName().toStdString();
                if (auto* dialog = qobject_cast<QDialog*>(open))
                    dialog->done(-100);
                else
                    open->close();
            }
        });
        modal->activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(modal));
        if (modal)
            action(modal);
    });
}

// A key goes to the focused control, which passes on what it does not use.
inline void PressKey(QWidget* window, Qt::Key key) {
    QTest::keyClick(window->focusWidget() ? window->focusWidget() : window, key);
}

// An answerer installed for a test's lifetime.
template <class T> struct TInstalledAnswerer {
    T answerer;
    TAnswerer* previous = SetAnswerer(&answerer);
    ~TInstalledAnswerer() { SetAnswerer(previous); }
};
