#include "platform/Paths.h"

#include <QDir>
#include <QFileInfo>

#include "platform/Errors.h"

namespace {

bool Exists(const QString& path) {
    return QFileInfo::exists(path);
}

// The entry of dir whose name equals name without regard to case; empty when there is none.
QString FindIgnoringCase(const QString& dir, const QString& name) {
    const QStringList entries = QDir(dir).entryList(
        QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
    for (const QString& entry : entries) {
        if (entry.compare(name, Qt::CaseInsensitive) == 0)
            return entry;
    }
    return {};
}

} // namespace

QString ToSlashes(const QString& path) {
    QString result = path;
    result.replace('\\', '/');
    return result;
}

QString ResolvePath(const QString& path) {
    const QString given = ToSlashes(path);
    // Most paths are spelled as on disk; one stat settles them.
    if (given.isEmpty() || Exists(given))
        return given;

    const bool absolute = given.startsWith('/');
    const bool trailingSlash = given.endsWith('/') && given.size() > 1;
    const QStringList parts = given.split('/', Qt::SkipEmptyParts);
    QString result = absolute ? QStringLiteral("/") : QString();
    bool parentExists = true;
    for (const QString& part : parts) {
        const QString base = result.isEmpty() ? QStringLiteral(".") : result;
        QString name = part;
        if (parentExists && part != "." && part != "..") {
            const QString exact = result + part;
            if (!Exists(exact)) {
                const QString match = FindIgnoringCase(base, part);
                if (match.isEmpty())
                    parentExists = false;
                else
                    name = match;
            }
        }
        result += name;
        result += '/';
    }
    if (!trailingSlash && result.size() > 1)
        result.chop(1);
    return result;
}

bool FileExists(const QString& path) {
    return !path.isEmpty() && Exists(ResolvePath(path));
}

void ForceDirectories(const QString& dir) {
    const QString resolved = ResolvePath(dir);
    if (QFileInfo(resolved).isDir())
        return;
    if (!QDir().mkpath(resolved))
        throw EKelvoError(QString("Unable to create directory %1").arg(dir));
}
