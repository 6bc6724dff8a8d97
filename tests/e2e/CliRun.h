#pragma once

// Runs maroka-cli as a separate process, as an operator would, and keeps
// what it printed.

#include "support/ChildProcess.h"

#include <chrono>
#include <string>
#include <vector>

namespace maroka::test {

struct CliResult {
    int exitCode = -1;
    std::string out;
    std::string err;
    std::chrono::milliseconds took{0};
};

// `arguments` after the program name; gives up (killing it) after `limit`.
CliResult RunCli(const std::vector<std::string>& arguments, std::chrono::seconds limit);

// Starts maroka-cli in the background; Finish() waits for it.
class BackgroundCli {
public:
    explicit BackgroundCli(const std::vector<std::string>& arguments);
    ~BackgroundCli();
    void Signal(int signal);
    // Waits until the program has printed `text` to its error output (where
    // its status lines go); false when it has not within `limit`.
    bool WaitForErr(const std::string& text, std::chrono::milliseconds limit) const;
    // What the program has printed to its error output so far.
    std::string ErrSoFar() const;
    CliResult Finish(std::chrono::seconds limit);

private:
    std::string outPath_;
    std::string errPath_;
    std::chrono::steady_clock::time_point started_;
    ChildProcess process_;
};

} // namespace maroka::test
