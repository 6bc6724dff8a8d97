// The cost of one log entry on a large communication log: a log of SIZE_MB
// (default 10) megabytes, newest first, with "ログ最大サイズ" set to hold it,
// gets ENTRIES entries (start and end lines, as transfers write them).
//
//   maroka-log-bench [SIZE_MB] [ENTRIES] [FOLDER]
//
// Prints the mean and the worst time of one entry.

#include "core/logs/LogFile.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

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
    double total = 0;
    double worst = 0;
    for (int i = 0; i < entries; ++i) {
        const bool end = i % 2 == 1;
        const auto start = std::chrono::steady_clock::now();
        const auto failure = log.AddEntry("/home/cnc/programs/O1234.NC", end ? "受信終了\r\n" : "受信開始", limit);
        const double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
        if (failure) {
            std::fprintf(stderr, "%s\n", failure->Describe().c_str());
            return 1;
        }
        total += ms;
        worst = std::max(worst, ms);
    }
    std::printf("log %.1f MB, %d entries: mean %.2f ms, worst %.2f ms per entry, file now %ju bytes\n", sizeMb, entries,
                total / entries, worst, static_cast<std::uintmax_t>(std::filesystem::file_size(path)));
    return 0;
}
