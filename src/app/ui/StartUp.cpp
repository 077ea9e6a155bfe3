#include "app/ui/StartUp.h"

#include <QApplication>
#include <QMetaObject>

#include "app/Data.h"
#include "app/ui/Main.h"

int RunProgram(QApplication& app) {
    QApplication::setApplicationName("Kelvo data transfer");
    TFMain mainWindow;
    FMain = &mainWindow;
    TD data;
    D = &data;
    int code = 0;
    if (data.TerminateRequested) {
        // The request takes effect once the event loop runs, as the main window never shows.
        QMetaObject::invokeMethod(&app, &QCoreApplication::quit, Qt::QueuedConnection);
        code = app.exec();
    } else {
        mainWindow.show();
        code = app.exec();
    }
    D = nullptr;
    FMain = nullptr;
    return code;
}
