#include "core/session/Session.h"
#include "core/session/SessionMessages.h"
#include "core/settings/SettingsFile.h"
#include "core/transfer/ReceiveMessages.h"
#include "core/transfer/TransferMessages.h"
#include "machine/lib/SimulatedMachine.h"

#include "support/RecordingUserInterface.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

using namespace maroka;
using namespace std::chrono_literals;
using maroka::test::RecordingUserInterface;
using maroka::test::TempDir;

namespace {

// A session on the real device layer whose port is a link to the simulated
// machine's pseudo-terminal; the machine can be unplugged and plugged in.
struct PortReturn : ::testing::Test {
    PortReturn()
    {
        std::filesystem::create_directories(dir / "bin");
        std::filesystem::create_directories(dir / "server");
        test::WriteFileBytes(dir / "A.NC", "%\nO1\n%\n");
    }

    void PlugIn()
    {
        machine = std::make_unique<machine::SimulatedMachine>();
        std::string error;
        ASSERT_TRUE(machine->Start(error)) << error;
        ASSERT_TRUE(machine->CreateLink(link, error)) << error;
    }

    session::Session& Start(const std::function<void(settings::SessionSettings&)>& change = {})
    {
        settings::SessionSettings initial;
        initial.startupPort = link;
        initial.ignoreCycleStart = true;
        initial.sendDelayEnabled = false;
        initial.serverFolder = (dir / "server").string();
        if (change)
            change(initial);
        EXPECT_FALSE(settings::SettingsFile((dir / "bin" / "maroka0.ini").string()).SaveSettings(initial));
        session::SessionOptions options;
        options.programPath = (dir / "bin" / "maroka").string();
        options.listPorts = [this] { return std::vector<std::string>{link}; };
        session = std::make_unique<session::Session>(ui, std::move(options));
        session->Construct();
        session->FirstShown();
        return *session;
    }

    bool WaitStatus(const std::string& text)
    {
        return ui.PumpUntil([&] { return ui.LastStatus() == text; }, 20s);
    }

    TempDir dir;
    std::string link = (dir / "ttyMACHINE").string();
    std::unique_ptr<machine::SimulatedMachine> machine;
    RecordingUserInterface ui;
    std::unique_ptr<session::Session> session;
};

} // namespace

TEST_F(PortReturn, AnUnpluggedPortIsNoticedRefusedAndReopenedByItsName)
{
    PlugIn();
    auto& s = Start();
    ASSERT_TRUE(s.Idle());
    machine->Close();
    ASSERT_TRUE(WaitStatus(link + session::msg::kPortGoneSuffix)) << ui.LastStatus();

    // One clear message, and nothing started.
    const std::size_t before = ui.Messages().size();
    ui.openFiles.push_back({(dir / "A.NC").string()});
    s.DirectSend();
    EXPECT_FALSE(s.TransferRunning());
    ASSERT_EQ(ui.Messages().size(), before + 1);
    EXPECT_EQ(ui.Messages().back(), link + session::msg::kPortGoneRefusalSuffix);

    PlugIn();
    ASSERT_TRUE(WaitStatus(link + session::msg::kPortBackSuffix)) << ui.LastStatus();
    ui.openFiles.push_back({(dir / "A.NC").string()});
    s.DirectSend();
    ASSERT_TRUE(ui.PumpUntil([&] { return !s.TransferRunning(); }, 20s));
    EXPECT_TRUE(s.LastTransferCompleted());
    ASSERT_TRUE(machine->WaitReceived(7, 5s));
    EXPECT_EQ(machine->ReceivedBytes(), "%\nO1\n%\n");
}

TEST_F(PortReturn, ServerModeLostWithTheLineSaysSoAndStartsAgainWhenItIsBack)
{
    PlugIn();
    auto& s = Start([](settings::SessionSettings& settings) { settings.ignoreCycleStart = false; });
    s.StartServer();
    ASSERT_TRUE(ui.PumpUntil([&] { return s.TransferRunning(); }, 10s));
    ASSERT_TRUE(ui.PumpUntil([&] { return ui.Saw("file:" + std::string(transfer::msg::kBoxCommandWait)); }, 10s));
    machine->Close();
    ASSERT_TRUE(WaitStatus(link + session::msg::kPortGoneServerSuffix)) << ui.LastStatus();
    EXPECT_TRUE(ui.Saw("data:" + std::string(transfer::msg::kServerStoppedByLineError)));
    EXPECT_FALSE(s.TransferRunning());

    PlugIn();
    ASSERT_TRUE(ui.PumpUntil([&] { return s.TransferRunning(); }, 20s)) << ui.LastStatus();
    s.Reset();
    ASSERT_TRUE(ui.PumpUntil([&] { return !s.TransferRunning(); }, 10s));
}
