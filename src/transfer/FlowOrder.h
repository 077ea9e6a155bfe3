#pragma once

#include "platform/FileFreshness.h"

#include <QHash>
#include <QSet>
#include <QString>
#include <QStringList>
#include <sys/types.h>
#include <time.h>

// Chooses the flows of one run in dependency order. Each flow file's [DEPENDENT] keys are read once and
// kept with a watch on the file; at every search each flow still to run is checked against its watch
// (the kernel is asked once per search) and read again when its file changed, by rename or in place.
class TFlowOrder {
public:
    // The first flow in list order that has not run and whose dependencies all have.
    bool NextFlow(const QStringList& flowNames, const QStringList& doneFlows, QString& next);

    // How many flow files were read; the order costs one read per file unless files change.
    int Reads() const { return reads_; }

private:
    struct TEntry {
        TFileFreshness freshness;
        QStringList keys; // case-folded
    };

    void Read(const QString& name, TEntry& entry);
    bool Current(const TEntry& entry) const;
    bool Eligible(const TEntry& entry) const;
    void SyncDone(const QStringList& doneFlows);

    QHash<QString, TEntry> entries_; // by case-folded flow name
    QSet<QString> done_;             // case-folded
    QStringList doneSource_;
    int reads_ = 0;
};
