// The cost of one log entry on a large communication log: a log of SIZE_MB
// (default 10) megabytes, newest first, with "ログ最大サイズ" set to hold it,
// gets ENTRIES entries (start and end lines, as transfers write them).
//
//   maroka-log-bench [SIZE_MB] [ENTRIES] [FOLDER]
//
// Prints the mean and the worst time of one entry written at once (a whole
// rewrite of the log), then of one entry handed to a BackgroundLog as the
// transfer worker hands it (what the worker waits for), and how long the
// background took until every entry was on disk.

#include "core/logs/BackgroundLog.h"
#include "core/logs/LogFile.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

using namespace maroka;

int main(int argc, char** argv)
{
    const double sizeMb = argc > 1 ? std::atof(argv[1]) : 10.0;
    const int entries = argc > 2 ? std::atoi(argv[2]) : 100;
    const std::filesystem::path folder =
        argc > 3 ? std::filesystem::path(argv[3]) : std::filesystem::temp_directory_path() / "maroka-log-bench";
    std::filesystem::create_directories(folder);
    const std::string path = (folder / "LOGFILE.ttyS0").string();

    const auto bytes = static_cast<std::size_t>(sizeMb * 1'000'000);
    {
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        std::size_t written = 0;
        for (int i = 0; written < bytes; ++i) {
            const std::string line = "2026/12/07 02:10:" + std::to_string(i % 60) + "\t/home/cnc/programs/O" +
                                     std::to_string(1000 + i % 9000) +
                                     ".NC\t\x91\x97\x90\x4d\x8f\x49\x97\xb9\t00:03:12\r\n\r\n";
            out << line;
            written += line.size();
        }
    }
    // "ログ最大サイズ" in kilobytes of 1000 bytes, just above the log.
    const std::size_t limit = (bytes / 1000 + 100) * 1000;

    const logs::LogFile log(path, [] { return std::string("2026/12/07 02:11:00"); });
    using Clock = std::chrono::steady_clock;
    auto entryOf = [](int i) { return i % 2 == 1 ? "受信終了\r\n" : "受信開始"; };
    auto report = [&](const char* how, double total, double worst) {
        std::printf("log %.1f MB, %d entries %s: mean %.3f ms, worst %.3f ms per entry\n", sizeMb, entries, how,
                    total / entries, worst);
    };

    double total = 0;
    double worst = 0;
    for (int i = 0; i < entries; ++i) {
        const auto start = Clock::now();
        const auto failure = log.AddEntry("/home/cnc/programs/O1234.NC", entryOf(i), limit);
        const double ms = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
        if (failure) {
            std::fprintf(stderr, "%s\n", failure->Describe().c_str());
            return 1;
        }
        total += ms;
        worst = std::max(worst, ms);
    }
    report("written at once", total, worst);

    // Entries a few milliseconds apart, as a server's steps come.
    total = 0;
    worst = 0;
    logs::BackgroundLog behind(log);
    const auto first = Clock::now();
    for (int i = 0; i < entries; ++i) {
        const auto start = Clock::now();
        behind.Add(log.MakeEntry("/home/cnc/programs/O1234.NC", entryOf(i), limit));
        const double ms = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
        total += ms;
        worst = std::max(worst, ms);
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    if (const auto failure = behind.Flush()) {
        std::fprintf(stderr, "%s\n", failure->Describe().c_str());
        return 1;
    }
    const double span = std::chrono::duration<double, std::milli>(Clock::now() - first).count();
    report("behind the caller", total, worst);
    std::printf("all %d entries on disk %.0f ms after the first; file now %ju bytes\n", entries, span,
                static_cast<std::uintmax_t>(std::filesystem::file_size(path)));
    return 0;
}
