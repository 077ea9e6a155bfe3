#include "platform/PathWatch.h"

#include <QHash>
#include <QSet>
#include <QString>
#include <atomic>
#include <cerrno>
#include <fcntl.h>
#include <mutex>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <sys/vfs.h>
#include <unistd.h>
#include <vector>

namespace {

// File systems whose changes all pass through this kernel, so inotify sees every one of them.
bool LocalFileSystem(const QByteArray& path) {
    struct statfs fs;
    if (::statfs(path.constData(), &fs) != 0)
        return false;
    switch (static_cast<unsigned long>(fs.f_type)) {
    case 0xEF53UL:     // ext2, ext3, ext4
    case 0x58465342UL: // xfs
    case 0x9123683EUL: // btrfs
    case 0x01021994UL: // tmpfs
    case 0x858458F6UL: // ramfs
    case 0x794C7630UL: // overlay
    case 0xF2F52010UL: // f2fs
    case 0x2FC12FC1UL: // zfs
    case 0xCA451A4EUL: // bcachefs
    case 0x3153464AUL: // jfs
    case 0x52654973UL: // reiserfs
    case 0x4D44UL:     // vfat
    case 0x2011BAB0UL: // exfat
    case 0x7366746EUL: // ntfs3
        return true;
    default:
        return false;
    }
}

constexpr uint32_t FolderEvents = IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO | IN_DELETE_SELF |
                                  IN_MOVE_SELF | IN_ONLYDIR | IN_MASK_ADD;
constexpr uint32_t FileEvents =
    IN_MODIFY | IN_ATTRIB | IN_CLOSE_WRITE | IN_DELETE_SELF | IN_MOVE_SELF | IN_MASK_ADD;
constexpr size_t MaxSlots = 1024;

struct TMoment {
    int depth = 0;
    bool asked = false;
    quint64 othersCode = 0; // scopes of others' code entered
};
thread_local TMoment moment;

class TWatcher {
public:
    TWatcher() : fd_(inotify_init1(IN_NONBLOCK | IN_CLOEXEC)) {}
    ~TWatcher() {
        if (fd_ >= 0)
            ::close(fd_);
    }

    TPathTicket Watch(const QByteArray& path, TPathChanges changes) {
        std::lock_guard<std::mutex> lock(mutex_);
        if (fd_ < 0 || !path.startsWith('/') || path.contains("/../") || path.endsWith("/.."))
            return {};
        const QByteArray key = (changes == TPathChanges::Content ? "C" : "I") + path;
        if (unwatchable_.contains(key))
            return {};
        Drain();
        auto found = slotOf_.constFind(key);
        int slot;
        if (found != slotOf_.constEnd()) {
            slot = *found;
        } else {
            if (generations_.size() >= MaxSlots)
                return {};
            slot = int(generations_.size());
            generations_.push_back(0);
            slotOf_.insert(key, slot);
        }
        // Taken before the watches are set, so an event that comes while they are set spoils it.
        const TPathTicket ticket{slot, generations_[size_t(slot)]};
        if (!AddWatches(path, changes, slot)) {
            // Asking again would cost the same calls for the same answer.
            unwatchable_.insert(key);
            return {};
        }
        return ticket;
    }

    bool Unchanged(const TPathTicket& ticket) {
        if (ticket.slot < 0)
            return false;
        std::lock_guard<std::mutex> lock(mutex_);
        if (moment.depth == 0 || !moment.asked)
            Drain();
        moment.asked = moment.depth > 0;
        return generations_[size_t(ticket.slot)] == ticket.generation;
    }

private:
    struct TFolder {
        // A name in the folder, case-folded as paths resolve without regard to case, and the slot it serves.
        std::vector<std::pair<QString, int>> names;
        std::vector<int> own; // slots served by the watched thing itself
    };

    static void AddOnce(std::vector<int>& list, int slot) {
        for (int s : list)
            if (s == slot)
                return;
        list.push_back(slot);
    }

