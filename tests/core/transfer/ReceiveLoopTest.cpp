#include "core/transfer/ReceiveLoop.h"
#include "core/transfer/ReceiveMessages.h"
#include "core/transfer/TransferMessages.h"

#include "core/serial/SerialTestSupport.h"
#include "core/transfer/ManualClock.h"
#include "core/transfer/ReceiveTestSupport.h"
#include "support/PtyPair.h"
#include "support/RecordingUserInterface.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

using namespace maroka;
using namespace maroka::transfer;
using namespace std::chrono_literals;
using namespace std::string_literals;
using maroka::test::PtyPair;
using maroka::test::RecordingUserInterface;
using maroka::test::TempDir;
using maroka::transfer::test::LineErrorInjector;
using maroka::transfer::test::MemoryLog;
using maroka::transfer::test::RecordingSteps;

namespace {

constexpr const char* kVersion = " Maroka ver 0.565";

// One reception on a worker thread over a real pseudo-terminal; the test
// thread plays the machine (the pty master) and the UI thread.
struct ReceiveFixture : ::testing::Test {
    explicit ReceiveFixture(bool holdSlaveOpen = true) : pty(holdSlaveOpen)
    {
        settings.receiveEndSeconds = "0";
        settings.repairReceiveErrors = false;
        context.transferFilePath = (dir / "RECV.NC").string();
        context.receivedFileClosed = [this](const std::string& path) { closedFiles.push_back(path); };
    }

    void UseLine(serial::LineSettings lineSettings)
    {
        auto opened = maroka::serial::test::OpenLine(pty, lineSettings);
        line = std::shared_ptr<serial::SerialLine>(std::move(opened));
    }

    void Start()
    {
        if (!line)
            UseLine(maroka::serial::test::AscLine());
        env = std::make_unique<WorkerEnvironment>(WorkerEnvironment{line, ui, log, flags, steps});
        env->settings = settings;
        env->versionText = kVersion;
        env->applicationTitle = "Maroka";
        env->displayName = "RECV.NC";
        env->clock = &clock;
        done = false;
        worker = std::thread([this] {
            result = RunReceive(*env, context);
            done = true;
        });
    }

    // Serves the worker's UI calls until it has returned.
    bool Finish(std::chrono::milliseconds limit = 10s)
    {
        const bool finished = ui.PumpUntil([this] { return done.load(); }, limit);
        if (!finished) {
            flags.RequestStop();
            line->Interrupt();
            ui.PumpUntil([this] { return done.load(); }, 5s);
        }
        if (worker.joinable())
            worker.join();
        return finished;
    }

    // Waits (serving the UI) until the worker shows `status`.
    bool WaitForStatus(const std::string& status)
    {
        return ui.PumpUntil([&] { return ui.Saw("status:" + status); }, 10s);
    }

    void Reset()
    {
        flags.RequestStop();
        line->Interrupt();
    }

    std::string File() const { return maroka::test::ReadFileBytes(dir / "RECV.NC"); }

    TempDir dir;
    PtyPair pty;
    std::shared_ptr<serial::SerialLine> line;
    RecordingUserInterface ui;
    std::shared_ptr<MemoryLog> log = std::make_shared<MemoryLog>();
    TransferFlags flags;
    RecordingSteps steps;
    settings::SessionSettings settings;
    ReceiveContext context;
    std::unique_ptr<WorkerEnvironment> env;
    maroka::test::ManualClock clock;
    std::vector<std::string> closedFiles;
    std::thread worker;
    std::atomic<bool> done{false};
    bool result = false;
};

struct ReceiveHangUpFixture : ReceiveFixture {
    ReceiveHangUpFixture() : ReceiveFixture(false) {}
};

int Count(const std::vector<std::string>& items, const std::string& item)
{
    return static_cast<int>(std::count(items.begin(), items.end(), item));
}

} // namespace

