#pragma once

// The loopback SMTP server of the mail tests (Debian's python3-aiosmtpd),
// started by the test and stopped with it. It records each command it
// handled; DATA carries the message as the server stored it (dots taken off).

#include <chrono>
#include <string>
#include <vector>

namespace maroka::test {

struct SmtpEvent {
    std::string command;  // "HELO", "RSET", "MAIL", "RCPT", "DATA", "QUIT"
    std::string argument; // the name or address; for DATA the message bytes
};

class SmtpTestServer {
public:
    // Empty when no Python with aiosmtpd was found when the build was configured.
    static std::string Python();

    explicit SmtpTestServer(bool refuseHelo = false);
    ~SmtpTestServer();
    SmtpTestServer(const SmtpTestServer&) = delete;
    SmtpTestServer& operator=(const SmtpTestServer&) = delete;

    bool Running() const { return port_ > 0; }
    int Port() const { return port_; }
    // The commands handled so far; waits up to `settle` for a QUIT to come in.
    std::vector<SmtpEvent> Events(std::chrono::milliseconds settle = std::chrono::milliseconds(2000)) const;

private:
    int pid_ = -1;
    int stdinFd_ = -1;
    int port_ = 0;
    std::string eventsPath_;
};

} // namespace maroka::test
