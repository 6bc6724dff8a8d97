// Runs the whole send-data build on random input: the first bytes choose
// the settings, the rest is split into a main program and a subprogram it
// may call. Whatever the input, the build must end with a result, never
// crash, hang or read out of bounds; the estimate runs on the same lines.

#include "FuzzFile.h"

#include "core/prepare/BlockSettings.h"
#include "core/prepare/MachiningEstimate.h"
#include "core/prepare/SendFileBuilder.h"

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

namespace {

using namespace maroka::prepare;

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 4)
        return 0;
    const std::uint32_t bits = data[0] | (data[1] << 8) | (data[2] << 16) | (static_cast<std::uint32_t>(data[3]) << 24);
    std::string_view rest(reinterpret_cast<const char*>(data + 4), size - 4);

    BlockSettings s;
    s.headPercent = bits & 1;
    s.tailPercent = bits & 2;
    s.percentAtEachLabel = bits & 4;
    s.endOfBlockAfterTailPercent = bits & 8;
    s.percentComment = bits & 16;
    s.blockSkip = bits & 32;
    s.commentStart = bits & 64;
    s.commentStartText = (bits & 128) ? "'" : ";";
    s.ignoreStrings = bits & 256;
    s.ignorePieces = {"N1", "\x81\x40", "M0"};
    s.convert = bits & 512;
    s.conversionRows = {{"M03", "M03M08"}, {"X", "XX"}, {"\x83\x41", "A"}};
    s.twoByteCheck = bits & 1024;
    s.estimate = bits & 2048;
    s.dncMode = bits & 4096;
    s.ignoreCodesEnabled = bits & 8192;
    s.ignoreCodes = {"M05", "G4"};
    s.endOfBlock = (bits & 16384) ? "\r\n" : "\n";

    // "\x00\x00" splits the main program from the subprogram SUB.NC.
    const std::size_t split = rest.find(std::string_view("\0\0", 2));
    const std::string_view main = rest.substr(0, split);
    const std::string_view sub = split == std::string_view::npos ? std::string_view() : rest.substr(split + 2);
    const std::string mainPath = maroka::fuzz::WriteScratch("MAIN.NC", main);
    maroka::fuzz::WriteScratch("SUB.NC", sub);

    BuildObserver observer;
    SendFileBuilder builder;
    const std::vector<std::string> entries =
        (bits & 32768) ? std::vector<std::string>{mainPath} : std::vector<std::string>{mainPath, "M30"};
    const BuildResult result = builder.Build(entries, s, maroka::fuzz::ScratchFolder() + "/SENDFILE", observer);
    if (!result.ok && result.messages.empty())
        std::abort(); // a failure always says why

    MachiningEstimate estimate;
    estimate.Reset();
    std::size_t start = 0;
    while (start < main.size()) {
        std::size_t end = main.find('\n', start);
        if (end == std::string_view::npos)
            end = main.size();
        estimate.EstimateBlock(main.substr(start, end - start));
        start = end + 1;
    }
    return 0;
}
