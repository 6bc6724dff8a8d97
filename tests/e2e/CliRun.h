#pragma once

// Runs maroka-cli as a separate process, as an operator would, and keeps
// what it printed; and the set-up the end-to-end cases share.

#include "core/settings/SessionSettings.h"
#include "machine/lib/SimulatedMachine.h"
#include "support/ChildProcess.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <memory>
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
    void Signal(int signal) { process_.Signal(signal); }
    int Pid() const { return process_.Pid(); }
    // Waits until the program has printed `text` to its error output (where
    // its status lines go) `times` times; false when it has not within `limit`.
    bool WaitForErr(const std::string& text, std::chrono::milliseconds limit, std::size_t times = 1) const;
    // What the program has printed to its error output so far.
    std::string ErrSoFar() const { return ReadFileBytes(errPath_); }
    CliResult Finish(std::chrono::seconds limit);

private:
    std::string outPath_;
    std::string errPath_;
    std::chrono::steady_clock::time_point started_;
    ChildProcess process_;
};

// At least `bytes` of a program the way CAM systems write it, its lines
// ended by `eol`.
std::string NcProgram(std::size_t bytes, const std::string& eol = "\n");

// A folder with a settings file, and the simulated machine on the other
// end of the port maroka-cli opens.
struct EndToEnd : ::testing::Test {
    void StartMachine(const machine::MachineConfig& config);
    // No send delay, no question about cycle start, a reception ends after a
    // second of quiet; then `change`.
    void WriteSettings(const std::function<void(settings::SessionSettings&)>& change = {});
    // `bytes` as the file `name` of the folder; its path.
    std::string File(const std::string& name, const std::string& bytes) const;
    // maroka-cli's arguments for `command` with these settings and port.
    std::vector<std::string> Command(std::vector<std::string> command) const;

    // Server mode on `folder`: started, and true once it waits for the
    // machine's first command.
    bool ServerWaits(std::unique_ptr<BackgroundCli>& cli, const std::filesystem::path& folder);
    // A work file that server mode keeps beside maroka-cli for the port.
    std::filesystem::path WorkFile(const char* kind) const;

    TempDir dir;
    std::string settingsPath = (dir / "maroka0.ini").string();
    std::unique_ptr<machine::SimulatedMachine> machine;
    std::string port; // the machine's device unless the case reaches it otherwise
};

} // namespace maroka::test
