#pragma once

// The command line of maroka-machine, parsed into values.

#include "machine/lib/MachineConfig.h"

#include <optional>
#include <string>
#include <vector>

namespace maroka::machine {

struct MachineOptions {
    MachineConfig config;
    std::string linkPath;
    std::string saveDir;

    // Punch a file to the PC, or send a command program and read the reply.
    std::string punchFile;
    std::string commandLine;
    PunchJob punch; // framing, faults and start of the punch or command

    std::optional<double> cycleStartAfter; // seconds
    std::optional<double> timeout;         // seconds
    bool exitAfterProgram = false;
    bool help = false;
};

// Parses the arguments after the program name. On a usage error returns
// false with `error` set.
bool ParseMachineOptions(const std::vector<std::string>& args, MachineOptions& options, std::string& error);

std::string MachineUsage();

} // namespace maroka::machine
