#include "core/mail/SmtpTestServer.h"

#include <sys/socket.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <thread>

namespace maroka::test {

SmtpTestServer::SmtpTestServer(bool refuseHelo)
{
    if (Python().empty())
        return;
    static int counter = 0;
    eventsPath_ = "/tmp/maroka-smtp-" + std::to_string(::getpid()) + "-" + std::to_string(++counter) + ".txt";
    std::vector<std::string> argv{Python(), MAROKA_SMTP_SERVER_SCRIPT, eventsPath_};
    if (refuseHelo)
        argv.emplace_back("--refuse-helo");
    const std::string outPath = eventsPath_ + ".out";
    process_ = std::make_unique<ChildProcess>(argv, outPath, outPath);
    // The port comes as the first line, once the server listens.
    std::string first;
    WaitFor(
        [&] {
            std::ifstream out(outPath);
            return std::getline(out, first) && !out.eof();
        },
        std::chrono::seconds(15));
    port_ = std::atoi(first.c_str());
}

SmtpTestServer::~SmtpTestServer()
{
    process_.reset();
    if (!eventsPath_.empty()) {
        std::remove(eventsPath_.c_str());
        std::remove((eventsPath_ + ".out").c_str());
    }
}

std::vector<SmtpEvent> SmtpTestServer::Events(std::chrono::milliseconds settle) const
{
    const auto deadline = std::chrono::steady_clock::now() + settle;
    for (;;) {
        // One line per command: the command and its argument in hexadecimal.
        std::vector<SmtpEvent> events;
        std::ifstream in(eventsPath_);
        for (std::string line; std::getline(in, line);) {
            std::istringstream fields(line);
            std::string hex;
            SmtpEvent& event = events.emplace_back();
            fields >> event.command >> hex;
            for (std::size_t at = 0; at + 1 < hex.size(); at += 2)
                event.argument += static_cast<char>(std::stoi(hex.substr(at, 2), nullptr, 16));
        }
        if ((!events.empty() && events.back().command == "QUIT") || std::chrono::steady_clock::now() >= deadline)
            return events;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
}

BabblingServer::BabblingServer(std::chrono::seconds limit)
{
    thread_ = std::thread([this, limit] {
        const int client = ::accept(socket_.fd, nullptr, nullptr);
        if (client < 0)
            return;
        connected_ = true;
        const auto end = std::chrono::steady_clock::now() + limit;
        while (!stop_ && std::chrono::steady_clock::now() < end) {
            if (::send(client, "220-still greeting\r\n", 20, MSG_NOSIGNAL) < 0)
                break;
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
        ::close(client);
    });
}

BabblingServer::~BabblingServer()
{
    stop_ = true;
    ::shutdown(socket_.fd, SHUT_RDWR);
    thread_.join();
}

} // namespace maroka::test
