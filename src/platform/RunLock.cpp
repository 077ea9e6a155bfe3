#include "platform/RunLock.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/Errors.h"
#include "platform/TextFile.h"

namespace {

// What the holder wrote: "process <pid> (<program>), started <time>"; empty while it is being written.
QString HolderText(int fd) {
    char buffer[512];
    const ssize_t n = ::pread(fd, buffer, sizeof buffer - 1, 0);
    return n > 0 ? QString::fromUtf8(buffer, n).trimmed() : QString();
}

EKelvoError LockFailure(const QString& path, const QString& reason) {
    return EKelvoError(QString("Cannot lock the program directory with %1: %2").arg(path, reason));
}

} // namespace

QString RunLockPath(const QString& programDir) {
    return programDir + "Transfer.lock";
}

TRunLock::TRunLock(const QString& programDir) {
    const QString path = RunLockPath(programDir);
    const QByteArray native = QFile::encodeName(path);
    // The type is looked at before opening, and O_NONBLOCK keeps a pipe put there from holding us up.
    struct stat st;
    if (::lstat(native.constData(), &st) == 0 && !S_ISREG(st.st_mode))
        throw LockFailure(path, "it is not a regular file");
    fd_ = ::open(native.constData(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK, 0666);
    if (fd_ < 0)
        throw LockFailure(path, SystemErrorText(errno));
    int error = 0;
    while (::flock(fd_, LOCK_EX | LOCK_NB) != 0) {
        if (errno == EINTR)
            continue;
        error = errno;
        break;
    }
    if (error != 0) {
        const QString holder = HolderText(fd_);
        ::close(fd_);
        fd_ = -1;
        if (error != EWOULDBLOCK)
            throw LockFailure(path, SystemErrorText(error));
        throw EKelvoError(
            QString("Another transfer is running in the program directory %1 (%2). Start this "
                    "one when it has ended.")
                .arg(QFileInfo(path).absolutePath(), holder.isEmpty() ? "it is starting" : holder));
    }
    const QString program = QFileInfo(QCoreApplication::applicationFilePath()).fileName();
    const QByteArray text = QString("process %1 (%2), started %3\n")
                                .arg(::getpid())
                                .arg(program.isEmpty() ? "?" : program,
                                     QDateTime::currentDateTime().toString("yyyy-MM-dd hh:mm:ss"))
                                .toUtf8();
    // Only informs a second run; the flock alone decides, so a run holding it goes on whether or not
    // the text could be written (a full disk is reported by the run's first log line).
    if (::ftruncate(fd_, 0) == 0)
        (void)::pwrite(fd_, text.constData(), size_t(text.size()), 0);
}

TRunLock::~TRunLock() {
    if (fd_ < 0)
        return;
    // Emptied while still held, so no later reader takes an ended run for a running one.
    (void)::ftruncate(fd_, 0);
    ::close(fd_);
}
