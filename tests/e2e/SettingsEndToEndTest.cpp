// maroka-cli and the settings file as several runs share it: what a run
// writes back, runs at the same moment, and what a killed save leaves.

#include "e2e/CliRun.h"

#include <sys/wait.h>
#include <unistd.h>

#include <csignal>

using namespace maroka;
using namespace std::chrono_literals;
using maroka::test::BackgroundCli;
using maroka::test::ReadFileBytes;
using maroka::test::WriteFileBytes;

namespace fs = std::filesystem;

namespace {

using SettingsEndToEnd = test::EndToEnd;

TEST_F(SettingsEndToEnd, ARunWritesBackOnlyWhatItWasToldToChange)
{
    StartMachine({});
    // "[Maroka 設定]", "起動ポート" and "検索・保存フォルダ" in CP932.
    const std::string section = "[Maroka \x90\xdd\x92\xe8]\r\n";
    const std::string portKey = "\x8b\x4e\x93\xae\x83\x7c\x81\x5b\x83\x67";
    const std::string folderKey = "\x8c\x9f\x8d\xf5\x81\x45\x95\xdb\x91\xb6\x83\x74\x83\x48\x83\x8b\x83\x5f";
    // A value far longer than a read returns cannot be written back as it
    // is. (A file with bytes that are no CP932 is refused whole, and never
    // written.) "エディタ" in CP932.
    const std::string huge = "\x83\x47\x83\x66\x83\x42\x83\x5e=" + std::string(100'000, 'v') + "\r\n";
    const std::string original = section + portKey + "=COM7\r\n" + huge + folderKey + "=/old\r\n";
    WriteFileBytes(settingsPath, original);

    // --port is for this run only.
    std::unique_ptr<BackgroundCli> server;
    ASSERT_TRUE(ServerWaits(server, dir / "programs"));
    server->Signal(SIGTERM);
    const auto result = server->Finish(20s);
    EXPECT_EQ(result.exitCode, 0) << result.err;

    std::string expected = original;
    const std::string oldFolder = folderKey + "=/old\r\n";
    expected.replace(expected.find(oldFolder), oldFolder.size(),
                     folderKey + "=" + (dir / "programs").string() + "\r\n");
    EXPECT_EQ(ReadFileBytes(settingsPath), expected);
}

TEST_F(SettingsEndToEnd, RunsAtTheSameMomentLoseNoUpdate)
{
    constexpr int kRuns = 24;
    std::vector<std::unique_ptr<BackgroundCli>> runs;
    for (int i = 0; i < kRuns; ++i)
        runs.push_back(
            std::make_unique<BackgroundCli>(Command({"settings", "set", "P" + std::to_string(i) + "窓色", "clRed"})));
    for (auto& run : runs)
        EXPECT_EQ(run->Finish(30s).exitCode, 0);
    const std::string text = ReadFileBytes(settingsPath);
    for (int i = 0; i < kRuns; ++i)
        EXPECT_NE(text.find("P" + std::to_string(i) + "\x91\x8b\x90\x46=clRed"), std::string::npos) << i;
}

TEST_F(SettingsEndToEnd, ASaveRemovesTheTemporaryFilesOfKilledSaves)
{
    // A process that has ended: its pid names a save that can never finish.
    const pid_t child = ::fork();
    if (child == 0)
        ::_exit(0);
    ASSERT_GT(child, 0);
    ::waitpid(child, nullptr, 0);
    const fs::path stale = dir / (".maroka0.ini.tmp" + std::to_string(child) + "-0");
    const fs::path live = dir / (".maroka0.ini.tmp" + std::to_string(::getpid()) + "-3");
    const fs::path foreign = dir / ".maroka0.ini.tmpnotours";
    for (const fs::path& file : {stale, live, foreign})
        WriteFileBytes(file, std::string(1000, 'x'));

    const auto result = test::RunCli(Command({"settings", "set", "LEFT", "12"}), 20s);
    EXPECT_EQ(result.exitCode, 0) << result.err;
    EXPECT_FALSE(fs::exists(stale));
    // A save still running elsewhere, and files of other naming, stay.
    EXPECT_TRUE(fs::exists(live));
    EXPECT_TRUE(fs::exists(foreign));
}

} // namespace
