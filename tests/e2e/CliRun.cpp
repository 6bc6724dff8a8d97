#include "e2e/CliRun.h"

#include "support/TempDir.h"

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <thread>

namespace maroka::test {

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

} // namespace

BackgroundCli::BackgroundCli(const std::vector<std::string>& arguments)
    : outPath_(TempName(".out")), errPath_(TempName(".err")), started_(std::chrono::steady_clock::now()),
      process_(CliArguments(arguments), {outPath_, errPath_})
{
}

BackgroundCli::~BackgroundCli()
{
    process_.Kill();
    std::remove(outPath_.c_str());
    std::remove(errPath_.c_str());
}

void BackgroundCli::Signal(int signal)
{
    process_.Signal(signal);
}

std::string BackgroundCli::ErrSoFar() const
{
    return ReadFileBytes(errPath_);
}

bool BackgroundCli::WaitForErr(const std::string& text, std::chrono::milliseconds limit) const
{
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (ReadFileBytes(errPath_).find(text) == std::string::npos) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return true;
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

} // namespace maroka::test
