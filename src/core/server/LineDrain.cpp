#include "core/server/LineDrain.h"

#include <algorithm>

namespace maroka::server {

namespace {

// The wait slice; a stop that does not interrupt the line is seen this often.
constexpr int kSliceMs = 100;

} // namespace

bool DrainUntilQuiet(serial::SerialLine& line, const transfer::TransferFlags& flags, std::chrono::milliseconds quiet)
{
    using Clock = std::chrono::steady_clock;
    char chunk[2048];
    Clock::time_point lastData = Clock::now();
    while (!flags.StopOrClosing()) {
        serial::LineErrorState state;
        if (!line.ClearErrors(state))
            return false;
        if (state.inputQueued > 0) {
            const serial::IoResult read = line.ReadAvailable(chunk, std::min(state.inputQueued, sizeof chunk));
            if (read.status != serial::IoStatus::Ok)
                return false;
            lastData = Clock::now();
            continue;
        }
        if (Clock::now() - lastData > quiet)
            return true;
        const serial::IoStatus status = line.WaitReadable(kSliceMs);
        if (status != serial::IoStatus::Ok)
            return false;
    }
    return false;
}

} // namespace maroka::server
