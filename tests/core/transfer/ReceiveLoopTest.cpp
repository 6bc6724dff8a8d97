#include "core/transfer/ReceiveLoop.h"
#include "core/transfer/ReceiveMessages.h"
#include "core/transfer/TransferMessages.h"

#include "core/transfer/ReceiveTestSupport.h"
#include "support/Cp932Lines.h"

#include <gtest/gtest.h>

#include <functional>

using namespace maroka;
using namespace maroka::transfer;
using namespace std::chrono_literals;
using namespace std::string_literals;
using maroka::transfer::test::Count;
using maroka::transfer::test::Reception;

namespace {

// Receptions without repair, so a line error stops them.
struct ReceiveFixture : ::testing::Test, Reception {
    ReceiveFixture() { settings.repairReceiveErrors = false; }
};

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

    EXPECT_EQ(File(), maroka::test::Cp932Lines("%\nO100\nG1X1.0\n(ABC)\nX%Y\nG0X2\nM30\nN9\n%\n"));
    // Only the line with "%" in its middle warns.
    EXPECT_EQ(Count(ui.Messages(), msg::kPercentWarning), 1);
    EXPECT_EQ(context.bytesReceived, tape.size() - 20 - 1 + 3); // without leader and inner NULs, with "N9" DC4
    const std::string bytes = context.bytesReceivedText;
    EXPECT_EQ(ui.LastStatus(), std::string(msg::kStatusReceiveEndPrefix) + bytes + msg::kStatusReceiveEndSuffix);
    EXPECT_EQ(ui.LastFileName(), std::string(" RECV.NC") + msg::kBoxReceiveEnd);
    EXPECT_EQ(log->Comm(),
              (std::vector<std::string>{std::string(msg::kLogReceiveStart), std::string(msg::kLogReceiveEnd)}));
}

