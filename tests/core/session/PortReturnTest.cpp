#include "core/session/SessionMessages.h"
#include "core/transfer/ReceiveMessages.h"
#include "core/transfer/TransferMessages.h"

#include "SessionFixture.h"

using namespace maroka;
using namespace std::chrono_literals;

namespace {

// A session on the real device layer whose port is a link to the simulated
// machine's pseudo-terminal; the machine can be unplugged and plugged in.
struct PortReturn : ::testing::Test, test::MachineRig {
    PortReturn()
    {
        std::filesystem::create_directories(dir / "server");
        test::WriteFileBytes(dir / "A.NC", "%\nO1\n%\n");
        initial.ignoreCycleStart = true;
        initial.sendDelayEnabled = false;
        initial.serverFolder = (dir / "server").string();
    }

    void PlugIn()
    {
        StartMachine();
        std::string error;
        ASSERT_TRUE(machine->CreateLink(link, error)) << error;
        initial.startupPort = link;
        ports = {link};
    }

    bool WaitStatus(const std::string& text)
    {
        return ui.PumpUntil([&] { return ui.LastStatus() == text; }, 20s);
    }

    std::string link = (dir / "ttyMACHINE").string();
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
    ASSERT_TRUE(WaitIdle());
    EXPECT_TRUE(s.LastTransferCompleted());
    ASSERT_TRUE(machine->WaitReceived(7, 5s));
    EXPECT_EQ(machine->ReceivedBytes(), "%\nO1\n%\n");
}

TEST_F(PortReturn, ServerModeLostWithTheLineSaysSoAndStartsAgainWhenItIsBack)
{
    PlugIn();
    initial.ignoreCycleStart = false;
    auto& s = Start();
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
    ASSERT_TRUE(WaitIdle(10s));
}
