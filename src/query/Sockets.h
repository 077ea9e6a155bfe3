#pragma once

// The sockets a connection's driver opened, found by comparing the process's sockets before and after
// it connected, and shut when a server stops answering: that ends any driver's wait on them.

#include <vector>

struct TSocket {
    int Fd = -1;
    unsigned long Inode = 0; // tells the socket apart from a later one reusing the number
};

// The sockets this process holds now.
std::vector<TSocket> OpenSockets();
// The sockets of after that are not in before.
std::vector<TSocket> NewSockets(const std::vector<TSocket>& before, const std::vector<TSocket>& after);
// Shuts those of sockets that are still what they were.
void Shut(const std::vector<TSocket>& sockets);
