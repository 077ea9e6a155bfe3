#include "platform/TextFile.h"

#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QSaveFile>
#include <QStringDecoder>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/Errors.h"
#include "platform/Paths.h"

namespace {

// Unicode of the bytes 0x80..0xFF in code page 1250; below 0x80 the code page is ASCII.
const char16_t kUpper1250[128] = {
    0x20AC, 0x0081, 0x201A, 0x0083, 0x201E, 0x2026, 0x2020, 0x2021, // 80
    0x0088, 0x2030, 0x0160, 0x2039, 0x015A, 0x0164, 0x017D, 0x0179, // 88
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014, // 90
    0x0098, 0x2122, 0x0161, 0x203A, 0x015B, 0x0165, 0x017E, 0x017A, // 98
    0x00A0, 0x02C7, 0x02D8, 0x0141, 0x00A4, 0x0104, 0x00A6, 0x00A7, // A0
    0x00A8, 0x00A9, 0x015E, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x017B, // A8
    0x00B0, 0x00B1, 0x02DB, 0x0142, 0x00B4, 0x00B5, 0x00B6, 0x00B7, // B0
    0x00B8, 0x0105, 0x015F, 0x00BB, 0x013D, 0x02DD, 0x013E, 0x017C, // B8
    0x0154, 0x00C1, 0x00C2, 0x0102, 0x00C4, 0x0139, 0x0106, 0x00C7, // C0
    0x010C, 0x00C9, 0x0118, 0x00CB, 0x011A, 0x00CD, 0x00CE, 0x010E, // C8
    0x0110, 0x0143, 0x0147, 0x00D3, 0x00D4, 0x0150, 0x00D6, 0x00D7, // D0
    0x0158, 0x016E, 0x00DA, 0x0170, 0x00DC, 0x00DD, 0x0162, 0x00DF, // D8
    0x0155, 0x00E1, 0x00E2, 0x0103, 0x00E4, 0x013A, 0x0107, 0x00E7, // E0
    0x010D, 0x00E9, 0x0119, 0x00EB, 0x011B, 0x00ED, 0x00EE, 0x010F, // E8
    0x0111, 0x0144, 0x0148, 0x00F3, 0x00F4, 0x0151, 0x00F6, 0x00F7, // F0
    0x0159, 0x016F, 0x00FA, 0x0171, 0x00FC, 0x00FD, 0x0163, 0x02D9, // F8
};

bool IsAscii(const QByteArray& bytes) {
    for (char c : bytes) {
        if (static_cast<unsigned char>(c) >= 0x80)
            return false;
    }
    return true;
}

bool DecodeUtf8(const QByteArray& bytes, QString& text) {
    // Stateless, so a sequence cut off at the end counts as invalid instead of being held back.
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    text = decoder.decode(bytes);
    return !decoder.hasError();
}

EKelvoError WriteFailure(const QString& path) {
    return EKelvoError(QString("Unable to write to %1").arg(path));
}

// A file or folder without any write permission counts as read-only even for a user the system lets
// write anyway, as the read-only attribute does on Windows.
bool Writable(const QFileInfo& info) {
    return info.isWritable() &&
           (info.permissions() & (QFile::WriteOwner | QFile::WriteGroup | QFile::WriteOther)) != 0;
}

// Raises unless the resolved target can be written: its folder exists and is writable, and the file,
// if it exists, is a writable regular file.
void CheckWritable(const QString& given, const QString& target) {
    const QFileInfo file(target);
    const QFileInfo folder(file.absolutePath());
    if (!folder.isDir() || !Writable(folder))
        throw WriteFailure(given);
    if (file.exists() && (file.isDir() || !Writable(file)))
        throw WriteFailure(given);
}

// As with writing, a file without any read permission counts as unreadable, also for root.
bool Readable(const QFileInfo& info) {
    return info.isReadable() &&
           (info.permissions() & (QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther)) != 0;
}

struct TWriteFault {
    QString fileName;
    qint64 budget = -1;
};

TWriteFault& WriteFault() {
    static TWriteFault fault;
    return fault;
}

// Why a file cannot be read, checked before opening it: opening a pipe would wait for a writer.
QString UnreadableReason(const QFileInfo& info) {
    if (!info.exists())
        return QString();
    if (info.isDir())
        return "it is a folder";
    if (!info.isFile())
        return "it is not a regular file";
    if (!Readable(info))
        return "no permission to read it";
    return QString();
}

QByteArray ReadBytes(const QString& given, const QString& target) {
    QFile file(target);
    const QFileInfo info(target);
    if (const QString reason = UnreadableReason(info); !reason.isEmpty())
        throw EKelvoError(QString("Cannot open file \"%1\": %2").arg(given, reason));
    if (!info.exists() || !file.open(QIODevice::ReadOnly))
        throw EKelvoError(QString("Cannot open file \"%1\"").arg(given));
    QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        throw EKelvoError(QString("Cannot read file \"%1\": %2").arg(given, file.errorString()));
    return bytes;
}

void WriteBytes(const QString& given, const QString& target, const QByteArray& bytes) {
    CheckWritable(given, target);
    QSaveFile file(target);
    if (!file.open(QIODevice::WriteOnly))
        throw WriteFailure(given);
    if (file.write(bytes) != bytes.size()) {
        file.cancelWriting();
        throw WriteFailure(given);
    }
    if (!file.commit())
        throw WriteFailure(given);
}

// Sizes of files this process has appended to and knows to be UTF-8, so repeated appends of non-ASCII
// text (failed statements, logs) do not read the whole file again each time.
QHash<QString, qint64>& KnownUtf8Sizes() {
    static QHash<QString, qint64> sizes;
    return sizes;
}

// Waits for the file's flock, which every appender of this program takes. A file system without
// locks (some network mounts) is appended to unlocked, as before: O_APPEND still keeps lines whole.
bool LockForAppend(int fd) {
    while (::flock(fd, LOCK_EX) != 0) {
        if (errno == EINTR)
            continue;
        return errno == ENOLCK || errno == EOPNOTSUPP || errno == ENOSYS;
    }
    return true;
}

// True while the path still names the open file: a converter may have replaced it while we waited.
bool StillNamed(int fd, const QString& target) {
    struct stat open, named;
    return ::fstat(fd, &open) == 0 && ::stat(QFile::encodeName(target).constData(), &named) == 0 &&
           open.st_dev == named.st_dev && open.st_ino == named.st_ino;
}

// Opens for appending without waiting on a pipe put there since the check, and refuses anything but a
// regular file.
int OpenForAppend(const QString& given, const QString& target) {
    const int fd = ::open(QFile::encodeName(target).constData(),
                          O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC | O_NONBLOCK, 0666);
    if (fd < 0)
        throw WriteFailure(given);
    struct stat st;
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        throw WriteFailure(given);
    }
    return fd;
}

