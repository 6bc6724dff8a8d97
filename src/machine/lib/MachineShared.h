#pragma once

// What the machine's worker thread and the threads that drive it share,
// always under `mutex`.

#include "machine/lib/MachineConfig.h"
#include "machine/lib/MachineReport.h"
#include "machine/lib/ReceivedProgram.h"

#include <condition_variable>
#include <mutex>
#include <string>
#include <vector>

namespace maroka::machine {

struct MachineRequest {
    enum class Type {
        Byte,
        Punch,
    };
    Type type = Type::Byte;
    unsigned char byte = 0;
    bool cycleStart = false;
    PunchJob job;
};

struct MachineShared {
    std::mutex mutex;
    std::condition_variable changed;
    bool stopRequested = false;
    std::vector<MachineRequest> requests;
    MachineReport report;
    std::string received;
    std::string consumed;
    std::string sent;
    std::vector<ReceivedProgram> programs;
};

} // namespace maroka::machine
