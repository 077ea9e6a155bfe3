#pragma once

#include <QString>

// One transfer run at a time per program directory: two runs appending to the same Transfer.log and
// FailedData.sql would interleave their lines, and one converting a file while the other appends
// would lose the other's. The lock is an flock on "Transfer.lock" in the directory, so the kernel
// drops it when its process ends, however it ends; the text in the file only names the holder.
class TRunLock {
public:
    // Takes the lock of the directory (with its trailing '/'). Raises EKelvoError naming the run that
    // holds it (process id, start time), or saying why the lock file cannot be used.
    explicit TRunLock(const QString& programDir);
    ~TRunLock();
    TRunLock(const TRunLock&) = delete;
    TRunLock& operator=(const TRunLock&) = delete;

private:
    int fd_ = -1;
};

// The lock file of a program directory.
QString RunLockPath(const QString& programDir);
