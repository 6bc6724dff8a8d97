#pragma once

// The ser2net device server (the Debian package) in front of one device, on
// 127.0.0.1 at a port free when it starts, with a configuration file of its
// own. The server runs in the foreground as a child of the test, which
// kills it when done with it.

#include "support/ChildProcess.h"

#include <filesystem>
#include <optional>
#include <string>

namespace maroka::test {

class Ser2netServer {
public:
    enum class Accepter {
        Rfc2217,
        Raw,
    };

    // Writes the configuration into `folder`; Start() runs the server.
    Ser2netServer(std::filesystem::path folder, std::string device, Accepter accepter = Accepter::Rfc2217);

    // Starts the server and waits (a few seconds at most) until it takes
    // connections; false with `error` set otherwise. A server started again
    // listens at the port it had.
    bool Start(std::string& error);
    // SIGKILL at once: a device server that vanishes.
    void Kill();

    int Pid() const { return process_ ? process_->Pid() : -1; }
    // "rfc2217://127.0.0.1:<port>" or "tcp://127.0.0.1:<port>".
    std::string PortName() const;

private:
    std::filesystem::path folder_;
    std::string device_;
    Accepter accepter_;
    int port_ = 0;
    std::optional<ChildProcess> process_;
};

// A TCP port on 127.0.0.1 that nobody listens at now.
int FreeLoopbackPort();

} // namespace maroka::test
