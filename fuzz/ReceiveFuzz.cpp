// Feeds random bytes, in random read sizes, to the receive loop through a
// line in memory, under settings the first bytes choose. The loop must
// never crash or read out of bounds; a raw reception must store exactly the
// bytes that came, and a converted one must not let the control codes it
// removes reach the file.

#include "FuzzFile.h"
#include "QuietUserInterface.h"

#include "core/transfer/ReceiveLoop.h"

#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <string_view>

namespace {

using namespace maroka;
using namespace maroka::transfer;

// The machine's side: the input comes in reads of `step` bytes; once it is
// all taken the line reports a stop, as a Reset would.
class ScriptedLine final : public serial::SerialLine {
public:
    ScriptedLine(std::string_view input, std::size_t step, std::uint32_t errorAtCheck)
        : input_(input), step_(step), errorAtCheck_(errorAtCheck)
    {
    }

    const std::string& Name() const override { return name_; }
    bool GetProperties(serial::QueueSizes&) override { return true; }
    bool GetState(serial::LineSettings&) override { return true; }
    bool SetState(const serial::LineSettings&) override { return true; }
    bool ClearErrors(serial::LineErrorState& state) override
    {
        state.errors = checks_++ == errorAtCheck_ ? serial::kErrParity : 0;
        state.inputQueued = std::min(step_, input_.size());
        return true;
    }
    bool ClearBreak() override { return true; }
    bool Purge(std::uint32_t) override { return true; }
    serial::IoStatus WaitEvent(std::uint32_t, std::uint32_t& events) override
    {
        events = serial::kEvRxChar;
        return serial::IoStatus::Ok;
    }
    serial::IoResult Write(const char*, std::size_t size) override { return {serial::IoStatus::Ok, size}; }
    serial::IoResult ReadAvailable(char* data, std::size_t size) override
    {
        const std::size_t count = std::min(size, input_.size());
        std::memcpy(data, input_.data(), count);
        input_.remove_prefix(count);
        return {serial::IoStatus::Ok, count};
    }
    serial::IoStatus WaitReadable(int) override
    {
        return input_.empty() ? serial::IoStatus::Interrupted : serial::IoStatus::Ok;
    }
    serial::IoStatus Drain() override { return serial::IoStatus::Ok; }
    bool TransmitChar(char) override { return true; }
    void Interrupt() override {}
    void ClearInterrupt() override {}
    bool Close() override { return true; }
    std::string LastError() const override { return {}; }

private:
    std::string name_ = "FUZZ";
    std::string_view input_;
    std::size_t step_;
    std::uint32_t errorAtCheck_;
    std::uint32_t checks_ = 0;
};

class NoLog final : public TransferLog {
public:
    void CommLog(std::string_view) override {}
    void ErrorLog(std::string_view) override {}
};

class NoWindow final : public MainWindowSteps {
public:
    void EndTransfer() override {}
    void SetIdleControls() override {}
    void CloseMainWindow() override {}
    void ClearCompletedSend() override {}
    void SetLastCycleTime(const std::string&) override {}
};

const std::string& FilePath()
{
    static const std::string path = maroka::fuzz::ScratchFolder() + "/RECEIVED.NC";
    return path;
}

std::string ReadBack()
{
    std::ifstream in(FilePath(), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 3)
        return 0;
    const unsigned bits = data[0] | (data[1] << 8);
    const std::size_t step = 1 + (data[2] & 0x7F) * 32 + (data[2] >> 7);
    const std::string_view input(reinterpret_cast<const char*>(data + 3), size - 3);

    fuzz::QuietUserInterface ui;
    NoWindow window;
    TransferFlags flags;
    auto line = std::make_shared<ScriptedLine>(input, step, (bits & 1) ? bits >> 12 : ~0u);
    WorkerEnvironment env(line, ui, std::make_shared<NoLog>(), flags, window);
    env.displayName = "RECEIVED.NC";
    settings::SessionSettings& s = env.settings;
    s.noConversionReceive = bits & 2;
    s.colonToO = bits & 4;
    s.deleteControlCodes = bits & 8;
    s.receiveHeadPercent = bits & 16;
    s.receiveTailPercent = bits & 32;
    s.convertGarbledCharacters = bits & 64;
    s.repairReceiveErrors = bits & 128;
    s.showData = bits & 256;
    s.showComments = bits & 512;
    s.receiveEndOfBlock = (bits & 1024) ? "CR+LF" : (bits & 2048) ? "LF+CR+CR" : "LF";
    s.openFileAfterReceive = false;
    s.exitAfterReceive = false;

    ReceiveContext context;
    context.transferFilePath = FilePath();
    if (!RunReceive(env, context))
        std::abort();

    const std::string stored = ReadBack();
    if (s.noConversionReceive && !context.transferError && stored != input)
        std::abort();
    if (!s.noConversionReceive && s.convertGarbledCharacters &&
        stored.find_first_of(std::string_view("\x11\x12\x13\x14\x1b")) != std::string::npos)
        std::abort();
    return 0;
}
