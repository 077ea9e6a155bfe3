#include "transfer/FlowOrder.h"

#include <QFile>
#include <QFileInfo>
#include <sys/stat.h>

#include "flows/FlowFile.h"
#include "platform/IniFile.h"
#include "platform/Paths.h"
#include "platform/ProgramDir.h"

namespace {

timespec Clock() {
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    return now;
}

bool Before(const timespec& a, const timespec& b) {
    return a.tv_sec < b.tv_sec || (a.tv_sec == b.tv_sec && a.tv_nsec < b.tv_nsec);
}

// File times tick every few milliseconds (whole seconds on some file systems), so a change made in
// the tick of our reading leaves the stamp as it was: a stamp proves nothing until the clock has
// clearly passed it.
bool SettledAt(const timespec& latest, const timespec& readStart) {
    if (latest.tv_nsec == 0)
        return readStart.tv_sec > latest.tv_sec + 2;
    const qint64 ageNs =
        (qint64(readStart.tv_sec) - latest.tv_sec) * 1000000000 + (readStart.tv_nsec - latest.tv_nsec);
    return ageNs > 100000000;
}

} // namespace

bool TFlowOrder::TStamp::operator==(const TStamp& o) const {
    auto same = [](const timespec& a, const timespec& b) { return a.tv_sec == b.tv_sec && a.tv_nsec == b.tv_nsec; };
    return exists == o.exists && (!exists || (dev == o.dev && ino == o.ino && size == o.size &&
                                              same(mtime, o.mtime) && same(ctime, o.ctime)));
}

TFlowOrder::TStamp TFlowOrder::StampOf(const QByteArray& path) {
    TStamp s;
    struct stat st;
    if (::stat(path.constData(), &st) != 0)
        return s;
    s.exists = true;
    s.dev = st.st_dev;
    s.ino = st.st_ino;
    s.size = st.st_size;
    s.mtime = st.st_mtim;
    s.ctime = st.st_ctim;
    return s;
}

void TFlowOrder::Read(const QString& name, TEntry& entry) {
    const timespec readStart = Clock();
    const QString path = FlowTransferPath(name);
    entry.path = QFile::encodeName(ResolvePath(path));
    entry.stamp = StampOf(entry.path);
    entry.keys.clear();
    for (const QString& key : IniReadSectionKeys(path, "DEPENDENT", TKeyBudget::Whole))
        entry.keys << key.toCaseFolded();
    const timespec& latest = Before(entry.stamp.mtime, entry.stamp.ctime) ? entry.stamp.ctime : entry.stamp.mtime;
    entry.stale = false;
    entry.settled = entry.stamp.exists ? SettledAt(latest, readStart) : true;
    ++reads_;
}

TFlowOrder::TEntry& TFlowOrder::Entry(const QString& name) {
    const QString folded = name.toCaseFolded();
    auto it = entries_.find(folded);
    if (it == entries_.end()) {
        it = entries_.insert(folded, TEntry());
        Read(name, *it);
    }
    return *it;
}

bool TFlowOrder::Current(const TEntry& entry) const {
    // A missing file may appear under any spelling, so it is looked for again.
    return entry.settled && entry.stamp.exists && StampOf(entry.path) == entry.stamp;
}

bool TFlowOrder::Eligible(const TEntry& entry) const {
    for (const QString& key : entry.keys)
        if (!done_.contains(key))
            return false;
    return true;
}

void TFlowOrder::SyncDone(const QStringList& doneFlows) {
    // Runs only ever add to the list; anything else is taken afresh.
    const bool extends = doneFlows.size() >= doneSource_.size() &&
                         std::equal(doneSource_.begin(), doneSource_.end(), doneFlows.begin());
    if (!extends) {
        done_.clear();
        doneSource_.clear();
    }
    for (qsizetype i = doneSource_.size(); i < doneFlows.size(); ++i)
        done_.insert(doneFlows[i].toCaseFolded());
    doneSource_ = doneFlows;
}

bool TFlowOrder::NextFlow(const QStringList& flowNames, const QStringList& doneFlows, QString& next) {
    SyncDone(doneFlows);
    const QByteArray folder = QFile::encodeName(ResolvePath(ProgramDir() + "Files"));
    const TStamp folderStamp = StampOf(folder);
    if (folder != folder_ || !(folderStamp == folderStamp_)) {
        for (TEntry& entry : entries_)
            entry.stale = entry.stale || !Current(entry);
        folder_ = folder;
        folderStamp_ = folderStamp;
    }
    for (const QString& name : flowNames) {
        if (done_.contains(name.toCaseFolded()))
            continue;
        TEntry& entry = Entry(name);
        if (entry.stale)
            Read(name, entry);
        if (!Eligible(entry))
            continue;
        if (!Current(entry)) {
            Read(name, entry);
            if (!Eligible(entry))
                continue;
        }
        next = name;
        return true;
    }
    return false;
}
