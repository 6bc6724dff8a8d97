#include "support/ChildProcess.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <stdexcept>
#include <thread>

extern char** environ;

namespace maroka::test {

namespace {

int ExitCode(int status)
{
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

} // namespace

ChildProcess::ChildProcess(std::vector<std::string> argv, const Output& output)
{
    std::vector<char*> raw;
    for (std::string& arg : argv)
        raw.push_back(arg.data());
    raw.push_back(nullptr);

    int pipe[2] = {-1, -1};
    if (output.outFile.empty() && ::pipe2(pipe, O_CLOEXEC) != 0)
        throw std::runtime_error("cannot make a pipe for " + argv[0]);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    if (output.outFile.empty())
        posix_spawn_file_actions_adddup2(&actions, pipe[1], STDOUT_FILENO);
    else
        posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, output.outFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                         0600);
    if (!output.errFile.empty())
        posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, output.errFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                         0600);
    const int rc = posix_spawn(&pid_, raw[0], &actions, nullptr, raw.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (pipe[1] >= 0)
        ::close(pipe[1]);
    out_ = pipe[0];
    if (rc != 0) {
        pid_ = -1;
        throw std::runtime_error("cannot start " + argv[0]);
    }
}

ChildProcess::~ChildProcess()
{
    Kill();
    if (out_ >= 0)
        ::close(out_);
}

void ChildProcess::Signal(int signal)
{
    if (pid_ > 0)
        ::kill(pid_, signal);
}

int ChildProcess::Wait(std::chrono::milliseconds wait)
{
    const auto end = std::chrono::steady_clock::now() + wait;
    while (pid_ > 0) {
        int status = 0;
        if (::waitpid(pid_, &status, WNOHANG) == pid_) {
            pid_ = -1;
            return ExitCode(status);
        }
        if (std::chrono::steady_clock::now() >= end)
            return -1;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return -1;
}

int ChildProcess::Kill()
{
    if (pid_ <= 0)
        return -1;
    ::kill(pid_, SIGKILL);
    int status = 0;
    ::waitpid(pid_, &status, 0);
    pid_ = -1;
    return ExitCode(status);
}

std::string ChildProcess::ReadLine(std::chrono::milliseconds wait)
{
    const auto end = std::chrono::steady_clock::now() + wait;
    while (out_ >= 0 && std::chrono::steady_clock::now() < end) {
        const std::size_t eol = buffered_.find('\n');
        if (eol != std::string::npos) {
            std::string line = buffered_.substr(0, eol);
            buffered_.erase(0, eol + 1);
            return line;
        }
        pollfd pfd{out_, POLLIN, 0};
        if (::poll(&pfd, 1, 100) <= 0)
            continue;
        char chunk[512];
        const ssize_t n = ::read(out_, chunk, sizeof chunk);
        if (n <= 0)
            break;
        buffered_.append(chunk, static_cast<std::size_t>(n));
    }
    return {};
}

} // namespace maroka::test
