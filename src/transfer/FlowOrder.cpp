#include "transfer/FlowOrder.h"

#include <QFile>

#include "flows/FlowFile.h"
#include "platform/IniFile.h"
#include "platform/Paths.h"
#include "platform/ProgramDir.h"

void TFlowOrder::Read(const QString& name, TEntry& entry) {
    const QString path = FlowTransferPath(name);
    entry.freshness.BeginRead(QFile::encodeName(ResolvePath(path)));
    entry.keys.clear();
    for (const QString& key : IniReadSectionKeys(path, "DEPENDENT", TKeyBudget::Whole))
        entry.keys << key.toCaseFolded();
    entry.freshness.EndRead();
    ++reads_;
}

bool TFlowOrder::Current(const TEntry& entry) const {
    // A missing file may appear under any spelling, so it is looked for again.
    return entry.freshness.Exists() && entry.freshness.Unchanged();
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
    // A flow that waits is checked too: an edit that drops one of its dependencies lets it run.
    const TPathCheckMoment oneMoment;
    for (const QString& name : flowNames) {
        const QString folded = name.toCaseFolded();
        if (done_.contains(folded))
            continue;
        auto it = entries_.find(folded);
        if (it == entries_.end()) {
            it = entries_.insert(folded, TEntry());
            Read(name, *it);
        } else if (!Current(*it)) {
            Read(name, *it);
        }
        if (!Eligible(*it))
            continue;
        next = name;
        return true;
    }
    return false;
}
