// maroka-machine: a simulated CNC control on a pseudo-terminal.

#include "machine/lib/MachineOptions.h"
#include "machine/lib/MachineSummary.h"
#include "machine/lib/ProgramStore.h"
#include "machine/lib/SimulatedMachine.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <fstream>
#include <iostream>
#include <iterator>
#include <optional>
#include <poll.h>
#include <string>
#include <unistd.h>
#include <vector>

using namespace maroka::machine;
using Clock = std::chrono::steady_clock;

namespace {

int g_signalPipe[2] = {-1, -1};

void OnSignal(int)
{
    int saved = errno;
    char byte = 1;
    [[maybe_unused]] ssize_t n = ::write(g_signalPipe[1], &byte, 1);
    errno = saved;
}

bool InstallSignals()
{
    if (::pipe2(g_signalPipe, O_CLOEXEC | O_NONBLOCK) != 0)
        return false;
    struct sigaction action {};
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    for (int signal : {SIGINT, SIGTERM, SIGHUP}) {
        if (sigaction(signal, &action, nullptr) != 0)
            return false;
    }
    std::signal(SIGPIPE, SIG_IGN);
    return true;
}

void Drain(int fd)
{
    char buffer[64];
    while (::read(fd, buffer, sizeof buffer) > 0) {
    }
}

bool ReadFile(const std::string& path, std::string& bytes)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return false;
    bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return !in.bad();
}

} // namespace

