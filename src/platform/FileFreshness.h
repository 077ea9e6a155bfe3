#pragma once

// Whether what the program read from a file still holds: the kernel's word while it watches the path,
// else the file's stamp once the clock has passed its times. The one freshness test every cache of a
// file's content uses.

#include <QByteArray>

#include "platform/FileStamp.h"
#include "platform/PathWatch.h"

class TFileFreshness {
public:
    // Before reading the file at path (resolved, native): a change while reading spoils the read.
    void BeginRead(const QByteArray& path);
    // When the file is missing, the stamp of another path stands for it (the folder it would appear in).
    void StampInstead(const QByteArray& path);
    // After reading.
    void EndRead();

    bool Exists() const { return stamp_.exists; }
    // True while the file is known to be as it was read; false also when nothing was read yet.
    bool Unchanged() const;

private:
    QByteArray stamped_;
    TPathTicket ticket_;
    TFileStamp stamp_;
    timespec readStart_{};
    bool read_ = false;
    bool settled_ = false;
};
