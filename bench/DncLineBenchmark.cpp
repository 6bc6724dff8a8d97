// maroka-dnc-bench MAROKA_CLI [PROGRAM_KB] [EXEC_SHARE]
//
// Feeds a generated program of PROGRAM_KB kilobytes (default 20) with
// `maroka-cli send` in DNC mode to the simulated machine over a true line,
// for each line case a control is commonly set up with, the control
// executing at EXEC_SHARE (default 0.85) of the line's pace. Prints for each
// case the bytes lost, the overflow alarms, the XOFF cycles, the most bytes
// that still arrived after an XOFF, the seconds the control starved, the
// feed time against its physical limit (the program's size over the slower
// of line and execution) and the sender's CPU seconds per megabyte.

#include "core/settings/SettingsFile.h"
#include "core/text/ControlCodes.h"
#include "machine/lib/SimulatedMachine.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

extern char** environ;

namespace {

using namespace maroka;

struct LineCase {
    const char* name;
    unsigned baud;
    bool iso; // 7E2, else 8N1
    std::size_t buffer;
    std::size_t high;
    std::size_t low;
    unsigned char xoff;
};

const LineCase kCases[] = {
    {"4800 7E2 128/96/32 93H", 4800, true, 128, 96, 32, text::kXoff93},
    {"9600 7E2 256/192/64", 9600, true, 256, 192, 64, text::kXoff13},
    {"38400 8N1 1024/768/256", 38400, false, 1024, 768, 256, text::kXoff13},
    {"115200 8N1 1024/768/256", 115200, false, 1024, 768, 256, text::kXoff13},
};

std::string MakeProgram(std::size_t bytes)
{
    std::string program = "%\nO3000(BENCH)\n";
    char line[96];
    for (std::size_t n = 0; program.size() < bytes; ++n) {
        std::snprintf(line, sizeof line, "N%zuG01X%zu.%03zuY-%zu.%03zuF1800\n", n % 100000, n % 997, n % 1000, n % 313,
                      (n * 7) % 1000);
        program += line;
    }
    return program + "M30\n%\n";
}

// Runs the CLI to its end; the CPU seconds it used, or a negative number.
double RunSender(const std::vector<std::string>& arguments)
{
    std::vector<std::string> args = arguments;
    std::vector<char*> argv;
    for (std::string& arg : args)
        argv.push_back(arg.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    pid_t pid = 0;
    const int rc = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0)
        return -1;
    int status = 0;
    rusage usage{};
    wait4(pid, &status, 0, &usage);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
        return -1;
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s MAROKA_CLI [PROGRAM_KB] [EXEC_SHARE]\n", argv[0]);
        return 2;
    }
    const std::string cli = argv[1];
    const double kilobytes = argc > 2 ? std::strtod(argv[2], nullptr) : 20.0;
    const double share = argc > 3 ? std::strtod(argv[3], nullptr) : 0.85;

    const auto dir = std::filesystem::temp_directory_path() / ("maroka-dnc-bench-" + std::to_string(getpid()));
    std::filesystem::create_directories(dir);
    const std::string programPath = (dir / "O3000.NC").string();
    {
        std::ofstream out(programPath, std::ios::binary);
        out << MakeProgram(static_cast<std::size_t>(kilobytes * 1024));
    }

    std::printf("%-26s %6s %6s %5s %6s %9s %8s %8s %7s %10s\n", "line, buffer/XOFF/XON", "lost", "alarms", "XOFF",
                "after", "starved", "feed", "limit", "ratio", "CPU s/MB");
    int failures = 0;
    for (const LineCase& c : kCases) {
        machine::MachineConfig config;
        config.mode = machine::MachineMode::Dnc;
        config.lineCharsPerSecond = c.baud / (c.iso ? 11.0 : 10.0);
        config.execCharsPerSecond = config.lineCharsPerSecond * share;
        config.bufferSize = c.buffer;
        config.highWater = c.high;
        config.lowWater = c.low;
        config.xoffByte = c.xoff;
        machine::SimulatedMachine machine(config);
        std::string error;
        if (!machine.Start(error)) {
            std::fprintf(stderr, "%s\n", error.c_str());
            return 1;
        }

        settings::SessionSettings s;
        s.baudRate = std::to_string(c.baud);
        s.code = c.iso ? "ISO" : "ASC";
        s.stopBits = c.iso ? "2" : "1";
        s.dc3Code = c.xoff == text::kXoff93 ? "93H" : "13H";
        s.sendMode = "DNC";
        s.sendDelayEnabled = false;
        s.ignoreCycleStart = true;
        s.sendBufferSize = "256";
        const std::string settingsPath = (dir / "maroka0.ini").string();
        if (settings::SettingsFile(settingsPath).SaveSettings(s))
            return 1;

        const double cpu =
            RunSender({cli, "--settings", settingsPath, "--port", machine.DevicePath(), "send", programPath});
        machine.WaitUntil([](const machine::MachineReport& r) { return r.bufferFill == 0; }, std::chrono::seconds(30));
        machine.Stop();
        const machine::MachineReport r = machine.Report();
        const double limit = static_cast<double>(r.bytesConsumed) /
                             std::min(config.lineCharsPerSecond, machine::ExecCharsPerSecond(config));
        const double megabytes = static_cast<double>(r.bytesReceived) / 1e6;
        std::printf("%-26s %6zu %6zu %5zu %6zu %8.3fs %7.2fs %7.2fs %7.3f %10.3f%s\n", c.name, r.lostBytes, r.alarms,
                    r.xoffSent, r.maxAfterXoff, r.starvedSeconds, r.feedSeconds, limit,
                    limit > 0 ? r.feedSeconds / limit : 0.0, cpu >= 0 && megabytes > 0 ? cpu / megabytes : -1.0,
                    cpu < 0 ? "  (send failed)" : "");
        std::fflush(stdout);
        failures += cpu < 0 || r.lostBytes > 0 ? 1 : 0;
    }
    std::filesystem::remove_all(dir);
    return failures == 0 ? 0 : 1;
}
