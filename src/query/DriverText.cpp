#include "query/DriverText.h"

#include <QFile>
#include <QFileInfo>
#include <QStringList>
#include <dlfcn.h>
#include <link.h>
#include <odbcinst.h>
#include <sql.h>
#include <sqlext.h>
#include <sqlucode.h>
#include <sys/stat.h>

#include "query/OdbcCalls.h"

QString OdbcProfileString(const QString& section, const char* key, const char* file) {
    char buffer[1024] = {};
    const QByteArray name = section.toUtf8();
    const int n = SQLGetPrivateProfileString(name.constData(), key, "", buffer, int(sizeof buffer), file);
    return n > 0 ? QString::fromUtf8(buffer, qstrnlen(buffer, sizeof buffer)).trimmed() : QString();
}

namespace {

// The driver library files a connection may have loaded: the data source's Driver entry (a path, or
// the name of an odbcinst.ini section holding one) and the file the driver reports.
QStringList DriverFiles(SQLHDBC dbc, const QString& dsn) {
    QStringList files;
    const QString driver = OdbcProfileString(dsn, "Driver", "odbc.ini");
    if (driver.contains('/'))
        files << driver;
    else if (!driver.isEmpty())
        files << OdbcProfileString(driver, "Driver", "odbcinst.ini");
    files << Odbc::InfoText(dbc, SQL_DRIVER_NAME);
    files.removeAll(QString());
    return files;
}

bool SameFile(const QByteArray& loaded, const QString& wanted) {
    if (wanted.contains('/')) {
        struct stat a, b;
        return ::stat(loaded.constData(), &a) == 0 &&
               ::stat(QFile::encodeName(wanted).constData(), &b) == 0 && a.st_dev == b.st_dev &&
               a.st_ino == b.st_ino;
    }
    // A bare name is looked up along the library path: the loaded file or its link target bears it.
    const QFileInfo info(QFile::decodeName(loaded));
    return info.fileName() == wanted || QFileInfo(info.canonicalFilePath()).fileName() == wanted;
}

// The path of the loaded library that is one of the files; empty when none is loaded.
QByteArray LoadedLibrary(const QStringList& files) {
    struct TSearch {
        const QStringList& files;
        QByteArray found;
    } search{files, {}};
    dl_iterate_phdr(
        [](dl_phdr_info* info, size_t, void* data) {
            auto* s = static_cast<TSearch*>(data);
            const QByteArray path(info->dlpi_name);
            if (path.isEmpty())
                return 0;
            for (const QString& file : s->files)
                if (SameFile(path, file)) {
                    s->found = path;
                    return 1;
                }
            return 0;
        },
        &search);
    return search.found;
}

} // namespace

bool DriverHasWideCalls(void* dbc, const QString& dsn) {
    const QByteArray library = LoadedLibrary(DriverFiles(static_cast<SQLHDBC>(dbc), dsn));
    if (library.isEmpty())
        return true;
    void* handle = dlopen(library.constData(), RTLD_LAZY | RTLD_NOLOAD);
    if (!handle)
        return true;
    // A driver linked against the driver manager finds the manager's own function, which does not count.
    void* wide = dlsym(handle, "SQLExecDirectW");
    const bool own = wide && wide != reinterpret_cast<void*>(&::SQLExecDirectW);
    dlclose(handle);
    return own;
}

short ExecDirectText(void* stmt, const QString& text, bool narrow) {
    const auto h = static_cast<SQLHSTMT>(stmt);
    if (!narrow)
        return SQLExecDirectW(h, const_cast<SQLWCHAR*>(reinterpret_cast<const SQLWCHAR*>(text.utf16())),
                              SQLINTEGER(text.size()));
    QByteArray utf8 = text.toUtf8();
    return SQLExecDirect(h, reinterpret_cast<SQLCHAR*>(utf8.data()), SQLINTEGER(utf8.size()));
}
