#pragma once

// A program run as its own process, as an operator runs it: standard input
// from /dev/null, standard output and standard error into files (into one
// when both name the same). Killed and reaped when it goes out of scope. The
// one place where tests and benchmarks start programs; kept in headers so
// that the benchmarks, which build a few support files of their own, need no
// other source file.

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include "support/WaitFor.h"

#include <chrono>
#include <stdexcept>
#include <string>
#include <vector>

extern char** environ;

namespace maroka::test {

class ChildProcess {
public:
    // `argv[0]` is the program's path, or a name looked up in PATH. Throws
    // when it cannot be started.
    ChildProcess(std::vector<std::string> argv, const std::string& outFile, const std::string& errFile)
    {
        std::vector<char*> raw;
        for (std::string& arg : argv)
            raw.push_back(arg.data());
        raw.push_back(nullptr);
        constexpr int kCreate = O_WRONLY | O_CREAT | O_TRUNC;
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
        posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, outFile.c_str(), kCreate, 0600);
        if (errFile == outFile)
            posix_spawn_file_actions_adddup2(&actions, STDOUT_FILENO, STDERR_FILENO);
        else
            posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, errFile.c_str(), kCreate, 0600);
        const int rc = posix_spawnp(&pid_, raw[0], &actions, nullptr, raw.data(), environ);
        posix_spawn_file_actions_destroy(&actions);
        if (rc != 0) {
            pid_ = -1;
            throw std::runtime_error("cannot start " + argv[0]);
        }
    }
    ~ChildProcess() { Kill(); }
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    // -1 once it has been reaped.
    int Pid() const { return pid_; }
    void Signal(int signal)
    {
        if (pid_ > 0)
            ::kill(pid_, signal);
    }
    // The exit code (128 + the signal when a signal ended it), or -1 when it
    // is still running after `wait`.
    int Wait(std::chrono::milliseconds wait)
    {
        int status = 0;
        if (pid_ > 0 && WaitFor([&] { return ::waitpid(pid_, &status, WNOHANG) == pid_; }, wait))
            return Reaped(status);
        return -1;
    }
    // Kills it and waits for it; its exit code as Wait gives it.
    int Kill()
    {
        if (pid_ <= 0)
            return -1;
        ::kill(pid_, SIGKILL);
        int status = 0;
        ::waitpid(pid_, &status, 0);
        return Reaped(status);
    }

private:
    int Reaped(int status)
    {
        pid_ = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }

    int pid_ = -1;
};

} // namespace maroka::test