TEST_F(ReceiveFixture, ConvertsEachLineAndFramesTheFileWithPercentLines)
{
    settings.receiveStartDcEnabled = true;
    Start();
    // The start code goes out before anything is received.
    EXPECT_EQ(pty.ReadMaster(1, 5s), "\x12");
    std::string tape(20, '\0');
    tape += "\x12%\r\n"
            ":100\r\n"
            "G1\x12X1\x1B.0&HE:\r\n"
            "%ABC\r\n"
            "%\r\n"
            "X%Y\r\n"
            "G0\0X2\r\n"
            "  M30  \r\n"s;
    pty.WriteMaster(tape);
    ASSERT_TRUE(ui.PumpUntil([&] { return ui.Saw("data:M30"); }, 5s));
    // Without an LF in the buffer a DC4 ends the line.
    pty.WriteMaster("N9\x14");
    ASSERT_TRUE(Finish());

    EXPECT_TRUE(result);
    EXPECT_EQ(File(), "%\r\n"
                      "O100\r\n"
                      "G1X1.0\r\n"
                      "(ABC)\r\n"
                      "X%Y\r\n"
                      "G0X2\r\n"
                      "M30\r\n"
                      "N9\r\n"
                      "%\r\n");
    // Only the line with "%" in its middle warns.
    EXPECT_EQ(Count(ui.Messages(), msg::kPercentWarning), 1);
    EXPECT_TRUE(context.receivedOk);
    EXPECT_EQ(context.bytesReceived, tape.size() - 20 - 1 + 3); // without leader and inner NULs, with "N9" DC4
    const std::string bytes = context.bytesReceivedText;
    EXPECT_EQ(ui.LastStatus(), std::string(msg::kStatusReceiveEndPrefix) + bytes + msg::kStatusReceiveEndSuffix);
    EXPECT_EQ(ui.LastFileName(), std::string(" RECV.NC") + msg::kBoxReceiveEnd);
    EXPECT_TRUE(ui.Saw("status:" + std::string(msg::kStatusOutputFromMachine)));
    EXPECT_EQ(log->Comm(),
              (std::vector<std::string>{std::string(msg::kLogReceiveStart), std::string(msg::kLogReceiveEnd)}));
    EXPECT_EQ(closedFiles, std::vector<std::string>{context.transferFilePath});
}

TEST_F(ReceiveFixture, SettingsSwitchOffEachConversion)
{
    settings.convertGarbledCharacters = false;
    settings.colonToO = false;
    settings.deleteControlCodes = false;
    settings.receiveHeadPercent = false;
    settings.receiveTailPercent = false;
    settings.receiveEndOfBlock = "LF+CR+CR";
    Start();
    pty.WriteMaster(":100\r\nG1\x1BX1\r\n\x12%ABC\r\n");
    ASSERT_TRUE(Finish());
    EXPECT_EQ(File(), ":100\n\r\rG1\x1BX1\n\r\r(ABC)\n\r\r");
}

TEST_F(ReceiveFixture, NoConversionReceiveKeepsEveryByte)
{
    // Flow control and NUL dropping off: the line hands over all 256 values.
    serial::LineSettings raw = maroka::serial::test::AscLine();
    raw.fOutX = false;
    raw.fNull = false;
    UseLine(raw);
    settings.noConversionReceive = true;
    Start();
    const std::string bytes = maroka::serial::test::AllBytes(5000);
    pty.WriteMaster(bytes);
    ASSERT_TRUE(Finish());
    EXPECT_EQ(File(), bytes);
    EXPECT_TRUE(context.receivedOk);
}

TEST_F(ReceiveFixture, CommandWaitKeepsTheTextRawAndStopsPast512Bytes)
{
    context.mode = TransferMode::Server;
    context.serverStep = ServerStep::Command;
    Start();
    const std::string first = "%\r\nO0001(R/PROG.NC)\r\n" + std::string(300, 'A');
    pty.WriteMaster(first);
    // Watched through the file: the count in the context belongs to the worker.
    ASSERT_TRUE(ui.PumpUntil([&] { return File().size() == 3 + first.size(); }, 5s));
    pty.WriteMaster(std::string(300, 'B'));
    ASSERT_TRUE(Finish());

    EXPECT_TRUE(result);
    // The head line, then the command as it came, no tail: the read that
    // went past 512 bytes is not written.
    EXPECT_EQ(File(), "%\r\n" + first);
    EXPECT_TRUE(ui.Saw("file:" + std::string(msg::kBoxCommandWait)));
    EXPECT_TRUE(ui.Saw("status:" + std::string(msg::kStatusServerMode)));
    EXPECT_TRUE(closedFiles.empty());
    // The end of a command wait is not logged as a reception end.
    EXPECT_EQ(log->Comm(), std::vector<std::string>{std::string(msg::kLogReceiveStart)});
}

