#include "core/server/LineDrain.h"

#include <algorithm>

namespace maroka::server {

namespace {

// The wait slice; a stop that does not interrupt the line is seen this often.
constexpr std::chrono::milliseconds kSlice{100};

} // namespace

bool DrainUntilQuiet(serial::SerialLine& line, const transfer::TransferFlags& flags, transfer::TransferClock& clock,
                     std::chrono::milliseconds quiet)
{
    char chunk[2048];
    std::chrono::milliseconds lastData = clock.Now();
    while (!flags.StopOrClosing()) {
        serial::LineErrorState state;
        if (!line.ClearErrors(state))
            return false;
        if (state.inputQueued > 0) {
            const serial::IoResult read = line.ReadAvailable(chunk, std::min(state.inputQueued, sizeof chunk));
            if (read.status != serial::IoStatus::Ok)
                return false;
            lastData = clock.Now();
            continue;
        }
        if (clock.Now() - lastData > quiet)
            return true;
        const serial::IoStatus status = clock.WaitForInput(line, kSlice);
        if (status != serial::IoStatus::Ok)
            return false;
    }
    return false;
}

} // namespace maroka::server
