#pragma once

// A socket bound on loopback: listening but never accepting (a server that
// never answers), or closed again (a port with nothing there at all).

namespace maroka::test {

struct LoopbackSocket {
    explicit LoopbackSocket(bool listen);
    ~LoopbackSocket();
    LoopbackSocket(const LoopbackSocket&) = delete;
    LoopbackSocket& operator=(const LoopbackSocket&) = delete;
    int fd = -1;
    int port = 0;
};

} // namespace maroka::test
