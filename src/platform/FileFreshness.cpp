#include "platform/FileFreshness.h"

void TFileFreshness::BeginRead(const QByteArray& path) {
    readStart_ = WallClockNow();
    ticket_ = WatchPath(path, TPathChanges::Content);
    stamped_ = path;
    stamp_ = FileStampOf(path);
    read_ = false;
    settled_ = false;
}

void TFileFreshness::StampInstead(const QByteArray& path) {
    stamped_ = path;
    stamp_ = FileStampOf(path);
}

void TFileFreshness::EndRead() {
    settled_ = StampSettled(stamp_, readStart_);
    read_ = true;
}

bool TFileFreshness::Unchanged() const {
    if (!read_)
        return false;
    if (ticket_.slot >= 0)
        return PathUnchanged(ticket_);
    return settled_ && FileStampOf(stamped_) == stamp_;
}
