#pragma once

// Tells whether anything happened at a path since a moment, without a file system call per question:
// on local file systems the kernel reports every change (inotify) as it is made, so a ticket that is
// still unchanged proves what a fresh stat would. Where the kernel cannot report (no inotify, a
// network or FUSE file system, a relative path, too many paths), a ticket is never unchanged and the
// caller looks at the file itself, as it would without a watch.
//
// A ticket covers the path's name in its folder and the name of every folder on the way (created,
// removed, renamed, replaced); a content ticket also covers writes to the file and changes of its
// times or permissions. Take the ticket before looking at the file, so a change made while looking
// spoils it.

#include <QByteArray>
#include <QtGlobal>

struct TPathTicket {
    int slot = -1;
    quint64 generation = 0;
};

enum class TPathChanges { Identity, Content };

TPathTicket WatchPath(const QByteArray& absoluteNativePath, TPathChanges changes);

// Tests of the callers' stat fallback turn the kernel's reports off (new tickets are never unchanged).
void SetPathWatchingForTests(bool on);

// True while nothing has happened at the ticket's path since the ticket was taken.
bool PathUnchanged(const TPathTicket& ticket);

// While one lives on a thread, the checks it makes count as one moment: the kernel is asked once, at
// the first. For steps that run no one else's code between their checks (as a stat before each of
// their writes could not tell them apart either).
class TPathCheckMoment {
public:
    TPathCheckMoment();
    ~TPathCheckMoment();
    TPathCheckMoment(const TPathCheckMoment&) = delete;
    TPathCheckMoment& operator=(const TPathCheckMoment&) = delete;
};

// Inside a moment, the next check asks the kernel again: for files written after a long step of the
// moment's own (a batch of rows composed in one moment, then written).
void RenewPathCheckMoment();

// Others' code (window messages, a dialog, a wait's pump) may change any path: inside a moment, the
// checks after it, and its own, ask the kernel again.
class TOthersCodeScope {
public:
    TOthersCodeScope();
    ~TOthersCodeScope();
    TOthersCodeScope(const TOthersCodeScope&) = delete;
    TOthersCodeScope& operator=(const TOthersCodeScope&) = delete;
};

// How often others' code has begun to run on this thread: a setting that only it can change (one the
// operator edits in a window) needs reading again only when this has moved.
quint64 OthersCodeRuns();
