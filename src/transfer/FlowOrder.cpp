#include "transfer/FlowOrder.h"

#include <QFile>
#include <QFileInfo>
#include <sys/stat.h>

#include "flows/FlowFile.h"
#include "platform/IniFile.h"
#include "platform/Paths.h"
#include "platform/ProgramDir.h"

void TFlowOrder::Read(const QString& name, TEntry& entry) {
    const timespec readStart = WallClockNow();
    const QString path = FlowTransferPath(name);
    entry.path = QFile::encodeName(ResolvePath(path));
    entry.stamp = FileStampOf(entry.path);
    entry.keys.clear();
    for (const QString& key : IniReadSectionKeys(path, "DEPENDENT", TKeyBudget::Whole))
        entry.keys << key.toCaseFolded();
    entry.stale = false;
    entry.settled = StampSettled(entry.stamp, readStart);
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
    return entry.settled && entry.stamp.exists && FileStampOf(entry.path) == entry.stamp;
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
    const TFileStamp folderStamp = FileStampOf(folder);
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
