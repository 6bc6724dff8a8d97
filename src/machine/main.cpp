// maroka-machine: a simulated CNC control on a pseudo-terminal.

#include "core/platform/FileBytes.h"
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
    auto read = maroka::platform::ReadFileBytes(path);
    if (!read)
        return false;
    bytes = std::move(*read);
    return true;
}

// The program's run, start to summary: the options become a simulated
// machine, a poll loop waits on the machine, the signals and the keyboard,
// and each wake-up reports finished programs and decides whether to end.
class MachineConsole {
public:
    explicit MachineConsole(const MachineOptions& options)
        : options_(options), machine_(options.config), job_(options.punch), punching_(!options.punchFile.empty()),
          commanding_(!options.commandLine.empty()), dnc_(options.config.mode == MachineMode::Dnc)
    {
    }

    // 0 when every program came in whole, 1 otherwise.
    int Run()
    {
        if (punching_ && !ReadFile(options_.punchFile, job_.data)) {
            std::cerr << "maroka-machine: cannot read " << options_.punchFile << "\n";
            return 1;
        }
        if (!InstallSignals()) {
            std::cerr << "maroka-machine: cannot set up signal handling\n";
            return 1;
        }
        if (!machine_.Start(error_)) {
            std::cerr << "maroka-machine: " << error_ << "\n";
            return 1;
        }
        StartJob();
        if (!AnnounceDevice())
            return 1;
        while (!done_)
            WaitAndHandle();
        return Finish();
    }

private:
    static Clock::duration ToDuration(double seconds)
    {
        return std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(seconds));
    }

    void StartJob()
    {
        const auto start = Clock::now();
        if (options_.timeout)
            giveUpAt_ = start + ToDuration(*options_.timeout);
        if (commanding_) {
            job_.data = CommandProgram(options_.commandLine);
            if (options_.cycleStartAfter)
                job_.cycleStartAfter =
                    std::chrono::duration_cast<std::chrono::milliseconds>(ToDuration(*options_.cycleStartAfter));
            machine_.Punch(job_);
            std::cerr << "maroka-machine: sending the command " << options_.commandLine << "\n";
            return;
        }
        if (options_.cycleStartAfter)
            cycleStartAt_ = start + ToDuration(*options_.cycleStartAfter);
        if (punching_) {
            machine_.Punch(job_);
            std::cerr << "maroka-machine: punching " << options_.punchFile << " (" << job_.data.size() << " bytes)"
                      << (job_.waitForStart ? ", waiting for the PC's DC1 or DC2" : "") << "\n";
        }
        const MachineConfig& config = options_.config;
        std::cerr << "maroka-machine: " << (dnc_ ? "DNC" : "memory") << " mode, wire " << config.lineCharsPerSecond
                  << " characters per second";
        if (dnc_)
            std::cerr << ", executing " << ExecCharsPerSecond(config) << " per second, buffer " << config.bufferSize
                      << " (XOFF at " << config.highWater << ", XON at " << config.lowWater << ")";
        std::cerr << "\n";
    }

    // The link first: once the device line is out, the PC may use either.
    bool AnnounceDevice()
    {
        if (!options_.linkPath.empty()) {
            if (!machine_.CreateLink(options_.linkPath, error_)) {
                std::cerr << "maroka-machine: " << error_ << "\n";
                return false;
            }
            std::cerr << "maroka-machine: " << options_.linkPath << " -> " << machine_.DevicePath() << "\n";
        }
        std::cout << "maroka-machine: device " << machine_.DevicePath() << std::endl;
        return true;
    }

    // Until the nearer of the cycle start and the give-up time; -1 for none.
    int PollTimeoutMs(Clock::time_point now) const
    {
        int timeoutMs = -1;
        for (auto at : {cycleStartAt_, giveUpAt_}) {
            if (!at)
                continue;
            const long long ms =
                std::max<long long>(std::chrono::ceil<std::chrono::milliseconds>(*at - now).count(), 0);
            if (timeoutMs < 0 || ms < timeoutMs)
                timeoutMs = static_cast<int>(std::min<long long>(ms, 1 << 30));
        }
        return timeoutMs;
    }

    void WaitAndHandle()
    {
        pollfd fds[3] = {};
        fds[0] = {machine_.NotifyFd(), POLLIN, 0};
        fds[1] = {g_signalPipe[0], POLLIN, 0};
        fds[2] = {keyboardOpen_ ? STDIN_FILENO : -1, POLLIN, 0};
        if (::poll(fds, 3, PollTimeoutMs(Clock::now())) < 0 && errno != EINTR) {
            std::cerr << "maroka-machine: poll failed\n";
            status_ = 1;
            done_ = true;
            return;
        }
        const auto now = Clock::now();
        if (fds[1].revents & POLLIN) {
            Drain(g_signalPipe[0]);
            std::cerr << "maroka-machine: stopped\n";
            done_ = true;
            return;
        }
        if (fds[2].revents & (POLLIN | POLLHUP))
            ReadKeys();
        if (cycleStartAt_ && now >= *cycleStartAt_) {
            cycleStartAt_.reset();
            CycleStart();
        }
        if (fds[0].revents & POLLIN)
            Drain(machine_.NotifyFd());
        CheckProgress(now);
    }

    // A line "q" or "quit" ends the run; any other line is a cycle start.
    void ReadKeys()
    {
        char key[256];
        const ssize_t n = ::read(STDIN_FILENO, key, sizeof key);
        if (n <= 0) {
            keyboardOpen_ = false;
            return;
        }
        keyLine_.append(key, static_cast<std::size_t>(n));
        std::size_t eol;
        while ((eol = keyLine_.find('\n')) != std::string::npos) {
            const std::string line = keyLine_.substr(0, eol);
            keyLine_.erase(0, eol + 1);
            if (line == "q" || line == "quit")
                done_ = true;
            else
                CycleStart();
        }
    }

    void CycleStart()
    {
        machine_.CycleStart();
        std::cerr << "maroka-machine: cycle start\n";
    }

    void CheckProgress(Clock::time_point now)
    {
        const MachineReport report = machine_.Report();
        if (ReportPrograms())
            done_ = done_ || options_.exitAfterProgram || commanding_;
        if (punching_ && options_.exitAfterProgram && report.punchesDone > 0) {
            std::cerr << "maroka-machine: punch done\n";
            done_ = true;
        }
        if (!report.failure.empty()) {
            std::cerr << "maroka-machine: line failure: " << report.failure << "\n";
            status_ = 1;
            done_ = true;
        }
        if (report.stoppedByAlarm) {
            std::cerr << "maroka-machine: overflow alarm, run stopped\n";
            done_ = true;
        }
        if (!done_ && giveUpAt_ && now >= *giveUpAt_) {
            std::cerr << "maroka-machine: timed out after " << *options_.timeout << " seconds\n";
            status_ = 1;
            done_ = true;
        }
    }

    // Prints and stores the programs finished since the last call; true when there were any.
    bool ReportPrograms()
    {
        const std::vector<ReceivedProgram> programs = machine_.Programs();
        const bool any = programsSeen_ < programs.size();
        for (; programsSeen_ < programs.size(); ++programsSeen_) {
            const ReceivedProgram& program = programs[programsSeen_];
            std::cout << "maroka-machine: program " << (program.number.empty() ? "(no number)" : program.number) << ": "
                      << program.text.size() << " bytes, " << program.lines << " lines, ended by "
                      << ProgramEndName(program.end) << std::endl;
            if (options_.saveDir.empty())
                continue;
            const auto path = SaveProgram(options_.saveDir, program, error_);
            if (path.empty()) {
                std::cerr << "maroka-machine: " << error_ << "\n";
                status_ = 1;
            } else {
                std::cerr << "maroka-machine: saved " << path.string() << "\n";
            }
        }
        return any;
    }

    int Finish()
    {
        machine_.Stop();
        machine_.WaitSentTaken(std::chrono::seconds(1));
        const MachineReport report = machine_.Report();
        // A tape cut off by the stop is still reported and kept.
        ReportPrograms();
        std::cout << SummaryLine(report, dnc_) << "\n" << FiguresLine(report) << std::endl;
        if (report.alarms > 0) {
            std::cerr << "maroka-machine: " << report.alarms << " overflow alarm(s)\n";
            status_ = 1;
        }
        machine_.Close();
        return status_;
    }

    const MachineOptions& options_;
    SimulatedMachine machine_;
    PunchJob job_;
    const bool punching_;
    const bool commanding_;
    const bool dnc_;
    std::optional<Clock::time_point> cycleStartAt_;
    std::optional<Clock::time_point> giveUpAt_;
    bool keyboardOpen_ = ::isatty(STDIN_FILENO) == 1;
    std::size_t programsSeen_ = 0;
    std::string keyLine_;
    std::string error_;
    int status_ = 0;
    bool done_ = false;
};

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
    return MachineConsole(options).Run();
}
