// maroka-cli prepare and send as an operator types them: what may happen to
// the files named on the command line.

#include "e2e/CliRun.h"

#include <cstdlib>

using namespace maroka;
using namespace std::chrono_literals;
using maroka::test::ReadFileBytes;

namespace {

struct PrepareCommand : test::EndToEnd {
    PrepareCommand() { WriteSettings(); }

    test::CliResult Prepare(std::vector<std::string> arguments)
    {
        arguments.insert(arguments.begin(), "prepare");
        return test::RunCli(Command(arguments), 60s);
    }

    // Files a command left behind; the settings file's lock stays by design.
    std::size_t FilesInDir() const
    {
        std::size_t count = 0;
        for (const auto& entry : std::filesystem::directory_iterator(dir.Path()))
            count += entry.path().extension() == ".lock" ? 0 : 1;
        return count;
    }
};

TEST_F(PrepareCommand, AnOutputThatIsOneOfTheFilesReadIsRefusedAndKept)
{
    const std::string main = File("MAIN.NC", "G65[SUB.NC]P1\nM30\n");
    const std::string sub = File("SUB.NC", "G00X1.\nM99\n");
    auto result = Prepare({"--dnc", "-o", main, main});
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_NE(result.err.find("MAIN.NC"), std::string::npos) << result.err;
    EXPECT_EQ(ReadFileBytes(main), "G65[SUB.NC]P1\nM30\n");

    // A subprogram the build calls is read as well.
    result = Prepare({"--dnc", "-o", sub, main});
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_EQ(ReadFileBytes(sub), "G00X1.\nM99\n");
    EXPECT_EQ(FilesInDir(), 3u); // the two programs and the settings, no leftovers

    const std::string out = (dir / "OUT.NC").string();
    result = Prepare({"--dnc", "-o", out, main});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    EXPECT_NE(ReadFileBytes(out).find("G00X1."), std::string::npos);
}

TEST_F(PrepareCommand, AFailedBuildLeavesTheTargetAsItWas)
{
    const std::string program = File("P.NC", "G00X1.\x89\xC1\n"); // two-byte text, refused
    const std::string out = File("OUT.NC", "keep\n");
    EXPECT_EQ(Prepare({"-o", out, program}).exitCode, 1);
    EXPECT_EQ(ReadFileBytes(out), "keep\n");
    EXPECT_EQ(FilesInDir(), 3u);

    // A device is written to, never replaced or removed.
    EXPECT_EQ(Prepare({"-o", "/dev/null", program}).exitCode, 1);
    EXPECT_TRUE(std::filesystem::is_character_file("/dev/null"));
}

TEST_F(PrepareCommand, StandardOutputKeepsItsOwnOpenMode)
{
    const std::string program = File("P.NC", "G00X1.\n");
    const std::string all = File("ALL.TXT", "before\n");
    const std::string command = "timeout 60 '" + std::string(MAROKA_CLI_PATH) + "' --settings '" + settingsPath +
                                "' prepare '" + program + "' >> '" + all + "'";
    ASSERT_EQ(std::system(command.c_str()), 0);
    EXPECT_EQ(ReadFileBytes(all), "before\n%\nG00X1.\n%\n");
}

TEST_F(PrepareCommand, AnArgumentThatNamesNoFileIsAnError)
{
    const auto result = Prepare({"progs/O1234.NC"});
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_NE(result.err.find("progs/O1234.NC"), std::string::npos) << result.err;
    EXPECT_EQ(result.out, "");

    const auto send = test::RunCli(Command({"send", (dir / "missing.nc").string()}), 60s);
    EXPECT_EQ(send.exitCode, 1);
    EXPECT_NE(send.err.find("missing.nc"), std::string::npos) << send.err;
}

} // namespace
