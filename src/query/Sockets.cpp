#include "query/Sockets.h"

#include <algorithm>
#include <cstdlib>
#include <dirent.h>
#include <sys/socket.h>
#include <sys/stat.h>

namespace {

bool SameSocket(const TSocket& socket) {
    struct stat st {};
    return fstat(socket.Fd, &st) == 0 && S_ISSOCK(st.st_mode) && st.st_ino == socket.Inode;
}

} // namespace

std::vector<TSocket> OpenSockets() {
    std::vector<TSocket> sockets;
    DIR* dir = opendir("/proc/self/fd");
    if (!dir)
        return sockets;
    while (const dirent* entry = readdir(dir)) {
        if (entry->d_name[0] < '0' || entry->d_name[0] > '9')
            continue;
        const int fd = atoi(entry->d_name);
        struct stat st {};
        if (fd != dirfd(dir) && fstat(fd, &st) == 0 && S_ISSOCK(st.st_mode))
            sockets.push_back({fd, static_cast<unsigned long>(st.st_ino)});
    }
    closedir(dir);
    return sockets;
}

std::vector<TSocket> NewSockets(const std::vector<TSocket>& before, const std::vector<TSocket>& after) {
    std::vector<TSocket> added;
    for (const TSocket& s : after) {
        const bool old = std::any_of(before.begin(), before.end(),
                                     [&](const TSocket& b) { return b.Fd == s.Fd && b.Inode == s.Inode; });
        if (!old)
            added.push_back(s);
    }
    return added;
}

void Shut(const std::vector<TSocket>& sockets) {
    for (const TSocket& socket : sockets)
        if (SameSocket(socket))
            shutdown(socket.Fd, SHUT_RDWR);
}
