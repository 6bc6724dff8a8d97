#include "support/Ser2netServer.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <thread>
#include <vector>

extern char** environ;

namespace maroka::test {

namespace {

using Clock = std::chrono::steady_clock;

bool Connects(int port)
{
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<std::uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    const bool ok = connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    close(fd);
    return ok;
}

} // namespace

int FreeLoopbackPort()
{
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
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

Ser2netServer::~Ser2netServer()
{
    Stop();
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
    {
        std::ofstream out(config);
        out << "connection: &line\n"
            << "  accepter: " << (accepter_ == Accepter::Rfc2217 ? "telnet(rfc2217),tcp," : "tcp,") << "127.0.0.1,"
            << port_ << "\n"
            << "  connector: serialdev," << device_ << ",9600n81,local\n"
            << "  options:\n"
            << "    kickolduser: false\n";
    }
    const std::string configPath = config.string();
    const std::string pidPath = (folder_ / "ser2net.pid").string();
    // -n: foreground, -u: no UUCP lock files, -P: its own pid file.
    std::vector<std::string> args{"ser2net", "-n", "-u", "-c", configPath, "-P", pidPath};
    std::vector<char*> argv;
    for (std::string& arg : args)
        argv.push_back(arg.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    const std::string logPath = (folder_ / "ser2net.log").string();
    posix_spawn_file_actions_addopen(&actions, 1, logPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_adddup2(&actions, 1, 2);
    const int spawned = posix_spawnp(&pid_, "ser2net", &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) {
        pid_ = -1;
        error = "cannot start ser2net (is the ser2net package installed?)";
        return false;
    }
    const auto deadline = Clock::now() + std::chrono::seconds(5);
    while (Clock::now() < deadline) {
        int status = 0;
        if (waitpid(pid_, &status, WNOHANG) == pid_) {
            pid_ = -1;
            error = "ser2net ended at start; see " + logPath;
            return false;
        }
        // A probe connection takes the port for a moment; the server frees
        // it when the probe closes.
        if (Connects(port_)) {
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
            return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    error = "ser2net does not listen at port " + std::to_string(port_);
    Kill();
    return false;
}

void Ser2netServer::Reap(std::chrono::milliseconds limit)
{
    const auto deadline = Clock::now() + limit;
    while (pid_ > 0) {
        int status = 0;
        if (waitpid(pid_, &status, WNOHANG) != 0) {
            pid_ = -1;
            return;
        }
        if (Clock::now() >= deadline) {
            kill(pid_, SIGKILL);
            waitpid(pid_, &status, 0);
            pid_ = -1;
            return;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

void Ser2netServer::Stop()
{
    if (pid_ <= 0)
        return;
    kill(pid_, SIGTERM);
    Reap(std::chrono::seconds(3));
}

void Ser2netServer::Kill()
{
    if (pid_ <= 0)
        return;
    kill(pid_, SIGKILL);
    Reap(std::chrono::seconds(3));
}

} // namespace maroka::test
