// maroka-prepare-rss MEGABYTES [mem|dnc]: generates a mold program of about
// MEGABYTES (reused when already there), prepares it into a file beside it,
// and prints the time and the peak resident set size.

#include "MoldProgram.h"

#include "core/prepare/BlockSettings.h"
#include "core/prepare/SendFileBuilder.h"

#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

int main(int argc, char** argv)
{
    using namespace maroka;
    const std::uint64_t megabytes = argc > 1 ? std::strtoull(argv[1], nullptr, 10) : 500;
    const std::string mode = argc > 2 && std::string(argv[2]) == "dnc" ? "DNC" : "MEM";
    const char* env = std::getenv("MAROKA_BENCH_DIR");
    const std::filesystem::path dir = env ? env : std::filesystem::temp_directory_path() / "maroka-bench";
    std::filesystem::create_directories(dir);
    const std::string input = (dir / ("mold-" + std::to_string(megabytes) + "mb.nc")).string();
    const std::string output = (dir / "SENDFILE.rss").string();
    // About 26 bytes a block.
    if (!std::filesystem::exists(input) && !bench::WriteMoldProgram(input, megabytes * 1'000'000 / 26)) {
        std::fprintf(stderr, "cannot write %s\n", input.c_str());
        return 1;
    }
    rusage before{};
    getrusage(RUSAGE_SELF, &before);

    settings::SessionSettings s;
    const prepare::BlockSettings block = prepare::MakeBlockSettings(s, {}, mode);
    prepare::BuildObserver observer;
    prepare::SendFileBuilder builder;
    const auto start = std::chrono::steady_clock::now();
    const prepare::BuildResult result = builder.Build({input}, block, output, observer);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();

    rusage after{};
    getrusage(RUSAGE_SELF, &after);
    std::printf("input %s: %.1f MB, %s, %s\n", input.c_str(),
                static_cast<double>(std::filesystem::file_size(input)) / 1e6, mode.c_str(),
                result.ok ? "ok" : "failed");
    std::printf("prepare: %.2f s, estimate %.3f min\n", seconds, builder.Estimate().Total());
    std::printf("peak RSS: %ld KB (before the build: %ld KB)\n", after.ru_maxrss, before.ru_maxrss);
    std::filesystem::remove(output);
    return result.ok ? 0 : 1;
}