int main(int argc, char** argv)
{
    std::vector<std::string> args(argv + 1, argv + argc);
    MachineOptions options;
    std::string error;
    if (!ParseMachineOptions(args, options, error)) {
        std::cerr << "maroka-machine: " << error << "\nTry 'maroka-machine --help'.\n";
        return 2;
    }
    if (options.help) {
        std::cout << MachineUsage();
        return 0;
    }

    PunchJob job = options.punch;
    const bool punching = !options.punchFile.empty();
    const bool commanding = !options.commandLine.empty();
    if (punching && !ReadFile(options.punchFile, job.data)) {
        std::cerr << "maroka-machine: cannot read " << options.punchFile << "\n";
        return 1;
    }
    if (!InstallSignals()) {
        std::cerr << "maroka-machine: cannot set up signal handling\n";
        return 1;
    }

    SimulatedMachine machine(options.config);
    if (!machine.Start(error)) {
        std::cerr << "maroka-machine: " << error << "\n";
        return 1;
    }
    const bool dnc = options.config.mode == MachineMode::Dnc;
    const auto start = Clock::now();
    std::optional<Clock::time_point> cycleStartAt;
    std::optional<Clock::time_point> giveUpAt;
    auto toDuration = [](double seconds) {
        return std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(seconds));
    };
    if (options.timeout)
        giveUpAt = start + toDuration(*options.timeout);

    if (commanding) {
        job.data = CommandProgram(options.commandLine);
        if (options.cycleStartAfter)
            job.cycleStartAfter =
                std::chrono::duration_cast<std::chrono::milliseconds>(toDuration(*options.cycleStartAfter));
        machine.Punch(job);
        std::cerr << "maroka-machine: sending the command " << options.commandLine << "\n";
    } else {
        if (options.cycleStartAfter)
            cycleStartAt = start + toDuration(*options.cycleStartAfter);
        if (punching) {
            machine.Punch(job);
            std::cerr << "maroka-machine: punching " << options.punchFile << " (" << job.data.size() << " bytes)"
                      << (job.waitForStart ? ", waiting for the PC's DC1 or DC2" : "") << "\n";
        }
        std::cerr << "maroka-machine: " << (dnc ? "DNC" : "memory") << " mode, wire "
                  << options.config.lineCharsPerSecond << " characters per second";
        if (dnc)
            std::cerr << ", executing " << ExecCharsPerSecond(options.config) << " per second, buffer "
                      << options.config.bufferSize << " (XOFF at " << options.config.highWater << ", XON at "
                      << options.config.lowWater << ")";
        std::cerr << "\n";
    }

    // The link first: once the device line is out, the PC may use either.
    if (!options.linkPath.empty()) {
        if (!machine.CreateLink(options.linkPath, error)) {
            std::cerr << "maroka-machine: " << error << "\n";
            return 1;
        }
        std::cerr << "maroka-machine: " << options.linkPath << " -> " << machine.DevicePath() << "\n";
    }
    std::cout << "maroka-machine: device " << machine.DevicePath() << std::endl;

    const bool keyboard = ::isatty(STDIN_FILENO) == 1;
    std::size_t programsSeen = 0;
    int status = 0;
    bool done = false;
    std::string keyLine;
    // Prints and stores the programs finished since the last call; true when there were any.
    auto reportPrograms = [&]() {
        std::vector<ReceivedProgram> programs = machine.Programs();
        bool any = programsSeen < programs.size();
        for (; programsSeen < programs.size(); ++programsSeen) {
            const ReceivedProgram& program = programs[programsSeen];
            std::cout << "maroka-machine: program " << (program.number.empty() ? "(no number)" : program.number) << ": "
                      << program.text.size() << " bytes, " << program.lines << " lines, ended by "
                      << ProgramEndName(program.end) << std::endl;
            if (options.saveDir.empty())
                continue;
            auto path = SaveProgram(options.saveDir, program, error);
            if (path.empty()) {
                std::cerr << "maroka-machine: " << error << "\n";
                status = 1;
            } else {
                std::cerr << "maroka-machine: saved " << path.string() << "\n";
            }
        }
        return any;
    };
    while (!done) {
        pollfd fds[3] = {};
        fds[0] = {machine.NotifyFd(), POLLIN, 0};
        fds[1] = {g_signalPipe[0], POLLIN, 0};
        fds[2] = {keyboard ? STDIN_FILENO : -1, POLLIN, 0};
        int timeoutMs = -1;
        auto now = Clock::now();
        for (auto at : {cycleStartAt, giveUpAt}) {
            if (!at)
                continue;
            auto ms = std::chrono::ceil<std::chrono::milliseconds>(*at - now).count();
            ms = std::max<long long>(ms, 0);
            if (timeoutMs < 0 || ms < timeoutMs)
                timeoutMs = static_cast<int>(std::min<long long>(ms, 1 << 30));
        }
        if (::poll(fds, 3, timeoutMs) < 0 && errno != EINTR) {
            std::cerr << "maroka-machine: poll failed\n";
            status = 1;
            break;
        }
        now = Clock::now();
        if (fds[1].revents & POLLIN) {
            Drain(g_signalPipe[0]);
            std::cerr << "maroka-machine: stopped\n";
            break;
        }
        if (fds[2].revents & (POLLIN | POLLHUP)) {
            char key[256];
            ssize_t n = ::read(STDIN_FILENO, key, sizeof key);
            if (n <= 0) {
                fds[2].fd = -1;
            } else {
                keyLine.append(key, static_cast<std::size_t>(n));
                std::size_t eol;
                while ((eol = keyLine.find('\n')) != std::string::npos) {
                    std::string line = keyLine.substr(0, eol);
                    keyLine.erase(0, eol + 1);
                    if (line == "q" || line == "quit") {
                        done = true;
                    } else {
                        machine.CycleStart();
                        std::cerr << "maroka-machine: cycle start\n";
                    }
                }
            }
        }
        if (cycleStartAt && now >= *cycleStartAt) {
            cycleStartAt.reset();
            machine.CycleStart();
            std::cerr << "maroka-machine: cycle start\n";
        }
        if (fds[0].revents & POLLIN)
            Drain(machine.NotifyFd());

        MachineReport report = machine.Report();
        if (reportPrograms())
            done = done || options.exitAfterProgram || commanding;
        if (punching && options.exitAfterProgram && report.punchesDone > 0) {
            std::cerr << "maroka-machine: punch done\n";
            done = true;
        }
        if (!report.failure.empty()) {
            std::cerr << "maroka-machine: line failure: " << report.failure << "\n";
            status = 1;
            done = true;
        }
        if (report.stoppedByAlarm) {
            std::cerr << "maroka-machine: overflow alarm, run stopped\n";
            done = true;
        }
        if (!done && giveUpAt && now >= *giveUpAt) {
            std::cerr << "maroka-machine: timed out after " << *options.timeout << " seconds\n";
            status = 1;
            done = true;
        }
    }

    machine.Stop();
    machine.WaitSentTaken(std::chrono::seconds(1));
    MachineReport report = machine.Report();
    // A tape cut off by the stop is still reported and kept.
    reportPrograms();
    std::cout << SummaryLine(report, dnc) << "\n" << FiguresLine(report) << std::endl;
    if (report.alarms > 0) {
        std::cerr << "maroka-machine: " << report.alarms << " overflow alarm(s)\n";
        status = 1;
    }
    machine.Close();
    return status;
}