TEST_F(ReceiveFixture, EndOfDataCountsWholeSecondsOfTheClock)
{
    settings.receiveEndSeconds = "1.5";
    Start();
    // Wait for a fresh second, so the data lands early in it.
    const std::time_t now = std::time(nullptr);
    while (std::time(nullptr) == now)
        std::this_thread::sleep_for(5ms);
    const std::time_t sent = std::time(nullptr);
    pty.WriteMaster("G1X1\r\n");
    ASSERT_TRUE(Finish());
    const std::time_t ended = std::time(nullptr);
    // "1.5" ends once the seconds counter has moved on by 2, not by 1.
    EXPECT_EQ(ended - sent, 2);
    EXPECT_EQ(File(), "%\r\nG1X1\r\n%\r\n");
}

TEST_F(ReceiveFixture, ContinuousReceptionWritesBothTransmissionsIntoOneFile)
{
    settings.continuousReceive = true;
    Start();
    pty.WriteMaster("%\r\nO1(ONE)\r\nM30\r\n%\r\n");
    const std::string continued = std::string(msg::kStatusReceiveEndPrefix) + "20" + msg::kStatusContinueSuffix;
    ASSERT_TRUE(WaitForStatus(continued));
    pty.WriteMaster("%\r\nO2(TWO)\r\nM30\r\n%\r\n");
    ASSERT_TRUE(ui.PumpUntil([&] { return Count(log->Comm(), std::string(msg::kLogReceiveContinued)) == 2; }, 10s));
    Reset();
    ASSERT_TRUE(Finish());

    EXPECT_EQ(File(), "%\r\nO1(ONE)\r\nM30\r\nO2(TWO)\r\nM30\r\n%\r\n");
    EXPECT_TRUE(context.receptionContinued);
    EXPECT_EQ(steps.endTransfers, 1);
    // Reset in the wait for the next transmission ends it without a log line.
    EXPECT_EQ(log->Comm().back(), std::string(msg::kLogReceiveContinued));
}

TEST_F(ReceiveFixture, ExitAfterReceivingClosesTheWindowWithoutCountdownForZeroSeconds)
{
    settings.exitAfterReceive = true;
    settings.exitAfterReceiveSeconds = "0";
    Start();
    pty.WriteMaster("%\r\nM30\r\n%\r\n");
    ASSERT_TRUE(Finish());
    EXPECT_TRUE(flags.quitRequested);
    EXPECT_EQ(steps.idles, 1);
    EXPECT_EQ(ui.LastStatus(), msg::kStatusClosing);
    EXPECT_EQ(File(), "%\r\nM30\r\n%\r\n");
}

TEST_F(ReceiveFixture, ExitAfterReceivingCountsDownTheSecondsThenAsksToClose)
{
    settings.exitAfterReceive = true;
    settings.exitAfterReceiveSeconds = "3.7";
    Start();
    pty.WriteMaster("%\r\nM30\r\n%\r\n");
    ASSERT_TRUE(Finish());
    const auto events = ui.Events();
    std::vector<std::string> counts;
    for (const std::string& event : events) {
        if (event.find("受信後終了") != std::string::npos)
            counts.push_back(event);
    }
    EXPECT_EQ(counts, (std::vector<std::string>{"status: 受信後終了 3秒で終了", "status: 受信後終了 2秒で終了",
                                                "status: 受信後終了 1秒で終了"}));
    EXPECT_GE(clock.Waited(), std::chrono::seconds(3));
    EXPECT_LT(clock.Waited(), std::chrono::seconds(5));
    EXPECT_TRUE(flags.quitRequested);
    EXPECT_EQ(ui.LastStatus(), msg::kStatusClosing);
}

TEST_F(ReceiveFixture, ResetEndsTheWaitForTheFirstByteAtOnce)
{
    Start();
    ASSERT_TRUE(ui.PumpUntil([&] { return ui.Saw("status:" + std::string(msg::kStatusOutputFromMachine)); }, 5s));
    std::this_thread::sleep_for(100ms);
    const auto resetAt = std::chrono::steady_clock::now();
    Reset();
    ASSERT_TRUE(Finish());
    EXPECT_LT(std::chrono::steady_clock::now() - resetAt, 500ms);
    EXPECT_EQ(steps.endTransfers, 1);
    EXPECT_FALSE(flags.quitRequested);
    // Nothing came: the file holds the head and tail lines only.
    EXPECT_EQ(File(), "%\r\n%\r\n");
}

TEST_F(ReceiveFixture, TextWithoutLineEndIsWrittenAsItComes)
{
    Start();
    const std::string longLine = ":" + std::string(5000, '1');
    pty.WriteMaster(longLine.substr(0, 3000));
    std::this_thread::sleep_for(50ms);
    pty.WriteMaster(longLine.substr(3000) + "\r\nM30\r\n");
    ASSERT_TRUE(Finish());
    EXPECT_EQ(File(), "%\r\nO" + std::string(5000, '1') + "\r\nM30\r\n%\r\n");
}

