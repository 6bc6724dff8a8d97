#include "machine/lib/MachineConfig.h"

#include <algorithm>
#include <map>

namespace maroka::machine {

double ExecCharsPerSecond(const MachineConfig& config)
{
    return config.execCharsPerSecond > 0.0 ? config.execCharsPerSecond : config.lineCharsPerSecond;
}

std::string ValidateConfig(const MachineConfig& config)
{
    if (!(config.lineCharsPerSecond > 0.0) || config.lineCharsPerSecond > 1e7)
        return "the line pace must be between 0 and 10,000,000 characters per second";
    if (!(config.execCharsPerSecond >= 0.0) || config.execCharsPerSecond > 1e7)
        return "the execution pace must be between 0 and 10,000,000 characters per second";
    if (config.mode == MachineMode::Dnc) {
        if (config.bufferSize == 0)
            return "the DNC buffer needs at least one byte";
        if (config.highWater == 0 || config.highWater > config.bufferSize)
            return "the high-water mark must be between 1 and the buffer size";
        if (config.lowWater >= config.highWater)
            return "the low-water mark must be below the high-water mark";
        if (config.xoffByte == config.xonByte)
            return "XON and XOFF must differ";
    }
    if (config.tailGrace.count() < 0 || config.silenceTimeout.count() < 0)
        return "time-outs cannot be negative";
    return {};
}

std::string BuildPunchStream(const PunchJob& job)
{
    // The last fault named for a position wins.
    std::map<std::size_t, ByteFault> faults;
    for (const ByteFault& fault : job.faults)
        faults[fault.position] = fault;

    std::string out(job.leaderNuls, '\0');
    if (job.sendDc2)
        out.push_back(static_cast<char>(text::kDc2));
    for (std::size_t i = 0; i < job.data.size(); ++i) {
        auto it = faults.find(i);
        if (it == faults.end()) {
            out.push_back(job.data[i]);
            continue;
        }
        switch (it->second.kind) {
        case ByteFault::Kind::Flip:
            out.push_back(static_cast<char>(static_cast<unsigned char>(job.data[i]) ^ 0x01));
            break;
        case ByteFault::Kind::Replace:
            out.push_back(static_cast<char>(it->second.value));
            break;
        case ByteFault::Kind::Drop:
            break;
        }
    }
    if (job.sendDc4)
        out.push_back(static_cast<char>(text::kDc4));
    return out;
}

std::string CommandProgram(const std::string& commandLine)
{
    return "%\r\n" + commandLine + "\r\n%\r\n";
}

} // namespace maroka::machine
