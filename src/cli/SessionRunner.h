#pragma once

// Runs a Session from the terminal: builds it with the terminal front end,
// the settings file and port of the global options, and turns SIGINT and
// SIGTERM into Reset.

#include "cli/CliContext.h"
#include "cli/TerminalUserInterface.h"
#include "core/session/Session.h"

#include <memory>

namespace maroka::cli {

class SessionRunner {
public:
    SessionRunner(CliContext& ctx, TerminalAnswers answers);
    ~SessionRunner();

    session::Session& Get() { return *session_; }
    TerminalUserInterface& Ui() { return ui_; }

    // Constructs the session, applies --port and opens the port. False when
    // the session cannot go on (no port): the reason has been printed.
    bool Start();
    // Serves the worker until the transfer has ended; a signal acts as Reset.
    void WaitForTransfer();

private:
    CliContext& ctx_;
    TerminalUserInterface ui_;
    std::unique_ptr<session::Session> session_;
};

} // namespace maroka::cli
