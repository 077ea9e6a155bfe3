#include "platform/FileStamp.h"

namespace {

bool SameTime(const timespec& a, const timespec& b) {
    return a.tv_sec == b.tv_sec && a.tv_nsec == b.tv_nsec;
}

} // namespace

bool TFileStamp::operator==(const TFileStamp& o) const {
    return exists == o.exists && (!exists || (dev == o.dev && ino == o.ino && size == o.size &&
                                              SameTime(mtime, o.mtime) && SameTime(ctime, o.ctime)));
}

TFileStamp FileStampOf(const QByteArray& nativePath) {
    TFileStamp s;
    struct stat st;
    if (::stat(nativePath.constData(), &st) != 0)
        return s;
    s.exists = true;
    s.dev = st.st_dev;
    s.ino = st.st_ino;
    s.size = st.st_size;
    s.mtime = st.st_mtim;
    s.ctime = st.st_ctim;
    return s;
}

bool StampSettled(const TFileStamp& s, const timespec& readStart) {
    if (!s.exists)
        return true;
    const bool ctimeLater = s.ctime.tv_sec > s.mtime.tv_sec ||
                            (s.ctime.tv_sec == s.mtime.tv_sec && s.ctime.tv_nsec > s.mtime.tv_nsec);
    const timespec& latest = ctimeLater ? s.ctime : s.mtime;
    // Whole-second stamps come from coarse file systems (two seconds on FAT); a fraction means a clock
    // of a few milliseconds, for which a tenth of a second is ample.
    if (latest.tv_nsec == 0)
        return readStart.tv_sec > latest.tv_sec + 2;
    const qint64 ageNs =
        (qint64(readStart.tv_sec) - latest.tv_sec) * 1000000000 + (readStart.tv_nsec - latest.tv_nsec);
    return ageNs > 100000000;
}

timespec WallClockNow() {
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    return now;
}
