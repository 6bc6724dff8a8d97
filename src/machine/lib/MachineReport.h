#pragma once

// What the simulated machine has done so far, as a snapshot.

#include <cstddef>
#include <string>

namespace maroka::machine {

struct MachineReport {
    std::size_t bytesReceived = 0; // every byte taken off the wire
    std::size_t bytesConsumed = 0; // DNC: bytes executed from the buffer
    std::size_t bytesSent = 0;     // every byte written to the PC
    std::size_t bufferFill = 0;    // DNC
    std::size_t maxBufferFill = 0; // DNC
    std::size_t programs = 0;      // programs finished, however they ended
    std::size_t completePrograms = 0;
    std::size_t alarms = 0;    // DNC overflow alarms; one lasts until the buffer is down to low water
    std::size_t lostBytes = 0; // DNC bytes that found the buffer full
    std::size_t xoffSent = 0;
    std::size_t xonSent = 0;
    std::size_t xoffReceived = 0; // from the PC while punching
    std::size_t xonReceived = 0;
    std::size_t cycleStartsSent = 0;
    std::size_t punchesQueued = 0; // every punch asked for, also the running and the finished
    std::size_t punchesDone = 0;
    std::size_t skippedBytes = 0; // bytes before a tape start that were not leader
    // The wire: bytes the PC had written that were still on their way at the
    // last look, and the most ever.
    std::size_t wireBacklog = 0;
    std::size_t maxWireBacklog = 0;
    // DNC: the most bytes that arrived after one of our XOFFs had reached the PC.
    std::size_t maxAfterXoff = 0;
    // DNC: seconds the control stood starved (see DncControl), and seconds from
    // the first received byte entering the wire to the end of the last byte's
    // execution.
    double starvedSeconds = 0.0;
    double feedSeconds = 0.0;
    bool running = false;
    bool stoppedByAlarm = false;
    std::string failure; // why the line failed, empty while it works
};

} // namespace maroka::machine
