// Runs the machining estimate over random blocks. Beyond never crashing, it
// holds the estimate to what its callers rely on: times and lengths are
// never negative, the same program gives the same figures after a reset,
// a block is refused exactly when a "(" has no ")" after it, and the number
// reader agrees with the C library on every text it accepts.

#include "core/prepare/MachiningEstimate.h"

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

namespace {

using maroka::prepare::MachiningEstimate;

std::vector<std::string_view> Blocks(std::string_view text)
{
    std::vector<std::string_view> blocks;
    std::size_t start = 0;
    while (start <= text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string_view::npos)
            end = text.size();
        blocks.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return blocks;
}

bool Refusable(std::string_view block)
{
    const std::size_t open = block.rfind('(');
    return open != std::string_view::npos && block.find(')', open) == std::string_view::npos;
}

bool SameFigure(double a, double b)
{
    return a == b || (std::isnan(a) && std::isnan(b));
}

void CheckNumberReader(std::string_view text)
{
    std::string number;
    for (const char c : text) {
        if (std::string_view("+-.0123456789").find(c) != std::string_view::npos)
            number.push_back(c);
    }
    const double ours = maroka::prepare::ReadReal(number);
    const double library = std::strtod(number.c_str(), nullptr);
    if (!SameFigure(ours, library))
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const std::vector<std::string_view> blocks = Blocks(text);

    MachiningEstimate estimate;
    double totals[2] = {};
    for (double& total : totals) {
        estimate.Reset();
        for (const std::string_view block : blocks) {
            if (estimate.EstimateBlock(block) == Refusable(block))
                std::abort();
            if (estimate.RapidTime() < 0 || estimate.FeedTime() < 0 || estimate.RapidLength() < 0 ||
                estimate.FeedLength() < 0)
                std::abort();
        }
        total = estimate.Total();
    }
    if (!SameFigure(totals[0], totals[1]))
        std::abort();

    CheckNumberReader(text.substr(0, 64));
    return 0;
}
