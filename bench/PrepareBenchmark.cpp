// Benchmarks of the send-data preparation on a generated mold-finishing
// program, against sed | tr over the same file in the same run.
//
// The data goes to $MAROKA_BENCH_DIR (default: the system's temporary
// folder + /maroka-bench) and is made once. MAROKA_BENCH_BLOCKS changes the
// size of the program (default 1,000,000 blocks).

#include "MoldProgram.h"

#include "core/prepare/BlockReader.h"
#include "core/prepare/BlockSettings.h"
#include "core/prepare/EstimateQueue.h"
#include "core/prepare/MachiningEstimate.h"
#include "core/prepare/SendFileBuilder.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

namespace {

using namespace maroka;

std::string BenchDir()
{
    const char* env = std::getenv("MAROKA_BENCH_DIR");
    std::filesystem::path dir = env ? env : std::filesystem::temp_directory_path() / "maroka-bench";
    std::filesystem::create_directories(dir);
    return dir.string();
}

std::uint64_t BlockCount()
{
    const char* env = std::getenv("MAROKA_BENCH_BLOCKS");
    return env ? std::strtoull(env, nullptr, 10) : 1'000'000;
}

const std::string& MoldFile()
{
    static const std::string path = [] {
        const std::uint64_t blocks = BlockCount();
        const std::string p = BenchDir() + "/mold-" + std::to_string(blocks) + ".nc";
        if (!std::filesystem::exists(p) && !bench::WriteMoldProgram(p, blocks))
            std::abort();
        return p;
    }();
    return path;
}

const std::string& CallFolder()
{
    static const std::string folder = [] {
        const std::string f = BenchDir() + "/calls";
        std::filesystem::create_directories(f);
        if (!bench::WriteCallProgram(f, 10'000, 50))
            std::abort();
        return f;
    }();
    return folder;
}

void CountBytes(benchmark::State& state, const std::string& path)
{
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                            static_cast<std::int64_t>(std::filesystem::file_size(path)));
}

void BM_SedTrBaseline(benchmark::State& state)
{
    const std::string command = "sed -e 's/([^)]*)//g' '" + MoldFile() + "' | tr a-z A-Z > /dev/null";
    for (auto _ : state) {
        if (std::system(command.c_str()) != 0)
            state.SkipWithError("sed | tr failed");
    }
    CountBytes(state, MoldFile());
}
BENCHMARK(BM_SedTrBaseline)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(3);

void Prepare(benchmark::State& state, const std::string& mode, bool estimate, const std::string& output)
{
    settings::SessionSettings s;
    s.showRemainingTime = estimate;
    const prepare::BlockSettings block = prepare::MakeBlockSettings(s, {}, mode);
    prepare::BuildObserver observer;
    const std::vector<std::string> entries = {MoldFile()};
    for (auto _ : state) {
        prepare::SendFileBuilder builder;
        if (!builder.Build(entries, block, output, observer).ok)
            state.SkipWithError("build failed");
        benchmark::DoNotOptimize(builder.Estimate().Total());
    }
    CountBytes(state, MoldFile());
    state.counters["blocks/s"] =
        benchmark::Counter(static_cast<double>(BlockCount()), benchmark::Counter::kIsIterationInvariantRate);
}

void BM_PrepareMem(benchmark::State& state)
{
    Prepare(state, "MEM", true, "/dev/null");
}
BENCHMARK(BM_PrepareMem)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(3);

void BM_PrepareMemNoEstimate(benchmark::State& state)
{
    Prepare(state, "MEM", false, "/dev/null");
}
BENCHMARK(BM_PrepareMemNoEstimate)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(3);

void BM_PrepareDnc(benchmark::State& state)
{
    Prepare(state, "DNC", true, "/dev/null");
}
BENCHMARK(BM_PrepareDnc)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(3);

void BM_PrepareMemToFile(benchmark::State& state)
{
    Prepare(state, "MEM", true, BenchDir() + "/SENDFILE.bench");
}
BENCHMARK(BM_PrepareMemToFile)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(3);

// The first 200,000 blocks of the program without their line ends.
const std::vector<std::string>& EstimateBlocks()
{
    static const std::vector<std::string> blocks = [] {
        std::vector<std::string> list;
        prepare::BlockReader reader;
        reader.Open(MoldFile());
        std::string block;
        while (reader.Next(block) && list.size() < 200'000) {
            while (!block.empty() && (block.back() == '\n' || block.back() == '\r'))
                block.pop_back();
            list.push_back(block);
        }
        return list;
    }();
    return blocks;
}

// The estimate alone, over blocks already in memory.
void BM_Estimate(benchmark::State& state)
{
    const std::vector<std::string>& blocks = EstimateBlocks();
    prepare::MachiningEstimate estimate;
    for (auto _ : state) {
        estimate.Reset();
        for (const auto& b : blocks)
            estimate.EstimateBlock(b);
        benchmark::DoNotOptimize(estimate.Total());
    }
    state.counters["blocks/s"] =
        benchmark::Counter(static_cast<double>(blocks.size()), benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(BM_Estimate)->Unit(benchmark::kMillisecond)->MinTime(3);

// The same blocks as a build hands them to the estimate: through the queue
// to the second thread.
void BM_EstimateQueued(benchmark::State& state)
{
    const std::vector<std::string>& blocks = EstimateBlocks();
    prepare::MachiningEstimate estimate;
    for (auto _ : state) {
        estimate.Reset();
        prepare::EstimateQueue queue(estimate);
        for (const auto& b : blocks)
            queue.Add(b);
        queue.Finish();
        benchmark::DoNotOptimize(estimate.Total());
    }
    state.counters["blocks/s"] =
        benchmark::Counter(static_cast<double>(blocks.size()), benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(BM_EstimateQueued)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(3);

// A DNC program of 10,000 G65 calls of a 50-block subprogram.
void BM_PrepareDncCalls(benchmark::State& state)
{
    settings::SessionSettings s;
    const prepare::BlockSettings block = prepare::MakeBlockSettings(s, {}, "DNC");
    prepare::BuildObserver observer;
    const std::vector<std::string> entries = {CallFolder() + "/MAIN.NC"};
    for (auto _ : state) {
        prepare::SendFileBuilder builder;
        if (!builder.Build(entries, block, "/dev/null", observer).ok)
            state.SkipWithError("build failed");
    }
    state.counters["calls/s"] = benchmark::Counter(10'000.0, benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(BM_PrepareDncCalls)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(3);

} // namespace

BENCHMARK_MAIN();
