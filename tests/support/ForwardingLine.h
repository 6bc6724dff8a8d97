#pragma once

// A serial line that hands every call to another one: the test keeps the
// inner line to watch it while the code under test owns this one, and a
// subclass changes only the calls it is about.

#include "core/serial/SerialLine.h"

#include <memory>

namespace maroka::test {

class ForwardingLine : public serial::SerialLine {
public:
    explicit ForwardingLine(std::shared_ptr<serial::SerialLine> inner) : inner_(std::move(inner)) {}

    const std::string& Name() const override { return inner_->Name(); }
    bool GetProperties(serial::QueueSizes& sizes) override { return inner_->GetProperties(sizes); }
    bool GetState(serial::LineSettings& settings) override { return inner_->GetState(settings); }
    bool SetState(const serial::LineSettings& settings) override { return inner_->SetState(settings); }
    bool ClearErrors(serial::LineErrorState& state) override { return inner_->ClearErrors(state); }
    bool ClearBreak() override { return inner_->ClearBreak(); }
    bool Purge(std::uint32_t bits) override { return inner_->Purge(bits); }
    serial::IoStatus WaitEvent(std::uint32_t mask, std::uint32_t& events) override
    {
        return inner_->WaitEvent(mask, events);
    }
    serial::IoResult Write(const char* data, std::size_t size) override { return inner_->Write(data, size); }
    serial::IoResult ReadAvailable(char* data, std::size_t size) override { return inner_->ReadAvailable(data, size); }
    serial::IoStatus WaitReadable(int timeoutMs) override { return inner_->WaitReadable(timeoutMs); }
    serial::IoStatus Drain() override { return inner_->Drain(); }
    bool TransmitChar(char byte) override { return inner_->TransmitChar(byte); }
    void Interrupt() override { inner_->Interrupt(); }
    void ClearInterrupt() override { inner_->ClearInterrupt(); }
    bool Close() override { return inner_->Close(); }
    std::string LastError() const override { return inner_->LastError(); }

private:
    std::shared_ptr<serial::SerialLine> inner_;
};

} // namespace maroka::test