TEST(ReceiveLoop, SettingsLineEndsAndServerSavesShapeTheFile)
{
    const std::string allBytes = serial::test::AllBytes(5000);
    const std::string longLine(5000, '1');
    const struct {
        const char* name;
        std::function<void(Reception&)> setUp;
        std::vector<std::string> pieces; // written apart, a pause between them
        std::string file;
        std::vector<std::string> errorLog = {};
    } cases[] = {
        {"each conversion switched off",
         [](Reception& r) {
             r.settings.convertGarbledCharacters = false;
             r.settings.colonToO = false;
             r.settings.deleteControlCodes = false;
             r.settings.receiveHeadPercent = false;
             r.settings.receiveTailPercent = false;
             r.settings.receiveEndOfBlock = "LF+CR+CR";
         },
         {":100\r\nG1\x1BX1\r\n\x12%ABC\r\n"},
         ":100\n\r\rG1\x1BX1\n\r\r(ABC)\n\r\r"},
        // Flow control and NUL dropping off: the line hands over all 256 values.
        {"no conversion keeps every byte",
         [](Reception& r) {
             r.lineSettings.fOutX = false;
             r.lineSettings.fNull = false;
             r.settings.noConversionReceive = true;
         },
         {allBytes},
         allBytes},
        {"text without a line end is written as it comes",
         [](Reception&) {},
         {":" + longLine.substr(0, 3000), longLine.substr(3000) + "\r\nM30\r\n"},
         "%\r\nO" + longLine + "\r\nM30\r\n%\r\n"},
        // A server logs a line error and goes on.
        {"a server save keeps a final line without a line end",
         [](Reception& r) {
             r.context.mode = TransferMode::Server;
             r.context.serverStep = ServerStep::Save;
             r.settings.receiveEndOfBlock = "LF";
             r.settings.repairReceiveErrors = false;
             r.errorsAt = {5};
         },
         {"%\r\nG1\r\nM30"},
         "%\nG1\nM30\n%\n",
         {std::string(msg::kErrReadIo)}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Reception r;
        c.setUp(r);
        r.Start();
        r.Punch(c.pieces);
        ASSERT_TRUE(r.Finish());
        EXPECT_EQ(r.File(), c.file);
        EXPECT_TRUE(r.context.receivedOk);
        EXPECT_EQ(r.log->Errors(), c.errorLog);
        EXPECT_TRUE(r.ui.Messages().empty());
    }
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
    clock.SetSilence(maroka::test::ManualClock::Silence::Held);
    Start();
    Punch({"G1X1\r\n"});
    // The data came at the start of a second of the clock (it stood still
    // until then); "1.5" ends once the seconds counter has moved on by 2.
    const auto sent = clock.Now();
    ASSERT_EQ(sent.count() % 1000, 0);
    ASSERT_TRUE(Finish());
    EXPECT_EQ(clock.Now() - sent, 2s);
    EXPECT_EQ(File(), "%\r\nG1X1\r\n%\r\n");
}

TEST_F(ReceiveFixture, ContinuousReceptionWritesBothTransmissionsIntoOneFile)
{
    settings.continuousReceive = true;
    Start();
    pty.WriteMaster("%\r\nO1(ONE)\r\nM30\r\n%\r\n");
    ASSERT_TRUE(WaitForStatus(std::string(msg::kStatusReceiveEndPrefix) + "20" + msg::kStatusContinueSuffix));
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

TEST(ReceiveLoop, ExitAfterReceivingCountsDownWholeSecondsThenAsksToClose)
{
    // No countdown at all for zero seconds.
    for (const auto& [seconds, counts] : {std::pair{"0", 0}, {"3.7", 3}}) {
        SCOPED_TRACE(seconds);
        Reception r;
        r.settings.exitAfterReceive = true;
        r.settings.exitAfterReceiveSeconds = seconds;
        r.Start();
        r.pty.WriteMaster("%\r\nM30\r\n%\r\n");
        ASSERT_TRUE(r.Finish());
        std::vector<std::string> expected;
        for (int left = counts; left > 0; --left)
            expected.push_back("status: 受信後終了 " + std::to_string(left) + "秒で終了");
        EXPECT_EQ(r.ui.EventsWith("受信後終了"), expected);
        EXPECT_GE(r.clock.Waited(), std::chrono::seconds(counts));
        EXPECT_LT(r.clock.Waited(), std::chrono::seconds(counts + 2));
        EXPECT_TRUE(r.flags.quitRequested);
        EXPECT_EQ(r.steps.idles, 1);
        EXPECT_EQ(r.ui.LastStatus(), msg::kStatusClosing);
        EXPECT_EQ(r.File(), "%\r\nM30\r\n%\r\n");
    }
}

TEST_F(ReceiveFixture, ResetEndsTheWaitForTheFirstByteAtOnce)
{
    Start();
    ASSERT_TRUE(WaitForStatus(msg::kStatusOutputFromMachine));
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

TEST_F(ReceiveFixture, AFailedWriteStopsTheReceptionWithItsReason)
{
    context.transferFilePath = "/dev/full";
    settings.receiveHeadPercent = false;
    Start();
    pty.WriteMaster("G1X1\r\n");
    ASSERT_TRUE(Finish());
    EXPECT_TRUE(context.writeFailed);
    EXPECT_TRUE(flags.quitRequested);
    const std::string full = std::string(msg::kCannotWriteReceiveFile) + "\n\nNo space left on device";
    EXPECT_EQ(ui.Messages(), std::vector<std::string>{full});

    // The head line fails the same way, before any wait.
    ReceiveContext second;
    second.transferFilePath = "/dev/full";
    env->settings.receiveHeadPercent = true;
    flags.quitRequested = false;
    EXPECT_TRUE(RunReceive(*env, second));
    EXPECT_EQ(ui.Messages(), (std::vector<std::string>{full, full}));

    // A file that cannot be created fails the start.
    ReceiveContext missing;
    missing.transferFilePath = (dir / "missing" / "RECV.NC").string();
    flags.quitRequested = false;
    EXPECT_FALSE(RunReceive(*env, missing));
    EXPECT_EQ(ui.Messages(), (std::vector<std::string>{full, full, std::string("RECV.NC") + msg::kCannotOpenSuffix}));
}

TEST(ReceiveLoop, AVanishedDeviceEndsTheReceptionWithItsMessage)
{
    Reception r(false);
    r.Start();
    r.pty.WriteMaster("G1X1\r\nG1X2\r\n");
    ASSERT_TRUE(r.ui.PumpUntil([&] { return r.ui.Saw("data:G1X2"); }, 5s));
    r.pty.CloseMaster();
    ASSERT_TRUE(r.Finish(5s));
    EXPECT_TRUE(r.context.transferError);
    EXPECT_TRUE(r.flags.quitRequested);
    ASSERT_FALSE(r.ui.Messages().empty());
    EXPECT_EQ(r.ui.Messages().back().rfind(msg::kErrorQueryFailed, 0), 0u) << r.ui.Messages().back();
    // What came stays in the file, closed with its tail line.
    EXPECT_EQ(r.File(), "%\r\nG1X1\r\nG1X2\r\n%\r\n");
}

TEST_F(ReceiveFixture, ALineErrorWithoutRepairStopsWithItsText)
{
    errorsAt = {0};
    Start();
    pty.WriteMaster("G1X1\r\n");
    ASSERT_TRUE(Finish());
    EXPECT_TRUE(context.transferError);
    EXPECT_TRUE(flags.quitRequested);
    EXPECT_EQ(ui.Messages(), std::vector<std::string>{msg::kLineFrame});
    EXPECT_EQ(ui.LastStatus(), msg::kStatusReceiveError);
}
