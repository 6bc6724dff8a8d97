#include "core/mail/SmtpTestServer.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <thread>

extern char** environ;

namespace maroka::test {

namespace {

using Clock = std::chrono::steady_clock;

std::string Base64Decode(const std::string& text)
{
    auto value = [](char c) -> int {
        if (c >= 'A' && c <= 'Z')
            return c - 'A';
        if (c >= 'a' && c <= 'z')
            return c - 'a' + 26;
        if (c >= '0' && c <= '9')
            return c - '0' + 52;
        return c == '+' ? 62 : c == '/' ? 63 : -1;
    };
    std::string bytes;
    int bits = 0;
    unsigned buffer = 0;
    for (const char c : text) {
        const int v = value(c);
        if (v < 0)
            continue;
        buffer = (buffer << 6) | static_cast<unsigned>(v);
        bits += 6;
        if (bits >= 8) {
            bits -= 8;
            bytes += static_cast<char>((buffer >> bits) & 0xFF);
        }
    }
    return bytes;
}

// The value of `"key": "..."` in one line the server wrote (json.dumps with
// ASCII only, so the only escapes are \" and \\).
std::string Field(const std::string& line, const std::string& key)
{
    const std::string start = "\"" + key + "\": \"";
    std::size_t at = line.find(start);
    if (at == std::string::npos)
        return {};
    std::string value;
    for (at += start.size(); at < line.size() && line[at] != '"'; ++at) {
        if (line[at] == '\\' && at + 1 < line.size())
            ++at;
        value += line[at];
    }
    return value;
}

} // namespace

std::string SmtpTestServer::Python()
{
    return MAROKA_SMTP_PYTHON;
}

SmtpTestServer::SmtpTestServer(bool refuseHelo)
{
    if (Python().empty())
        return;
    static int counter = 0;
    eventsPath_ = "/tmp/maroka-smtp-" + std::to_string(::getpid()) + "-" + std::to_string(++counter) + ".jsonl";
    int in[2];
    int out[2];
    if (::pipe2(in, O_CLOEXEC) != 0)
        return;
    if (::pipe2(out, O_CLOEXEC) != 0) {
        ::close(in[0]);
        ::close(in[1]);
        return;
    }
    std::vector<std::string> argv{Python(), MAROKA_SMTP_SERVER_SCRIPT, eventsPath_};
    if (refuseHelo)
        argv.emplace_back("--refuse-helo");
    std::vector<char*> raw;
    for (std::string& arg : argv)
        raw.push_back(arg.data());
    raw.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, in[0], STDIN_FILENO);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    const int rc = posix_spawn(&pid_, raw[0], &actions, nullptr, raw.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(in[0]);
    ::close(out[1]);
    stdinFd_ = in[1];
    if (rc != 0) {
        pid_ = -1;
        ::close(out[0]);
        return;
    }
    // The port comes as the first line, once the server listens.
    std::string line;
    const auto deadline = Clock::now() + std::chrono::seconds(15);
    while (line.find('\n') == std::string::npos && Clock::now() < deadline) {
        pollfd entry{out[0], POLLIN, 0};
        if (::poll(&entry, 1, 100) <= 0)
            continue;
        char chunk[64];
        const ssize_t n = ::read(out[0], chunk, sizeof chunk);
        if (n <= 0)
            break;
        line.append(chunk, static_cast<std::size_t>(n));
    }
    ::close(out[0]);
    if (line.find('\n') != std::string::npos)
        port_ = std::atoi(line.c_str());
}

SmtpTestServer::~SmtpTestServer()
{
    if (stdinFd_ >= 0)
        ::close(stdinFd_);
    if (pid_ > 0) {
        const auto deadline = Clock::now() + std::chrono::seconds(3);
        int status = 0;
        while (::waitpid(pid_, &status, WNOHANG) == 0) {
            if (Clock::now() >= deadline) {
                ::kill(pid_, SIGKILL);
                ::waitpid(pid_, &status, 0);
                break;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
    }
    if (!eventsPath_.empty())
        std::remove(eventsPath_.c_str());
}

std::vector<SmtpEvent> SmtpTestServer::Events(std::chrono::milliseconds settle) const
{
    const auto deadline = Clock::now() + settle;
    for (;;) {
        std::vector<SmtpEvent> events;
        std::ifstream in(eventsPath_);
        for (std::string line; std::getline(in, line);) {
            SmtpEvent event{Field(line, "command"), Field(line, "argument")};
            if (event.command == "DATA")
                event.argument = Base64Decode(event.argument);
            events.push_back(std::move(event));
        }
        if ((!events.empty() && events.back().command == "QUIT") || Clock::now() >= deadline)
            return events;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
}

} // namespace maroka::test
