// maroka-cli estimate --line: the feed verdict for a line speed, on the
// program as preparation makes it.

#include "e2e/CliRun.h"

namespace maroka {
namespace {

using namespace std::chrono_literals;
using EstimateEndToEnd = test::EndToEnd;

TEST_F(EstimateEndToEnd, TheLineVerdictComesBeforeTheTotal)
{
    // 21-byte blocks of 10 ms: 2100 characters a second.
    std::string program = "%\nO0100(FINISH)\n";
    for (int n = 0; n < 2000; ++n)
        program += n % 2 == 0 ? "G01X1.000Y0.000F6000\n" : "G01X0.000Y0.000F6000\n";
    const std::string file = File("FINISH.NC", program + "M30\n%\n");

    const auto slow = test::RunCli(Command({"estimate", "--dnc", "--line", "9600", file}), 60s);
    ASSERT_EQ(slow.exitCode, 0) << slow.err;
    EXPECT_NE(slow.out.find("DNC 供給不足の予測（9600 bps）"), std::string::npos) << slow.out;
    // Scripts read the total from the last line.
    EXPECT_EQ(slow.out.substr(slow.out.rfind('\n', slow.out.size() - 2) + 1), "0.333333\n");

    const auto bad = test::RunCli(Command({"estimate", "--line", "fast", file}), 60s);
    EXPECT_EQ(bad.exitCode, 2);
    EXPECT_NE(bad.err.find("--line needs a positive whole number"), std::string::npos) << bad.err;
}

} // namespace
} // namespace maroka