TEST_F(ReceiveFixture, AFailedWriteStopsTheReceptionWithItsReason)
{
    context.transferFilePath = "/dev/full";
    settings.receiveHeadPercent = false;
    Start();
    pty.WriteMaster("G1X1\r\n");
    ASSERT_TRUE(Finish());
    EXPECT_TRUE(context.writeFailed);
    EXPECT_TRUE(flags.quitRequested);
    ASSERT_FALSE(ui.Messages().empty());
    EXPECT_EQ(ui.Messages().back(), std::string(msg::kCannotWriteReceiveFile) + "\n\nNo space left on device");

    // The head line fails the same way, before any wait.
    ReceiveContext second;
    second.transferFilePath = "/dev/full";
    env->settings.receiveHeadPercent = true;
    flags.quitRequested = false;
    EXPECT_TRUE(RunReceive(*env, second));
    EXPECT_EQ(ui.Messages().back(), std::string(msg::kCannotWriteReceiveFile) + "\n\nNo space left on device");
}

TEST_F(ReceiveFixture, AFileThatCannotBeCreatedFailsTheStart)
{
    context.transferFilePath = (dir / "missing" / "RECV.NC").string();
    Start();
    ASSERT_TRUE(Finish());
    EXPECT_FALSE(result);
    EXPECT_EQ(ui.Messages(), std::vector<std::string>{std::string("RECV.NC") + msg::kCannotOpenSuffix});
}

TEST_F(ReceiveHangUpFixture, AVanishedDeviceEndsTheReceptionWithItsMessage)
{
    Start();
    pty.WriteMaster("G1X1\r\nG1X2\r\n");
    ASSERT_TRUE(ui.PumpUntil([&] { return ui.Saw("data:G1X2"); }, 5s));
    pty.CloseMaster();
    ASSERT_TRUE(Finish(5s));
    EXPECT_TRUE(context.transferError);
    EXPECT_TRUE(flags.quitRequested);
    ASSERT_FALSE(ui.Messages().empty());
    EXPECT_EQ(ui.Messages().back().rfind(msg::kErrorQueryFailed, 0), 0u) << ui.Messages().back();
    // What came stays in the file, closed with its tail line.
    EXPECT_EQ(File(), "%\r\nG1X1\r\nG1X2\r\n%\r\n");
}

TEST_F(ReceiveFixture, ServerModeLogsALineErrorAndGoesOn)
{
    UseLine(maroka::serial::test::AscLine());
    line = std::make_shared<LineErrorInjector>(line, std::set<std::size_t>{5});
    context.mode = TransferMode::Server;
    context.serverStep = ServerStep::Save;
    Start();
    pty.WriteMaster("G1X1\r\nG1X2\r\n");
    ASSERT_TRUE(Finish());
    EXPECT_TRUE(context.receivedOk);
    EXPECT_EQ(log->Errors(), std::vector<std::string>{std::string(msg::kErrReadIo)});
    EXPECT_TRUE(ui.Messages().empty());
    EXPECT_EQ(File(), "%\r\nG1X1\r\nG1X2\r\n%\r\n");
}

TEST_F(ReceiveFixture, AServerSaveKeepsAFinalLineWithoutALineEnd)
{
    context.mode = TransferMode::Server;
    context.serverStep = ServerStep::Save;
    settings.receiveEndOfBlock = "LF";
    Start();
    pty.WriteMaster("%\r\nG1\r\nM30");
    ASSERT_TRUE(Finish());
    EXPECT_TRUE(context.receivedOk);
    EXPECT_EQ(File(), "%\nG1\nM30\n%\n");
}

TEST_F(ReceiveFixture, ALineErrorWithoutRepairStopsWithItsText)
{
    UseLine(maroka::serial::test::AscLine());
    line = std::make_shared<LineErrorInjector>(line, std::set<std::size_t>{0});
    Start();
    pty.WriteMaster("G1X1\r\n");
    ASSERT_TRUE(Finish());
    EXPECT_TRUE(context.transferError);
    EXPECT_TRUE(flags.quitRequested);
    EXPECT_EQ(ui.Messages(), std::vector<std::string>{msg::kLineFrame});
    EXPECT_EQ(ui.LastStatus(), msg::kStatusReceiveError);
}
