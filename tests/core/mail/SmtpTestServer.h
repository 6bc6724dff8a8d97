#pragma once

// The loopback SMTP server of the mail tests (Debian's python3-aiosmtpd),
// started by the test and killed with it. It records each command it
// handled; DATA carries the message as the server stored it (dots taken off).

#include "support/ChildProcess.h"
#include "support/LoopbackSocket.h"

#include <atomic>
#include <chrono>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace maroka::test {

struct SmtpEvent {
    std::string command;  // "HELO", "RSET", "MAIL", "RCPT", "DATA", "QUIT"
    std::string argument; // the name or address; for DATA the message bytes
};

class SmtpTestServer {
public:
    // Empty when no Python with aiosmtpd was found when the build was configured.
    static std::string Python() { return MAROKA_SMTP_PYTHON; }

    explicit SmtpTestServer(bool refuseHelo = false);
    ~SmtpTestServer();

    bool Running() const { return port_ > 0; }
    int Port() const { return port_; }
    // The commands handled so far; waits up to `settle` for a QUIT to come in.
    std::vector<SmtpEvent> Events(std::chrono::milliseconds settle = std::chrono::milliseconds(2000)) const;

private:
    std::string eventsPath_;
    std::unique_ptr<ChildProcess> process_;
    int port_ = 0;
};

// Accepts one connection and keeps sending continuation lines of a greeting
// that never ends, until the client goes or `limit` passes.
class BabblingServer {
public:
    explicit BabblingServer(std::chrono::seconds limit);
    ~BabblingServer();
    int Port() const { return socket_.port; }
    bool Connected() const { return connected_; }

private:
    LoopbackSocket socket_{true};
    std::atomic<bool> connected_{false};
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

} // namespace maroka::test
