#include "query/SqlLog.h"

#include "platform/FileFreshness.h"
#include "platform/PathWatch.h"

#include <QFile>
#include <cerrno>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "platform/Errors.h"
#include "platform/IniFile.h"
#include "platform/Paths.h"
#include "platform/ProgramDir.h"
#include "platform/TextFile.h"

namespace {

QByteArray Native(const QString& path) {
    return QFile::encodeName(path);
}

QString SystemError(int error) {
    return QString::fromLocal8Bit(std::strerror(error));
}

bool IsDirectory(const QByteArray& path) {
    struct stat st;
    return ::stat(path.constData(), &st) == 0 && S_ISDIR(st.st_mode);
}

// Login.ini is read again only when it (or, while it is missing, the program directory that would
// receive it) has changed since the last reading.
// Where the kernel reports changes, a ticket on Login.ini replaces the stat.
struct TLoginIniCache {
    bool valid = false;
    QString programDir;
    TFileFreshness freshness;
    QString value;
};

TLoginIniCache& LoginIniCache() {
    static TLoginIniCache cache;
    return cache;
}

struct TDirCache {
    QString requested;
    QByteArray resolved;
};

TDirCache& DirCache() {
    static TDirCache cache;
    return cache;
}

// A log file kept open between writes. It is used again only while its path still names it.
struct TOpenFile {
    QString requested;
    bool append = false;
    QByteArray resolved;
    int fd = -1;
    dev_t dev = 0;
    ino_t ino = 0;
    off_t size = 0;     // as found when the path was checked, or as last written
    TPathTicket ticket; // taken before the file was opened
    quint64 lastUse = 0;
};

class TOpenFiles {
public:
    ~TOpenFiles() { CloseAll(); }

    // The kept file of that path while the path still names it; nullptr otherwise.
    TOpenFile* Reuse(const QString& path, bool append) {
        ++clock_;
        for (auto it = files_.begin(); it != files_.end(); ++it) {
            if (it->append != append || it->requested != path)
                continue;
            if (PathUnchanged(it->ticket)) {
                it->lastUse = clock_;
                return &*it;
            }
            // Something happened in the folder, or the kernel cannot tell: the path itself decides.
            it->ticket = WatchPath(it->resolved, TPathChanges::Identity);
            struct stat st;
            if (::stat(it->resolved.constData(), &st) == 0 && st.st_dev == it->dev && st.st_ino == it->ino) {
                it->size = st.st_size;
                it->lastUse = clock_;
                return &*it;
            }
            ::close(it->fd);
            files_.erase(it);
            break;
        }
        return nullptr;
    }

    TOpenFile& Acquire(const QString& path, bool append) {
        if (TOpenFile* kept = Reuse(path, append))
            return *kept;
        TOpenFile file;
        file.requested = path;
        file.append = append;
        file.resolved = Native(ResolvePath(path));
        file.ticket = WatchPath(file.resolved, TPathChanges::Identity);
        const int flags = O_WRONLY | O_CREAT | O_CLOEXEC | (append ? O_APPEND : 0);
        file.fd = ::open(file.resolved.constData(), flags, 0666);
        if (file.fd < 0)
            throw EKelvoError(QString("Cannot open %1: %2").arg(path, SystemError(errno)));
        struct stat st;
        if (::fstat(file.fd, &st) != 0) {
            const int error = errno;
            ::close(file.fd);
            throw EKelvoError(QString("Cannot open %1: %2").arg(path, SystemError(error)));
        }
        file.dev = st.st_dev;
        file.ino = st.st_ino;
        file.size = st.st_size;
        file.lastUse = clock_;
        if (files_.size() >= MaxOpen)
            EvictOldest();
        files_.push_back(file);
        return files_.back();
    }

    // After a failed write the file is opened anew next time.
    void Drop(const TOpenFile& file) {
        for (auto it = files_.begin(); it != files_.end(); ++it) {
            if (&*it == &file) {
                ::close(it->fd);
                files_.erase(it);
                return;
            }
        }
    }

