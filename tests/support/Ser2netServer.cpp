#include "support/Ser2netServer.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <fstream>

namespace maroka::test {

namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

sockaddr_in Loopback(int port)
{
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<std::uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return address;
}

bool Connects(int port)
{
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address = Loopback(port);
    const bool ok = connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    close(fd);
    return ok;
}

} // namespace

int FreeLoopbackPort()
{
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address = Loopback(0);
    bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
    socklen_t length = sizeof address;
    getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
    close(fd);
    return ntohs(address.sin_port);
}

Ser2netServer::Ser2netServer(std::filesystem::path folder, std::string device, Accepter accepter)
    : folder_(std::move(folder)), device_(std::move(device)), accepter_(accepter)
{
}

std::string Ser2netServer::PortName() const
{
    return std::string(accepter_ == Accepter::Rfc2217 ? "rfc2217://" : "tcp://") + "127.0.0.1:" + std::to_string(port_);
}

bool Ser2netServer::Start(std::string& error)
{
    if (port_ == 0)
        port_ = FreeLoopbackPort();
    const auto config = folder_ / "ser2net.yaml";
    std::ofstream(config) << "connection: &line\n"
                          << "  accepter: " << (accepter_ == Accepter::Rfc2217 ? "telnet(rfc2217),tcp," : "tcp,")
                          << "127.0.0.1," << port_ << "\n"
                          << "  connector: serialdev," << device_ << ",9600n81,local\n"
                          << "  options:\n"
                          << "    kickolduser: false\n";
    const std::string logPath = (folder_ / "ser2net.log").string();
    try {
        // -n: foreground, -u: no UUCP lock files, -P: its own pid file.
        process_.emplace(std::vector<std::string>{"ser2net", "-n", "-u", "-c", config.string(), "-P",
                                                  (folder_ / "ser2net.pid").string()},
                         logPath, logPath);
    } catch (const std::runtime_error&) {
        error = "cannot start ser2net (is the ser2net package installed?)";
        return false;
    }
    const auto deadline = Clock::now() + 5s;
    while (Clock::now() < deadline) {
        if (process_->Wait(0ms) >= 0) {
            process_.reset();
            error = "ser2net ended at start; see " + logPath;
            return false;
        }
        // A probe connection takes the port for a moment; the server frees
        // it when the probe closes.
        if (Connects(port_)) {
            std::this_thread::sleep_for(100ms);
            return true;
        }
        std::this_thread::sleep_for(20ms);
    }
    error = "ser2net does not listen at port " + std::to_string(port_);
    Kill();
    return false;
}

void Ser2netServer::Kill()
{
    process_.reset();
}

} // namespace maroka::test
