#pragma once

// Reads and drops what the machine is still sending, until the line has been
// quiet for the end-of-data time. A save that can no longer be written must
// still take the rest of its program off the line: left there, the program
// would be read as the next command.

#include "core/serial/SerialLine.h"
#include "core/transfer/TransferClock.h"
#include "core/transfer/TransferFlags.h"

#include <chrono>

namespace maroka::server {

// False when the line failed or a stop ended the wait.
bool DrainUntilQuiet(serial::SerialLine& line, const transfer::TransferFlags& flags, transfer::TransferClock& clock,
                     std::chrono::milliseconds quiet);

} // namespace maroka::server