    void CloseAll() {
        for (const TOpenFile& f : files_)
            ::close(f.fd);
        files_.clear();
    }

private:
    static constexpr size_t MaxOpen = 8;

    void EvictOldest() {
        auto oldest = files_.begin();
        for (auto it = files_.begin(); it != files_.end(); ++it) {
            if (it->lastUse < oldest->lastUse)
                oldest = it;
        }
        ::close(oldest->fd);
        files_.erase(oldest);
    }

    std::vector<TOpenFile> files_;
    quint64 clock_ = 0;
};

TOpenFiles& OpenFiles() {
    static TOpenFiles files;
    return files;
}

// Writes everything, at offset (pwrite) or, with offset < 0, at the end (O_APPEND).
bool WriteAll(int fd, const QByteArray& data, off_t offset) {
    const char* p = data.constData();
    size_t left = size_t(data.size());
    while (left > 0) {
        const ssize_t n = offset >= 0 ? ::pwrite(fd, p, left, offset) : ::write(fd, p, left);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        p += n;
        left -= size_t(n);
        if (offset >= 0)
            offset += n;
    }
    return true;
}

// The lines as written, each ended by CR LF, into a buffer reused from statement to statement. The same
// statement written to a second file (the export after Query.log) is not converted again: the buffer
// keeps a shared copy of the lines it holds, and a list changed since is no longer the same list.
QByteArray& Lines(const QStringList& lines) {
    static QByteArray data;
    static QStringList held;
    static qsizetype heldSize = 0;
    if (!lines.isEmpty() && lines.constData() == held.constData() && lines.size() == held.size()) {
        data.resize(heldSize); // without the tail the last file added
        return data;
    }
    held = QStringList();
    if (data.capacity() > 4 * 1024 * 1024)
        data = QByteArray(); // a large statement's buffer is not kept for the next one
    data.resize(0);
    for (int i = 0; i < lines.size(); ++i) {
        AppendLineUtf8(data, lines[i], i, {});
        data += "\r\n";
    }
    heldSize = data.size();
    if (data.capacity() <= 4 * 1024 * 1024)
        held = lines;
    return data;
}

// Overwrites the file with the parts nextPart gives. Overwriting in place, then cutting to length, never
// shows a reader an empty file and avoids the flush that file systems make when closing a file truncated
// to zero. Cutting is costly even when nothing is cut, so only a longer file is cut.
void ReplaceWith(const QString& fileName, const std::function<bool(QByteArray&)>& nextPart, TOpenFile& file) {
    off_t length = 0;
    QByteArray part;
    bool written = true;
    while (written && nextPart(part)) {
        written = WriteAll(file.fd, part, length);
        length += off_t(part.size());
    }
    if (!written || (file.size > length && ::ftruncate(file.fd, length) != 0)) {
        const int error = errno;
        // Half a statement would pass for the last one: an empty file says nothing wrong.
        (void)::ftruncate(file.fd, 0);
        OpenFiles().Drop(file);
        throw EKelvoError(QString("Cannot write to %1: %2").arg(fileName, SystemError(error)));
    }
    file.size = length;
}

void Replace(const QString& fileName, const QByteArray& data, TOpenFile& file) {
    ReplaceWith(fileName, OnePart(data), file);
}

void Append(const QString& fileName, const std::function<bool(QByteArray&)>& nextPart, TOpenFile& file) {
    if (!AppendPartsAllOrNothing(file.fd, nextPart, fileName)) {
        const int error = errno;
        OpenFiles().Drop(file);
        throw EWriteError(QString("Cannot write to %1: %2; the file was cut back to its last whole statement")
                              .arg(fileName, SystemError(error)));
    }
}

// A statement block, the lines then tail. One holding large values is made a part at a time, anew for
// each file it goes to, so its literal is never whole in memory; any other is made once, into the buffer
// reused from statement to statement, and tail is added to it.
class TBlock {
public:
    TBlock(const QStringList& lines, const TLargeSplices& splices)
        : lines_(lines), splices_(splices), data_(splices.empty() ? &Lines(lines) : nullptr) {}
    std::function<bool(QByteArray&)> Parts(const char* tail) {
        if (data_)
            return OnePart(*data_ += tail);
        auto parts = std::make_shared<TStatementParts>(lines_, splices_, QByteArray(tail));
        return [parts](QByteArray& part) { return parts->Next(part); };
    }

private:
    const QStringList& lines_;
    const TLargeSplices& splices_;
    QByteArray* data_;
};

// A log file in the log directory; the directory is made only when the file is not already open
// at that path (an open file found at its path proves the directory is there).
TOpenFile& LogFile(const QString& dir, const QString& fileName, bool append) {
    if (TOpenFile* kept = OpenFiles().Reuse(fileName, append))
        return *kept;
    ForceLogDirectory(dir);
    return OpenFiles().Acquire(fileName, append);
}

// dir + name, kept while dir stays the same, so a statement costs no new path.
const QString& LogPath(const QString& dir, const QString& name, QString& cachedDir, QString& cachedPath) {
    if (cachedPath.isEmpty() || cachedDir != dir) {
        cachedDir = dir;
        cachedPath = dir + name;
    }
    return cachedPath;
}

// A name that no file can carry; the block then goes to the fallback file.
bool Unbindable(const QString& fileName) {
    return fileName.isEmpty() || fileName.contains(QChar(0));
}

} // namespace

