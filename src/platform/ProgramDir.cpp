#include "platform/ProgramDir.h"

#include <QCoreApplication>

namespace {
QString testOverride;
}

QString ProgramDir() {
    if (!testOverride.isEmpty())
        return testOverride;
    QString dir = QCoreApplication::applicationDirPath();
    if (!dir.endsWith('/'))
        dir += '/';
    return dir;
}

void SetProgramDirForTests(const QString& dir) {
    testOverride = dir;
    if (!testOverride.isEmpty() && !testOverride.endsWith('/'))
        testOverride += '/';
}
