// The quick ways through a build (plain lines written straight from the read
// buffer, the estimate on a second thread) against the block-by-block ones,
// on generated programs.

#include "BuildFixture.h"

#include "core/prepare/EstimateQueue.h"
#include "core/prepare/MachiningEstimate.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string_view>
#include <vector>

namespace maroka::prepare {
namespace {

// The pieces of a list written as one text, split at "|".
std::vector<std::string> Pieces(std::string_view joined)
{
    std::vector<std::string> pieces;
    for (std::size_t start = 0, end = 0; end != std::string_view::npos; start = end + 1) {
        end = joined.find('|', start);
        pieces.emplace_back(joined.substr(start, end - start));
    }
    return pieces;
}

bool SameBits(double a, double b)
{
    return std::memcmp(&a, &b, sizeof a) == 0;
}

void ExpectSameEstimate(const MachiningEstimate& a, const MachiningEstimate& b)
{
    EXPECT_TRUE(SameBits(a.RapidTime(), b.RapidTime())) << a.RapidTime() << " " << b.RapidTime();
    EXPECT_TRUE(SameBits(a.FeedTime(), b.FeedTime())) << a.FeedTime() << " " << b.FeedTime();
    EXPECT_TRUE(SameBits(a.RapidLength(), b.RapidLength()));
    EXPECT_TRUE(SameBits(a.FeedLength(), b.FeedLength()));
}

// Blocks made of address letters, numbers in every shape the reader must
// tell apart, blanks, lower case, comments and G words.
std::string RandomBlock(std::mt19937& random)
{
    static const std::vector<std::string> pieces =
        Pieces("X|Y|Z|R|I|J|K|F|G|G0|G01|G02|G03|G17|G18|G19|G90|G91|G92|G04|G65|G1.5|G01.|G12.|0|7|12|.|..|-|+| "
               "|\t|x|g|(C)|M|S|N10|12.5|-1.873|100|0.01|00012|3.|-.5|1.2.3|4-5|9.87654321|12345678.9|"
               "123456789012345678|1234567890.12345|(G00X9.)|(");
    std::string block;
    const int count = static_cast<int>(random() % 14);
    for (int i = 0; i < count; ++i)
        block += pieces[random() % pieces.size()];
    if (random() % 40 == 0)
        block += std::string(random() % 90, '5'); // past 64 bytes
    return block;
}

TEST(EstimateQueue, EstimatesExactlyAsBlockByBlock)
{
    std::mt19937 random(20240611);
    std::vector<std::string> blocks;
    std::size_t bytes = 0;
    // Several chunks' worth, so that the second thread takes part.
    while (bytes < 5 * EstimateQueue::kChunkSize) {
        blocks.push_back(RandomBlock(random));
        bytes += blocks.back().size() + 4;
    }
    // A block bigger than a chunk goes between the others, in its turn.
    blocks.insert(blocks.begin() + static_cast<std::ptrdiff_t>(blocks.size() / 2),
                  "G01X1.F100.Y" + std::string(EstimateQueue::kChunkSize, '1'));

    MachiningEstimate one;
    one.Reset();
    for (const auto& block : blocks)
        one.EstimateBlock(block);

    MachiningEstimate queued;
    queued.Reset();
    {
        EstimateQueue queue(queued);
        for (const auto& block : blocks)
            queue.Add(block);
        queue.Finish();
        ExpectSameEstimate(one, queued);
    }
    EXPECT_NE(queued.Total(), 0);
}

TEST(EstimateQueue, AQueueDroppedUnfinishedStillEstimatesEverything)
{
    MachiningEstimate queued;
    queued.Reset();
    {
        EstimateQueue queue(queued);
        for (int i = 0; i < 20000; ++i)
            queue.Add("G01X1.F100.");
    }
    EXPECT_DOUBLE_EQ(queued.FeedLength(), 1.0);
    EXPECT_DOUBLE_EQ(queued.FeedTime(), 0.01);
}

class FastPathBuild : public test::BuildFixture, public ::testing::Test {
protected:
    struct Built {
        std::string output;
        double estimate = 0;
    };

    Built BuildProgram(const std::string& program)
    {
        Built built;
        const BuildResult result = BuildList({File("PROG.NC", program)});
        built.output = result.ok ? Output() : "?" + result.messages.front().text;
        built.estimate = builder.Estimate().Total();
        return built;
    }

    // The same program once more with an ignore string that never occurs:
    // that takes every block through all the steps one by one.
    void ExpectSameAsBlockByBlock(const std::string& program)
    {
        const Built quick = BuildProgram(program);
        settings.ignoreStrings = true;
        settings.ignorePieces = {"\x7F\x7F"};
        const Built careful = BuildProgram(program);
        settings.ignoreStrings = false;
        settings.ignorePieces.clear();
        EXPECT_EQ(quick.output.size(), careful.output.size());
        EXPECT_TRUE(quick.output == careful.output);
        EXPECT_TRUE(SameBits(quick.estimate, careful.estimate)) << quick.estimate << " " << careful.estimate;
    }
};

std::string RandomProgram(std::mt19937& random, std::size_t lines)
{
    static const std::vector<std::string> pieces =
        Pieces("X12.400 Y3.150 Z-1.873|X1.Y2.Z3.|G01|G02X1.Y1.R1.|F100.|(note)|(PASS 1)|/M01| "
               "/M01|%|O1234|:1|x1.y2.|'cut|M30|  |\t|G17 G03 X1. Y2. Z-3. I-1.5 J0.|N10G0X0Y0|G91G01X10.F100.|S12000 "
               "M03|[|#|\x81\x40|\xB1");
    static const char* const ends[] = {"\r\n", "\n", "  \r\n", "\r\r\n", "\t\n"};
    std::string program;
    for (std::size_t i = 0; i < lines; ++i) {
        const int count = static_cast<int>(random() % 3 + 1);
        for (int j = 0; j < count; ++j)
            program += pieces[random() % pieces.size()];
        if (random() % 500 == 0)
            program += std::string(random() % 4500, 'X'); // cut into several blocks
        program += ends[random() % std::size(ends)];
    }
    return program;
}

TEST_F(FastPathBuild, PlainLinesComeOutAsBlockByBlock)
{
    std::mt19937 random(7);
    // Larger than the read buffer, so lines straddle its refills.
    for (int round = 0; round < 4; ++round) {
        SCOPED_TRACE(round);
        settings.dncMode = round % 2 == 1;
        settings.endOfBlock = round < 2 ? "\n" : "\r\n";
        ExpectSameAsBlockByBlock(RandomProgram(random, 40000) + "X1.Y2.");
    }
    settings.blockSkip = false;
    settings.commentStart = false;
    settings.twoByteCheck = false;
    ExpectSameAsBlockByBlock(RandomProgram(random, 20000));
}

TEST_F(FastPathBuild, LinesAtTheLimitOfABlock)
{
    // A block holds at most 2047 bytes; a line end right after a cut stays
    // with the block before it.
    for (const std::size_t length : {2045, 2046, 2047, 2048, 4094}) {
        SCOPED_TRACE(length);
        ExpectSameAsBlockByBlock(std::string(length, '1') + "\r\nX1.\n" + std::string(length, '2') + "\n");
    }
}

} // namespace
} // namespace maroka::prepare