QString GetLogDir() {
    TLoginIniCache& cache = LoginIniCache();
    const QString programDir = ProgramDir();
    if (cache.valid && cache.programDir == programDir && cache.freshness.Unchanged())
        return cache.value;

    const QString iniName = programDir + "Login.ini";
    cache.freshness.BeginRead(Native(ResolvePath(iniName)));
    // A missing Login.ini may appear: its folder tells.
    if (!cache.freshness.Exists())
        cache.freshness.StampInstead(Native(programDir));
    try {
        cache.value = IniReadString(iniName, "SQL_LOG", "PATH", programDir + "Log/");
    } catch (const EKelvoError&) {
        // An unreadable Login.ini (or one that is a folder) means the default folder, as a missing one.
        cache.value = programDir + "Log/";
    }
    cache.programDir = programDir;
    cache.freshness.EndRead();
    cache.valid = true;
    return cache.value;
}

void ForceLogDirectory(const QString& dir) {
    if (dir.isEmpty())
        throw EKelvoError("Unable to create the log directory: [SQL_LOG] PATH in Login.ini is empty.");
    TDirCache& cache = DirCache();
    if (cache.requested == dir && IsDirectory(cache.resolved))
        return;
    ForceDirectories(dir);
    cache.requested = dir;
    cache.resolved = Native(ResolvePath(dir));
}

void ReplaceFile(const QString& fileName, const QStringList& lines) {
    Replace(fileName, Lines(lines), OpenFiles().Acquire(fileName, false));
}

void AppendToFile(const QString& fileName, const QStringList& lines, const TLargeSplices& splices) {
    if (lines.isEmpty())
        return;
    const QString target = Unbindable(fileName) ? ProgramDir() + "Datoteka.txt" : fileName;
    Append(target, TBlock(lines, splices).Parts(";\r\n\r\n"), OpenFiles().Acquire(target, true));
}

void LogStatement(const QStringList& lines, bool toModifyLog, const TLargeSplices& splices) {
    static QString queryDir, queryPath, modifyDir, modifyPath;
    const TPathCheckMoment oneMoment;
    QString dir = GetLogDir();
    if (dir.isEmpty())
        ForceLogDirectory(dir); // raises: no directory to log into
    TBlock block(lines, splices);
    const QString& query = LogPath(dir, "Query.log", queryDir, queryPath);
    ReplaceWith(query, block.Parts(""), LogFile(dir, query, false));
    if (toModifyLog) {
        dir = GetLogDir();
        const QString& modify = LogPath(dir, "Modify.log", modifyDir, modifyPath);
        Append(modify, block.Parts(";\r\n\r\n"), LogFile(dir, modify, true));
    }
}

void CloseStatementLogs() {
    OpenFiles().CloseAll();
}
