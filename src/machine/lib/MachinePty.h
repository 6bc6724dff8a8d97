#pragma once

// The pseudo-terminal pair the simulated control sits on. The machine drives
// the master; the PC side opens the slave path like any serial device.
//
// The master is raw and has no kernel flow control: the control does its
// XON/XOFF itself. The slave is raw too (no echo back into the machine before
// the PC has set its own line), and the machine keeps one slave descriptor
// open, so the master never reports a hang-up while the PC is away or
// reopens the port. Close() ends the pair: the PC side then reads EIO/HUP,
// as from a device that vanished.

#include <chrono>
#include <string>

namespace maroka::machine {

class MachinePty {
public:
    MachinePty() = default;
    ~MachinePty();
    MachinePty(const MachinePty&) = delete;
    MachinePty& operator=(const MachinePty&) = delete;

    // Creates the pair. On failure returns false with `error` set and leaves
    // nothing open.
    bool Open(std::string& error);

    // Makes `linkPath` a symbolic link to the slave; an old symbolic link
    // there is replaced, any other file is left alone and reported.
    bool CreateLink(const std::string& linkPath, std::string& error);

    // Waits until the PC side has read what the machine wrote, at most
    // `limit`; closing the pair throws away what it has not read.
    void WaitOutputTaken(std::chrono::milliseconds limit) const;

    // Closes both ends and removes the link. Safe to call more than once.
    void Close();

    bool IsOpen() const { return master_ >= 0; }
    int MasterFd() const { return master_; }
    const std::string& SlavePath() const { return slavePath_; }
    const std::string& LinkPath() const { return linkPath_; }

private:
    int master_ = -1;
    int slaveKeepAlive_ = -1;
    std::string slavePath_;
    std::string linkPath_;
};

} // namespace maroka::machine
