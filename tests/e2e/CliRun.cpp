#include "e2e/CliRun.h"

#include "support/TempDir.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <stdexcept>
#include <thread>

extern char** environ;

namespace maroka::test {

namespace {

std::string TempName(const char* suffix)
{
    static int counter = 0;
    return "/tmp/maroka-cli-" + std::to_string(getpid()) + "-" + std::to_string(++counter) + suffix;
}

} // namespace

BackgroundCli::BackgroundCli(const std::vector<std::string>& arguments)
    : outPath_(TempName(".out")), errPath_(TempName(".err")), started_(std::chrono::steady_clock::now())
{
    std::vector<std::string> argv{MAROKA_CLI_PATH};
    argv.insert(argv.end(), arguments.begin(), arguments.end());
    std::vector<char*> raw;
    for (std::string& arg : argv)
        raw.push_back(arg.data());
    raw.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, outPath_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, errPath_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    const int rc = posix_spawn(&pid_, raw[0], &actions, nullptr, raw.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0)
        throw std::runtime_error("cannot start maroka-cli");
}

BackgroundCli::~BackgroundCli()
{
    if (pid_ > 0) {
        kill(pid_, SIGKILL);
        waitpid(pid_, nullptr, 0);
    }
    std::remove(outPath_.c_str());
    std::remove(errPath_.c_str());
}

void BackgroundCli::Signal(int signal)
{
    if (pid_ > 0)
        kill(pid_, signal);
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
    const auto deadline = started_ + limit;
    int status = 0;
    for (;;) {
        const pid_t done = waitpid(pid_, &status, WNOHANG);
        if (done == pid_)
            break;
        if (std::chrono::steady_clock::now() > deadline) {
            kill(pid_, SIGKILL);
            waitpid(pid_, &status, 0);
            result.err = "(killed: took longer than the limit)\n";
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    pid_ = -1;
    result.took = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - started_);
    result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
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
