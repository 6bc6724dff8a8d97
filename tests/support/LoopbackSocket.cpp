#include "support/LoopbackSocket.h"

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace maroka::test {

LoopbackSocket::LoopbackSocket(bool listen)
{
    fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
    socklen_t size = sizeof address;
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size);
    port = ntohs(address.sin_port);
    if (listen) {
        ::listen(fd, 4);
    } else {
        ::close(fd);
        fd = -1;
    }
}

LoopbackSocket::~LoopbackSocket()
{
    if (fd >= 0)
        ::close(fd);
}

} // namespace maroka::test
