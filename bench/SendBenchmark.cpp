// maroka-send-bench CLI SIZE_MB CHUNK [HOLD_SECONDS]
//
// Sends a generated program of SIZE_MB megabytes with `maroka-cli send
// --direct` through a pseudo-terminal to a receiver that reads as fast as it
// can, and reports throughput, CPU seconds per MB and peak RSS of the sending
// process. With HOLD_SECONDS the receiver answers the first byte with XOFF,
// holds the line that long, then sends XON: the sender's CPU during the hold
// is what the figure is about.

#include "core/settings/SettingsFile.h"

#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <thread>

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;

std::uint64_t Fnv(std::uint64_t hash, const char* data, std::size_t size)
{
    for (std::size_t i = 0; i < size; ++i)
        hash = (hash ^ static_cast<unsigned char>(data[i])) * 1099511628211ull;
    return hash;
}

std::uint64_t WriteProgram(const std::string& path, std::size_t bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    std::uint64_t hash = 1469598103934665603ull;
    std::size_t written = 0;
    char line[96];
    for (std::size_t n = 0; written < bytes; ++n) {
        const int length = std::snprintf(line, sizeof line, "N%zuG01X%zu.%03zuY-%zu.%03zuZ-1.250F1800\n", n % 100000,
                                         n % 997, n % 1000, n % 313, (n * 7) % 1000);
        out.write(line, length);
        hash = Fnv(hash, line, static_cast<std::size_t>(length));
        written += static_cast<std::size_t>(length);
    }
    return hash;
}

// User plus system CPU seconds of a process so far.
double ProcessCpuSeconds(pid_t pid)
{
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
    const auto close = text.rfind(')');
    if (close == std::string::npos)
        return 0;
    std::istringstream fields(text.substr(close + 2));
    std::string field;
    unsigned long long utime = 0, stime = 0;
    for (int i = 3; i <= 15 && fields >> field; ++i) {
        if (i == 14)
            utime = std::stoull(field);
        if (i == 15)
            stime = std::stoull(field);
    }
    return static_cast<double>(utime + stime) / static_cast<double>(sysconf(_SC_CLK_TCK));
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 4) {
        std::fprintf(stderr, "usage: %s MAROKA_CLI SIZE_MB CHUNK [HOLD_SECONDS]\n", argv[0]);
        return 2;
    }
    const std::string cli = argv[1];
    const double megabytes = std::strtod(argv[2], nullptr);
    const std::string chunk = argv[3];
    const int holdSeconds = argc > 4 ? std::atoi(argv[4]) : 0;

    const auto dir = std::filesystem::temp_directory_path() / ("maroka-send-bench-" + std::to_string(getpid()));
    std::filesystem::create_directories(dir);
    const std::string program = (dir / "BIG.NC").string();
    const std::uint64_t expected = WriteProgram(program, static_cast<std::size_t>(megabytes * 1e6));
    const auto size = std::filesystem::file_size(program);

    maroka::settings::SessionSettings settings;
    settings.ignoreCycleStart = true;
    settings.sendDelayEnabled = false;
    settings.sendBufferSize = chunk;
    const std::string settingsPath = (dir / "maroka0.ini").string();
    if (maroka::settings::SettingsFile(settingsPath).SaveSettings(settings))
        return 1;

    const int master = posix_openpt(O_RDWR | O_NOCTTY);
    grantpt(master);
    unlockpt(master);
    termios raw{};
    tcgetattr(master, &raw);
    cfmakeraw(&raw);
    tcsetattr(master, TCSANOW, &raw);
    const std::string device = ptsname(master);

    std::atomic<std::uint64_t> received{0};
    std::atomic<pid_t> sender{0};
    double holdCpu = 0;
    std::uint64_t hash = 1469598103934665603ull;
    std::thread reader([&] {
        char buffer[65536];
        bool held = false;
        while (received < size) {
            pollfd pfd{master, POLLIN, 0};
            if (poll(&pfd, 1, 30000) <= 0)
                break;
            const ssize_t got = read(master, buffer, sizeof buffer);
            if (got <= 0)
                break;
            if (holdSeconds > 0 && !held) {
                held = true;
                const char xoff = 0x13;
                if (write(master, &xoff, 1) != 1)
                    break; // an unheld sender would make the hold figure a lie
                // Settle first, then measure the sender over the hold alone.
                std::this_thread::sleep_for(std::chrono::seconds(1));
                const double before = ProcessCpuSeconds(sender);
                std::this_thread::sleep_for(std::chrono::seconds(holdSeconds));
                holdCpu = ProcessCpuSeconds(sender) - before;
                const char xon = 0x11;
                if (write(master, &xon, 1) != 1)
                    break;
            }
            hash = Fnv(hash, buffer, static_cast<std::size_t>(got));
            received += static_cast<std::uint64_t>(got);
        }
    });

    std::string a0 = cli, a1 = "--settings", a2 = settingsPath, a3 = "--port", a4 = device, a5 = "send",
                a6 = "--direct", a7 = program;
    char* args[] = {a0.data(), a1.data(), a2.data(), a3.data(), a4.data(), a5.data(), a6.data(), a7.data(), nullptr};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    pid_t pid = 0;
    const auto started = Clock::now();
    if (posix_spawn(&pid, args[0], &actions, nullptr, args, environ) != 0)
        return 1;
    sender = pid;
    int status = 0;
    rusage usage{};
    wait4(pid, &status, 0, &usage);
    const double seconds = std::chrono::duration<double>(Clock::now() - started).count();
    reader.join();
    close(master);
    std::filesystem::remove_all(dir);

    const double cpu = static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
                       static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
    const double mb = static_cast<double>(size) / 1e6;
    std::printf("size %.1f MB, chunk %s, exit %d, %s\n", mb, chunk.c_str(), WEXITSTATUS(status),
                received == size && hash == expected ? "byte-exact" : "DIFFERENT");
    std::printf("wall %.2f s, %.2f MB/s, sender CPU %.3f s (%.4f s/MB), peak RSS %ld KB\n", seconds, mb / seconds, cpu,
                cpu / mb, usage.ru_maxrss);
    if (holdSeconds > 0)
        std::printf("held %d s by XOFF: sender CPU %.3f s in the hold, %.3f %% of one core\n", holdSeconds, holdCpu,
                    100.0 * holdCpu / holdSeconds);
    return received == size && hash == expected ? 0 : 1;
}
