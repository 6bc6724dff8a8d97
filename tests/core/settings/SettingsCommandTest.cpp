#include "cli/SettingsCommand.h"

#include "core/settings/ProfileFile.h"
#include "core/settings/SessionSettings.h"
#include "core/settings/SettingsFile.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <sstream>
#include <sys/stat.h>

using namespace maroka::cli;
using maroka::settings::kSettingsSection;
using maroka::settings::ProfileFile;
using maroka::test::TempDir;

namespace {

struct CommandRun {
    int exitCode = 0;
    std::string out;
    std::string err;
};

class SettingsCommand : public testing::Test {
protected:
    CommandRun Settings(std::vector<std::string> args, std::optional<std::string> port = std::nullopt)
    {
        std::ostringstream out;
        std::ostringstream err;
        std::istringstream in;
        CliContext ctx{out, err, in, false, (dir_ / "maroka-cli").string(), {}};
        ctx.options.settingsFile = path_;
        ctx.options.port = std::move(port);
        const int code = RunSettingsCommand(ctx, args);
        return {code, out.str(), err.str()};
    }

    TempDir dir_;
    std::string path_ = (dir_ / "maroka0.ini").string();
};

} // namespace

TEST_F(SettingsCommand, GetAndSetGoThroughTheSettingsFile)
{
    EXPECT_EQ(Settings({"get", "ボーレート"}).out, "9600\n");
    EXPECT_EQ(Settings({"set", "ボーレート", "4800"}).exitCode, kExitOk);
    EXPECT_EQ(Settings({"get", "ボーレート"}).out, "4800\n");

    EXPECT_EQ(Settings({"set", "mem/dnc", "DNC"}).exitCode, kExitOk); // any letter case
    EXPECT_EQ(ProfileFile::ReadValue(path_, kSettingsSection, "MEM/DNC"), "DNC");

    EXPECT_EQ(Settings({"set", "再送モード", "2"}).exitCode, kExitOk);
    EXPECT_EQ(Settings({"get", "再送モード"}).out, "1\n");
    EXPECT_EQ(Settings({"set", "LEFT", " -5 "}).exitCode, kExitOk);
    EXPECT_EQ(Settings({"get", "left"}).out, "-5\n");
}

TEST_F(SettingsCommand, RefusesUnknownKeysAndBadValues)
{
    const CommandRun unknown = Settings({"get", "NOSUCHKEY"});
    EXPECT_EQ(unknown.exitCode, kExitUsage);
    EXPECT_NE(unknown.err.find("NOSUCHKEY"), std::string::npos);
    EXPECT_EQ(Settings({"set", "再送モード", "yes"}).exitCode, kExitUsage);
    EXPECT_EQ(Settings({"set", "WIDTH", "1.5"}).exitCode, kExitUsage);
    EXPECT_EQ(Settings({"set", "COM1窓色", "pink"}).exitCode, kExitUsage);
    EXPECT_EQ(Settings({"set", "エディタ", "\xF0\x9F\x98\x80"}).exitCode, kExitUsage);
    EXPECT_EQ(Settings({"set", "エディタ"}).exitCode, kExitUsage);
    EXPECT_EQ(Settings({"frobnicate"}).exitCode, kExitUsage);
    EXPECT_EQ(Settings({}).exitCode, kExitUsage);
    EXPECT_FALSE(std::filesystem::exists(path_));
    EXPECT_EQ(Settings({"--help"}).exitCode, kExitOk);
}

TEST_F(SettingsCommand, AWriteFailureExitsWithTheFileMessage)
{
    ASSERT_EQ(Settings({"set", "TOP", "1"}).exitCode, kExitOk);
    ASSERT_EQ(::chmod(path_.c_str(), 0444), 0);
    const CommandRun run = Settings({"set", "TOP", "2"});
    EXPECT_EQ(run.exitCode, kExitFailure);
    EXPECT_EQ(run.err.substr(0, run.err.find('\n')), path_ + " に書き込めません");
}

TEST_F(SettingsCommand, ListsEveryKeyInTableOrderWithThePortsColours)
{
    ASSERT_EQ(Settings({"set", "ttyS1窓色", "clLime"}).exitCode, kExitOk);
    EXPECT_EQ(Settings({"get", "TTYS1窓色"}).out, "clLime\n");

    const std::string out = Settings({"list"}, "ttyS1").out;
    std::istringstream lines(out);
    std::string line;
    for (const auto& key : maroka::settings::SettingKeys()) {
        ASSERT_TRUE(std::getline(lines, line));
        EXPECT_EQ(line.substr(0, line.find('=')), key.key);
    }
    std::getline(lines, line);
    EXPECT_EQ(line, "ttyS1窓色=clLime");
    std::getline(lines, line);
    EXPECT_EQ(line, "ttyS1文字色=clWindowText");
    EXPECT_NE(out.find("\nファイル選択プレビュ=1\n"), std::string::npos);
    EXPECT_NE(out.find("\n送信開始時DC2出力=0\n"), std::string::npos);
}

TEST(ResolveSettingsPath, OptionsBeforeTheProgramsOwnFile)
{
    TempDir dir;
    std::ostringstream out;
    std::istringstream in;
    CliContext ctx{out, out, in, false, (dir / "maroka-cli").string(), {}};
    EXPECT_EQ(ResolveSettingsPath(ctx), (dir / "maroka0.ini").string());
    ctx.options.iniSuffix = "B";
    EXPECT_EQ(ResolveSettingsPath(ctx), (dir / "maroka_b.ini").string());
    // --settings is what every run of maroka-cli in the end-to-end tests uses.
}
