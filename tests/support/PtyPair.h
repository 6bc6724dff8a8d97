#pragma once

// The simulated machine's own pseudo-terminal pair, for tests that play the
// machine at the master end while the line under test opens the slave path.
// `watchSlave` keeps one more slave descriptor for the test, to look at the
// tty as the line left it.

#include "machine/lib/MachinePty.h"

#include <chrono>
#include <cstddef>
#include <string>
#include <string_view>

namespace maroka::test {

// Writes all of `bytes` to the non-blocking `fd`, waiting for room as
// needed; false on an error.
bool WriteAll(int fd, std::string_view bytes);
// Reads from the non-blocking `fd` until `count` bytes came or `timeout`
// passed.
std::string ReadFor(int fd, std::size_t count, std::chrono::milliseconds timeout);
// Reads what arrives until `fd` has been quiet for `quiet`.
std::string ReadUntilQuiet(int fd, std::chrono::milliseconds quiet);

class PtyPair : public machine::MachinePty {
public:
    explicit PtyPair(bool watchSlave = true);
    ~PtyPair();

    int HeldSlave() const { return watch_; }
    // Hangs the pty up for the slave side, as a device that vanished.
    void CloseMaster() { Close(); }
    void WriteMaster(std::string_view bytes);
    std::string ReadMaster(std::size_t count, std::chrono::milliseconds timeout)
    {
        return ReadFor(MasterFd(), count, timeout);
    }
    std::string ReadMasterUntilQuiet(std::chrono::milliseconds quiet) { return ReadUntilQuiet(MasterFd(), quiet); }

private:
    int watch_ = -1;
};

} // namespace maroka::test
