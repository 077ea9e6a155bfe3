#include "platform/ProgramDir.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace {
QString testOverride;
QString commandLineDir;

QString WithSlash(QString dir) {
    if (!dir.isEmpty() && !dir.endsWith('/'))
        dir += '/';
    return dir;
}

// An installed copy sits in a shared bin/ folder that neither holds the definitions nor may be written
// to; its program directory is the user's own data folder instead, made on first use.
QString DefaultProgramDir() {
    const QString exeDir = QCoreApplication::applicationDirPath();
    if (!QFileInfo(exeDir + "/" + InstalledDataRelativeDir()).isDir())
        return WithSlash(exeDir);
    const QString dir =
        WithSlash(QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation)) + "kelvo-transfer/";
    QDir().mkpath(dir + "Files");
    return dir;
}
} // namespace

QString InstalledDataRelativeDir() {
    return "../share/kelvo-transfer";
}

QString ProgramDir() {
    if (!testOverride.isEmpty())
        return testOverride;
    if (!commandLineDir.isEmpty())
        return commandLineDir;
    static const QString defaultDir = DefaultProgramDir();
    return defaultDir;
}

QString SetProgramDir(const QString& dir) {
    const QFileInfo info(dir);
    if (dir.isEmpty() || !info.isDir())
        return QString("The program directory %1 does not exist.").arg(dir);
    commandLineDir = WithSlash(info.absoluteFilePath());
    return QString();
}

void SetProgramDirForTests(const QString& dir) {
    testOverride = WithSlash(dir);
}