struct TCloseFd {
    int fd;
    ~TCloseFd() { ::close(fd); }
};

} // namespace

QString DecodeWindows1250(const QByteArray& bytes) {
    QString text(bytes.size(), Qt::Uninitialized);
    QChar* out = text.data();
    for (char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        *out++ = b < 0x80 ? QChar(b) : QChar(kUpper1250[b - 0x80]);
    }
    return text;
}

QString DecodeText(const QByteArray& bytes) {
    QString text;
    if (DecodeUtf8(bytes, text))
        return text;
    return DecodeWindows1250(bytes);
}

QStringList SplitTextLines(const QString& text) {
    QStringList lines;
    qsizetype start = 0;
    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n; ++i) {
        const QChar c = text[i];
        if (c == '\r' || c == '\n') {
            lines << text.mid(start, i - start);
            if (c == '\r' && i + 1 < n && text[i + 1] == '\n')
                ++i;
            start = i + 1;
        }
    }
    if (start < n)
        lines << text.mid(start);
    return lines;
}

QString ReadTextFile(const QString& path) {
    return DecodeText(ReadBytes(path, ResolvePath(path)));
}

QStringList ReadTextLines(const QString& path) {
    return SplitTextLines(ReadTextFile(path));
}

void CheckTextFile(const QString& path) {
    const QString target = ResolvePath(path);
    if (!QFileInfo::exists(target))
        return;
    if (ReadTextFile(path).contains(QChar(0)))
        throw EKelvoError(QString("The file \"%1\" is not a text file").arg(path));
}

void WriteTextFile(const QString& path, const QString& text) {
    const QString target = ResolvePath(path);
    WriteBytes(path, target, text.toUtf8());
    KnownUtf8Sizes().remove(target);
}

void WriteTextLines(const QString& path, const QStringList& lines, const QString& lineEnd) {
    QString text;
    for (const QString& line : lines) {
        text += line;
        text += lineEnd;
    }
    WriteTextFile(path, text);
}

