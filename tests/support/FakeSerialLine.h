#pragma once

// A serial line in memory for tests that need what a pseudo-terminal cannot
// give: line errors, refused writes, a machine that never answers.

#include "core/serial/SerialLine.h"

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <string>

namespace maroka::test {

class FakeSerialLine final : public serial::SerialLine {
public:
    explicit FakeSerialLine(std::string name = "FAKE0") : name_(std::move(name)) {}

    // Set up by the test.
    std::uint32_t errorWordAtCheck = 0; // error word reported by ClearErrors...
    int errorAtCheckNumber = -1;        // ...at this call (0-based), -1 never
    bool failErrorQuery = false;
    std::size_t failWriteAfterBytes = static_cast<std::size_t>(-1);
    bool blockWrites = false; // writes wait as under XOFF until Interrupt()

    // Seen by the test.
    std::string Written() const { return Locked(written_); }
    std::size_t WriteCalls() const { return Locked(writeCalls_); }
    std::string ChunkSizes() const { return Locked(chunkSizes_); } // "10,10,3"
    bool Closed() const { return closed_; }
    serial::LineSettings State() const { return Locked(state_); }

    // The machine "speaks": ends a pending WaitEvent with a data event.
    void MachineSpeaks() { MachineSends(""); }
    // The machine punches `bytes`: they are queued for reading and the
    // machine speaks.
    void MachineSends(const std::string& bytes);
    bool WaitingForEvent() const { return waiting_; }
    int WaitsStarted() const { return waitsStarted_; }

    const std::string& Name() const override { return name_; }
    bool GetProperties(serial::QueueSizes& sizes) override
    {
        sizes = {};
        return true;
    }
    bool GetState(serial::LineSettings& settings) override
    {
        settings = State();
        return true;
    }
    bool SetState(const serial::LineSettings& settings) override
    {
        std::lock_guard lock(mutex_);
        state_ = settings;
        return true;
    }
    bool ClearErrors(serial::LineErrorState& state) override;
    bool ClearBreak() override { return true; }
    bool Purge(std::uint32_t) override { return true; }
    serial::IoStatus WaitEvent(std::uint32_t mask, std::uint32_t& events) override;
    serial::IoResult Write(const char* data, std::size_t size) override;
    serial::IoResult ReadAvailable(char* data, std::size_t size) override;
    serial::IoStatus WaitReadable(int timeoutMs) override;
    serial::IoStatus Drain() override { return serial::IoStatus::Ok; }
    bool TransmitChar(char byte) override;
    void Interrupt() override;
    void ClearInterrupt() override;
    bool Close() override
    {
        closed_ = true;
        return true;
    }
    std::string LastError() const override { return Locked(lastError_); }

private:
    template <typename T> T Locked(const T& field) const
    {
        std::lock_guard lock(mutex_);
        return field;
    }

    std::string name_;
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    std::string written_;
    std::string input_; // sent by the machine, not read yet
    std::string chunkSizes_;
    std::size_t writeCalls_ = 0;
    int checks_ = 0;
    bool interrupted_ = false;
    bool spoke_ = false;
    std::atomic<bool> waiting_{false};
    std::atomic<int> waitsStarted_{0};
    std::atomic<bool> closed_{false};
    serial::LineSettings state_;
    std::string lastError_;
};

} // namespace maroka::test
