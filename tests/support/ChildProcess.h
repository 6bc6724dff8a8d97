#pragma once

// A program of this project run as its own process, as an operator runs it:
// standard input from /dev/null, standard output into a pipe or a file,
// standard error into a file or left to the test's own. Killed and reaped
// when it goes out of scope.

#include <chrono>
#include <string>
#include <vector>

namespace maroka::test {

class ChildProcess {
public:
    struct Output {
        std::string outFile; // empty: standard output goes into a pipe (ReadLine)
        std::string errFile; // empty: the test's own standard error
    };

    // `argv[0]` is the program's path. Throws when it cannot be started.
    ChildProcess(std::vector<std::string> argv, const Output& output);
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    void Signal(int signal);
    // The exit code (128 + the signal when a signal ended it), or -1 when it
    // is still running after `wait`.
    int Wait(std::chrono::milliseconds wait);
    // Kills it and waits for it; its exit code as Wait gives it.
    int Kill();
    // One line of the piped standard output, without its line feed; empty
    // when none came within `wait`.
    std::string ReadLine(std::chrono::milliseconds wait);

private:
    int pid_ = -1;
    int out_ = -1;
    std::string buffered_;
};

} // namespace maroka::test
