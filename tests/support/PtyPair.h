#pragma once

// A pseudo-terminal pair for tests: the master end plays the machine, the
// slave path is what the serial line opens. The master is raw (its line
// discipline would otherwise echo and edit what the other side sends) and
// non-blocking. By default the pair keeps a slave descriptor of its own open,
// so the pty does not hang up between a Close and the next Open of the line.

#include <chrono>
#include <cstddef>
#include <string>
#include <string_view>

namespace maroka::test {

class PtyPair {
public:
    explicit PtyPair(bool holdSlaveOpen = true);
    ~PtyPair();
    PtyPair(const PtyPair&) = delete;
    PtyPair& operator=(const PtyPair&) = delete;

    int Master() const { return master_; }
    const std::string& SlavePath() const { return slavePath_; }
    // The pair's own slave descriptor (-1 when not held).
    int HeldSlave() const { return slave_; }

    // Hangs the pty up for the slave side.
    void CloseMaster();

    // Writes all of `bytes` to the master, waiting for room as needed.
    void WriteMaster(std::string_view bytes);
    // Reads from the master until `count` bytes came or `timeout` passed.
    std::string ReadMaster(std::size_t count, std::chrono::milliseconds timeout);
    // Reads what arrives until the master has been quiet for `quiet`.
    std::string ReadMasterUntilQuiet(std::chrono::milliseconds quiet);

private:
    int master_ = -1;
    int slave_ = -1;
    std::string slavePath_;
};

// Writes all of `bytes` to the non-blocking `fd`, waiting for room as
// needed; false on an error.
bool WriteAll(int fd, std::string_view bytes);
// Reads from the non-blocking `fd` until `count` bytes came or `timeout`
// passed.
std::string ReadFor(int fd, std::size_t count, std::chrono::milliseconds timeout);

} // namespace maroka::test
