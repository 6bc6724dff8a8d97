#include "e2e/CliRun.h"

#include "core/logs/WorkFilePath.h"
#include "core/settings/SettingsFile.h"

#include <unistd.h>

#include <algorithm>
#include <cstdio>

namespace maroka::test {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace {

std::string TempName(const char* suffix)
{
    static int counter = 0;
    return "/tmp/maroka-cli-" + std::to_string(getpid()) + "-" + std::to_string(++counter) + suffix;
}

std::vector<std::string> CliArguments(const std::vector<std::string>& arguments)
{
    std::vector<std::string> argv{MAROKA_CLI_PATH};
    argv.insert(argv.end(), arguments.begin(), arguments.end());
    return argv;
}

std::size_t Count(const std::string& text, const std::string& part)
{
    std::size_t count = 0;
    for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
        ++count;
    return count;
}

} // namespace

BackgroundCli::BackgroundCli(const std::vector<std::string>& arguments)
    : outPath_(TempName(".out")), errPath_(TempName(".err")), started_(std::chrono::steady_clock::now()),
      process_(CliArguments(arguments), outPath_, errPath_)
{
}

BackgroundCli::~BackgroundCli()
{
    process_.Kill();
    std::remove(outPath_.c_str());
    std::remove(errPath_.c_str());
}

bool BackgroundCli::WaitForErr(const std::string& text, std::chrono::milliseconds limit, std::size_t times) const
{
    return WaitFor([&] { return Count(ErrSoFar(), text) >= times; }, limit);
}

CliResult BackgroundCli::Finish(std::chrono::seconds limit)
{
    CliResult result;
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(started_ + limit - std::chrono::steady_clock::now());
    result.exitCode = process_.Wait(std::max(left, std::chrono::milliseconds(0)));
    if (result.exitCode < 0) {
        process_.Kill();
        result.err = "(killed: took longer than the limit)\n";
    } else if (result.exitCode >= 128) {
        result.exitCode = -1; // ended by a signal
    }
    result.took = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - started_);
    result.out = ReadFileBytes(outPath_);
    result.err += ReadFileBytes(errPath_);
    return result;
}

CliResult RunCli(const std::vector<std::string>& arguments, std::chrono::seconds limit)
{
    BackgroundCli cli(arguments);
    return cli.Finish(limit);
}

std::string NcProgram(std::size_t bytes, const std::string& eol)
{
    std::string program = "%" + eol + "O1000(E2E)" + eol;
    for (std::size_t n = 0; program.size() < bytes; ++n)
        program += "N" + std::to_string(n) + "G01X" + std::to_string(n % 997) + ".125Y-" + std::to_string(n % 311) +
                   ".5F1200" + eol;
    return program + "M30" + eol + "%" + eol;
}

void EndToEnd::StartMachine(const machine::MachineConfig& config)
{
    machine = std::make_unique<machine::SimulatedMachine>(config);
    std::string error;
    EXPECT_TRUE(machine->Start(error)) << error;
    port = machine->DevicePath();
}

void EndToEnd::WriteSettings(const std::function<void(settings::SessionSettings&)>& change)
{
    settings::SessionSettings s;
    s.sendDelayEnabled = false;
    s.ignoreCycleStart = true;
    s.receiveEndSeconds = "1";
    if (change)
        change(s);
    EXPECT_FALSE(settings::SettingsFile(settingsPath).SaveSettings(s));
}

std::string EndToEnd::File(const std::string& name, const std::string& bytes) const
{
    WriteFileBytes(dir / name, bytes);
    return (dir / name).string();
}

std::vector<std::string> EndToEnd::Command(std::vector<std::string> command) const
{
    std::vector<std::string> arguments{"--settings", settingsPath};
    if (!port.empty())
        arguments.insert(arguments.end(), {"--port", port});
    arguments.insert(arguments.end(), command.begin(), command.end());
    return arguments;
}

fs::path EndToEnd::WorkFile(const char* kind) const
{
    return logs::WorkFilePath((fs::path(MAROKA_CLI_PATH).parent_path() / "Maroka_Work").string(), kind, port);
}

bool EndToEnd::ServerWaits(std::unique_ptr<BackgroundCli>& cli, const fs::path& folder)
{
    fs::create_directories(folder);
    // The command file appears when the server first waits for a command.
    fs::remove(WorkFile("COMNDFILE"));
    cli = std::make_unique<BackgroundCli>(Command({"server", "--folder", folder.string()}));
    return WaitFor([&] { return fs::exists(WorkFile("COMNDFILE")); }, 15s);
}

} // namespace maroka::test