void AppendTextLines(const QString& path, const QStringList& lines) {
    const QString target = ResolvePath(path);
    CheckWritable(path, target);
    QByteArray bytes;
    for (const QString& line : lines) {
        bytes += line.toUtf8();
        bytes += "\r\n";
    }

    // Another run or program may append to the same file, or convert it: the check, the conversion
    // and the append happen under the file's lock, and a file replaced meanwhile is opened again.
    for (int attempt = 0;; ++attempt) {
        const TCloseFd file{OpenForAppend(path, target)};
        if (!LockForAppend(file.fd))
            throw EWriteError(QString("Unable to write to %1: %2").arg(path, SystemErrorText(errno)));
        if (!StillNamed(file.fd, target)) {
            if (attempt < 100)
                continue;
            throw WriteFailure(path);
        }
        struct stat st;
        const qint64 oldSize = ::fstat(file.fd, &st) == 0 ? qint64(st.st_size) : -1;
        bool knownUtf8 = oldSize == 0 || (oldSize > 0 && KnownUtf8Sizes().value(target, -1) == oldSize);
        if (!knownUtf8 && !IsAscii(bytes)) {
            const QByteArray old = ReadBytes(path, target);
            QString oldText;
            if (!DecodeUtf8(old, oldText)) {
                // Replaced (temporary file, rename) while the old file is locked: its waiting appenders
                // find it replaced and append to the converted file.
                const QByteArray converted = DecodeWindows1250(old).toUtf8();
                WriteBytes(path, target, converted);
                KnownUtf8Sizes().insert(target, converted.size());
                continue;
            }
            knownUtf8 = true;
        }
        if (!AppendAllOrNothing(file.fd, bytes, target))
            throw EWriteError(
                QString("Unable to write to %1: %2; the file was cut back to its last whole entry")
                    .arg(path, SystemErrorText(errno)));
        if (knownUtf8 && ::fstat(file.fd, &st) == 0)
            KnownUtf8Sizes().insert(target, qint64(st.st_size));
        else
            KnownUtf8Sizes().remove(target);
        return;
    }
}

void AppendTextLine(const QString& path, const QString& line) {
    AppendTextLines(path, QStringList{line});
}

QString SystemErrorText(int error) {
    return QString::fromLocal8Bit(std::strerror(error));
}

void SetWriteFaultForTests(const QString& fileName, qint64 bytesBeforeFailure) {
    WriteFault() = {fileName, fileName.isEmpty() ? -1 : bytesBeforeFailure};
}

namespace {

// Writes bytes at the file's end, counting what reached it into written. False, errno set, when not all
// did.
bool WriteCounted(int fd, const QByteArray& bytes, const QString& path, qint64& written) {
    TWriteFault& fault = WriteFault();
    qint64 unlimited = -1;
    qint64& budget = !fault.fileName.isEmpty() && path.endsWith(fault.fileName) ? fault.budget : unlimited;
    const char* p = bytes.constData();
    qint64 left = bytes.size();
    while (left > 0) {
        qint64 chunk = left;
        if (budget >= 0 && chunk > budget)
            chunk = budget;
        const ssize_t n = chunk > 0 ? ::write(fd, p, size_t(chunk)) : -1;
        if (chunk == 0)
            errno = ENOSPC;
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        if (budget >= 0)
            budget -= n;
        p += n;
        left -= n;
        written += n;
    }
    return true;
}

} // namespace

bool AppendPartsAllOrNothing(int fd, const std::function<bool(QByteArray&)>& nextPart, const QString& path) {
    // Held for the write and any cut back, so no other appender's lines land inside or are cut.
    if (!LockForAppend(fd))
        return false;
    qint64 written = 0;
    QByteArray part;
    bool whole = true;
    while (whole && nextPart(part))
        whole = WriteCounted(fd, part, path, written);
    int error = errno;
    if (!whole) {
        // Half a statement glued to the next would load a fraction on replay: nothing of it stays. The
        // file ends with what this call wrote (no other appender writes while the lock is held), so the
        // cut is found from its size now rather than asked before every write.
        struct stat st;
        if (written > 0 && (::fstat(fd, &st) != 0 || ::ftruncate(fd, st.st_size - off_t(written)) != 0) &&
            error == 0)
            error = errno;
    }
    (void)::flock(fd, LOCK_UN);
    errno = error;
    return whole;
}

bool AppendAllOrNothing(int fd, const QByteArray& bytes, const QString& path) {
    return AppendPartsAllOrNothing(fd, OnePart(bytes), path);
}

std::function<bool(QByteArray&)> OnePart(const QByteArray& bytes) {
    return [bytes, given = false](QByteArray& part) mutable {
        if (given)
            return false;
        part = bytes;
        given = true;
        return true;
    };
}

QString TrimControl(const QString& text) {
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && text[begin].unicode() <= ' ')
        ++begin;
    while (end > begin && text[end - 1].unicode() <= ' ')
        --end;
    return text.mid(begin, end - begin);
}
