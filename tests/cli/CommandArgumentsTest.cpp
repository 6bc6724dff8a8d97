#include "cli/CommandArguments.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>

using namespace maroka::cli;

namespace {

struct Streams {
    std::ostringstream out;
    std::ostringstream err;
    std::istringstream in;
    CliContext ctx{out, err, in, false, {}, {}};
};

} // namespace

TEST(CommandArguments, SeparatesOptionsFromFilesAndHelpOrAnUnknownOptionEndsTheCommand)
{
    Streams s;
    const auto parsed = ParseCommandArguments(s.ctx, {"--direct", "O1.NC", "/nc/O2.NC"}, "send",
                                              {"--direct", "--show-data"}, "usage\n");
    EXPECT_FALSE(parsed.exitCode);
    EXPECT_TRUE(parsed.Has("--direct"));
    EXPECT_FALSE(parsed.Has("--show-data"));
    ASSERT_EQ(parsed.files.size(), 2u);
    EXPECT_EQ(parsed.files[0], (std::filesystem::current_path() / "O1.NC").string());
    EXPECT_EQ(parsed.files[1], "/nc/O2.NC");

    Streams help;
    EXPECT_EQ(ParseCommandArguments(help.ctx, {"O1.NC", "-h"}, "send", {}, "usage\n").exitCode, kExitOk);
    EXPECT_EQ(help.out.str(), "usage\n");

    Streams unknown;
    EXPECT_EQ(ParseCommandArguments(unknown.ctx, {"--force", "O1.NC"}, "receive", {"--retry"}, "usage\n").exitCode,
              kExitUsage);
    EXPECT_EQ(unknown.err.str(), "receive: unknown option --force\nusage\n");
    EXPECT_EQ(unknown.out.str(), "");
}
