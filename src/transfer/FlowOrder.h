#pragma once

#include "platform/FileStamp.h"

#include <QHash>
#include <QSet>
#include <QString>
#include <QStringList>
#include <sys/types.h>
#include <time.h>

// Chooses the flows of one run in dependency order. Each flow file's [DEPENDENT] keys are read once
// and kept with what a stat tells about the file; before a flow is answered its file is checked again
// (and read again when it changed), so a file changed during the run counts when its flow starts.
// A changed Files folder (a file written through a rename, as the wizard writes) has every kept file
// checked at the next search.
class TFlowOrder {
public:
    // The first flow in list order that has not run and whose dependencies all have.
    bool NextFlow(const QStringList& flowNames, const QStringList& doneFlows, QString& next);

    // How many flow files were read; the order costs one read per file unless files change.
    int Reads() const { return reads_; }

private:
    struct TEntry {
        QByteArray path; // resolved, native
        TFileStamp stamp;
        bool settled = false; // the stamp proves "unchanged since read"
        bool stale = false;   // to be read again at its next use
        QStringList keys;     // case-folded
    };

    TEntry& Entry(const QString& name);
    void Read(const QString& name, TEntry& entry);
    bool Current(const TEntry& entry) const;
    bool Eligible(const TEntry& entry) const;
    void SyncDone(const QStringList& doneFlows);

    QHash<QString, TEntry> entries_; // by case-folded flow name
    QSet<QString> done_;             // case-folded
    QStringList doneSource_;
    QByteArray folder_;
    TFileStamp folderStamp_;
    int reads_ = 0;
};