    // The folder of every step of the path, from the root down, for its next name; the file itself for
    // content. The deepest folder that exists decides whether the kernel can report.
    bool AddWatches(const QByteArray& path, TPathChanges changes, int slot) {
        QByteArray folder = "/";
        qsizetype start = 1;
        QByteArray deepest = folder;
        bool folderExists = true;
        while (start <= path.size()) {
            qsizetype end = path.indexOf('/', start);
            if (end < 0)
                end = path.size();
            const QByteArray name = path.mid(start, end - start);
            if (!name.isEmpty() && name != ".") {
                if (folderExists) {
                    const int wd = inotify_add_watch(fd_, folder.constData(), FolderEvents);
                    if (wd < 0) {
                        if (errno != ENOENT && errno != ENOTDIR)
                            return false;
                        folderExists = false;
                    } else {
                        deepest = folder;
                        TFolder& f = folders_[wd];
                        AddOnce(f.own, slot);
                        const QString folded = QString::fromUtf8(name).toCaseFolded();
                        bool known = false;
                        for (const auto& n : f.names)
                            known = known || (n.second == slot && n.first == folded);
                        if (!known)
                            f.names.emplace_back(folded, slot);
                    }
                }
                folder += (folder.endsWith('/') ? "" : "/") + name;
            }
            start = end + 1;
        }
        if (!LocalFileSystem(deepest))
            return false;
        if (changes == TPathChanges::Content && folderExists) {
            const int wd = inotify_add_watch(fd_, path.constData(), FileEvents);
            if (wd >= 0)
                AddOnce(folders_[wd].own, slot);
            else if (errno != ENOENT && errno != ENOTDIR)
                return false;
        }
        return true;
    }

    void Spoil(const std::vector<int>& served) {
        for (int s : served)
            ++generations_[size_t(s)];
    }

    void Drain() {
        alignas(inotify_event) char buffer[4096];
        for (;;) {
            const ssize_t n = ::read(fd_, buffer, sizeof buffer);
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                return; // EAGAIN: nothing more has happened
            for (ssize_t at = 0; at < n;) {
                const auto* e = reinterpret_cast<const inotify_event*>(buffer + at);
                at += ssize_t(sizeof(inotify_event) + e->len);
                Handle(*e);
            }
        }
    }

    void Handle(const inotify_event& e) {
        if (e.mask & IN_Q_OVERFLOW) {
            for (quint64& g : generations_)
                ++g;
            return;
        }
        auto it = folders_.find(e.wd);
        if (it == folders_.end())
            return;
        if (e.len == 0 || (e.mask & (IN_DELETE_SELF | IN_MOVE_SELF | IN_IGNORED | IN_UNMOUNT))) {
            Spoil(it->own);
            if (e.mask & IN_IGNORED)
                folders_.erase(it);
            return;
        }
        const QString name = QString::fromUtf8(e.name).toCaseFolded(); // the kernel pads it with NULs
        for (const auto& n : it->names)
            if (n.first == name)
                ++generations_[size_t(n.second)];
    }

    std::mutex mutex_;
    int fd_;
    QHash<QByteArray, int> slotOf_;
    QSet<QByteArray> unwatchable_;
    std::vector<quint64> generations_;
    QHash<int, TFolder> folders_;
};

TWatcher& Watcher() {
    static TWatcher watcher;
    return watcher;
}

std::atomic<bool> watching{true};

} // namespace

TPathTicket WatchPath(const QByteArray& absoluteNativePath, TPathChanges changes) {
    return watching ? Watcher().Watch(absoluteNativePath, changes) : TPathTicket{};
}

void SetPathWatchingForTests(bool on) {
    watching = on;
}

bool PathUnchanged(const TPathTicket& ticket) {
    return Watcher().Unchanged(ticket);
}

TPathCheckMoment::TPathCheckMoment() {
    ++moment.depth;
}

TPathCheckMoment::~TPathCheckMoment() {
    if (--moment.depth == 0)
        moment.asked = false;
}

void RenewPathCheckMoment() {
    moment.asked = false;
}

TOthersCodeScope::TOthersCodeScope() {
    moment.asked = false;
    ++moment.othersCode;
}

quint64 OthersCodeRuns() {
    return moment.othersCode;
}

TOthersCodeScope::~TOthersCodeScope() {
    moment.asked = false;
}
