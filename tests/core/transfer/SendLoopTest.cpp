#include "core/transfer/SendLoop.h"
#include "core/transfer/LineSetup.h"
#include "core/transfer/SendPacing.h"
#include "core/transfer/TransferMessages.h"

#include "core/transfer/ManualClock.h"
#include "support/FakeSerialLine.h"
#include "support/MemoryLog.h"
#include "support/RecordingSteps.h"
#include "support/RecordingUserInterface.h"
#include "support/TempDir.h"
#include "support/WaitFor.h"

#include <gtest/gtest.h>

#include <thread>

using namespace maroka;
using namespace maroka::transfer;
using maroka::test::FakeSerialLine;
using maroka::test::MemoryLog;
using maroka::test::RecordingSteps;
using maroka::test::RecordingUserInterface;
using maroka::test::TempDir;

namespace {

// One send over a fake line with settings that need no machine.
struct Sending {
    Sending()
    {
        settings.ignoreCycleStart = true;
        settings.sendDelayEnabled = false;
        settings.sendBufferSize = "100";
    }

    SendOutcome Send(const std::string& bytes, TransferMode mode = TransferMode::Send)
    {
        test::WriteFileBytes(dir / "PROG.NC", bytes);
        ChunkReader reader;
        EXPECT_TRUE(reader.Open((dir / "PROG.NC").string()));
        WorkerEnvironment env(line, ui, log, flags, steps);
        env.settings = settings;
        env.versionText = " Maroka ver 0.565";
        env.applicationTitle = "Maroka FAKE0";
        env.displayName = "PROG.NC";
        env.clock = &clock;
        SendLoop loop(env, reader, mode, false);
        return loop.Run();
    }

    // For the machine's thread: until the send waits for the `number`th
    // time. A send that never gets there is a failure, not a hang.
    bool AwaitWait(int number = 1)
    {
        const bool waited = test::WaitFor([&] { return line->WaitsStarted() >= number && line->WaitingForEvent(); },
                                          std::chrono::seconds(10));
        if (!waited)
            ADD_FAILURE() << "the send never began wait " << number;
        return waited;
    }
    void Reset()
    {
        flags.RequestStop();
        line->Interrupt();
    }

    TempDir dir;
    std::shared_ptr<FakeSerialLine> line = std::make_shared<FakeSerialLine>();
    std::shared_ptr<MemoryLog> log = std::make_shared<MemoryLog>();
    RecordingUserInterface ui;
    TransferFlags flags;
    RecordingSteps steps;
    settings::SessionSettings settings;
    test::ManualClock clock;
};

struct SendFixture : ::testing::Test, Sending {};

} // namespace

// DC2 and DC4 go around the chunks, and the status counts the file's bytes.
TEST_F(SendFixture, ChunksStopAfterALineFeedWithinTheBufferSizeBetweenDc2AndDc4)
{
    settings.sendBufferSize = "10";
    settings.sendDc2AtStart = true;
    settings.sendDc4AtEnd = true;
    const std::string program = "N10G01X1.0Y2.0Z3.0F10\r\n%\n";
    EXPECT_TRUE(Send(program).sendCompleted);
    EXPECT_EQ(line->Written(), "\x12" + program + "\x14");
    EXPECT_EQ(line->ChunkSizes(), "10,10,3,2");
    ASSERT_EQ(log->comm.size(), 2u);
    EXPECT_EQ(log->comm[0], "送信開始");
    EXPECT_TRUE(log->comm[1].starts_with("送信終了\t00時間 00分 0"));
    EXPECT_TRUE(log->comm[1].ends_with("秒\r\n"));
    EXPECT_EQ(steps.lastCycleTime.substr(0, 8), "00H 00M ");
    EXPECT_TRUE(ui.LastStatus().starts_with("ｻｲｸﾙﾀｲﾑ：00時間 00分 "));
    EXPECT_TRUE(ui.LastStatus().ends_with(" 送信ﾊﾞｲﾄ数: 25ﾊﾞｲﾄ"));
}

TEST_F(SendFixture, ALineErrorEndsTheSendWithItsMessageAndErrorLogWord)
{
    settings.sendBufferSize = "4";
    line->errorAtCheckNumber = 1;
    line->errorWordAtCheck = serial::kErrFrame;
    const SendOutcome outcome = Send("%\nO1234\n%\n");
    EXPECT_TRUE(outcome.transferError);
    EXPECT_FALSE(outcome.sendCompleted);
    EXPECT_EQ(line->Written(), "%\n");
    ASSERT_FALSE(ui.Messages().empty());
    EXPECT_EQ(ui.Messages().front(), "データ送信 I/O エラー （フレーミング エラーを検出しました。）");
    EXPECT_EQ(log->errors, std::vector<std::string>{"WRITE_IO-ERROR"});
    EXPECT_EQ(log->comm.back(), "送信失敗\r\n");
    EXPECT_TRUE(flags.quitRequested);
    EXPECT_EQ(ui.LastStatus(), " データ送信中にエラーがありました。");
}

TEST_F(SendFixture, AnUnreadableErrorWordSaysWhyBelowTheMessage)
{
    line->failErrorQuery = true;
    EXPECT_TRUE(Send("%\nO1234\n%\n").transferError);
    EXPECT_EQ(line->Written(), "");
    EXPECT_EQ(ui.Messages(),
              std::vector<std::string>{"データ送信 I/O エラー （通信エラー情報の取得に失敗しました。）\n\n" +
                                       line->LastError()});
    EXPECT_NE(line->LastError().find(serial::kDeviceGoneText), std::string::npos);
}

TEST_F(SendFixture, OnlyASingleKnownErrorBitCountsAsALineError)
{
    line->errorAtCheckNumber = 0;
    line->errorWordAtCheck = serial::kErrParity | serial::kErrFrame;
    EXPECT_TRUE(Send("O1\n").sendCompleted);
}

TEST(SendLoop, AVanishedDeviceFailsTheSendAndLogsTheWriteErrorButAServerGoesOn)
{
    for (const TransferMode mode : {TransferMode::Send, TransferMode::Server}) {
        Sending send;
        send.line->failWriteAfterBytes = 0;
        EXPECT_TRUE(send.Send("O1\nO2\n", mode).transferError);
        ASSERT_FALSE(send.ui.Messages().empty());
        EXPECT_TRUE(send.ui.Messages().front().starts_with("データ送信エラー（非同期ＩＯ）"));
        EXPECT_EQ(send.log->errors, std::vector<std::string>{"WRITE_UNSYNCHRO-ERROR"});
        EXPECT_EQ(send.flags.quitRequested, mode == TransferMode::Send);
    }
}

TEST_F(SendFixture, ShowsLinesCommentsAndTheSourceFile)
{
    settings.sendBufferSize = "3";
    Send("(SOURCE_FILE=/NC/A.NC)\nO1234(MAIN)\nN10G00X0(RAPID)\n");
    EXPECT_TRUE(ui.Saw("file: /NC/A.NC 送信中"));
    EXPECT_TRUE(ui.Saw("data:O1234(MAIN)"));
    EXPECT_TRUE(ui.Saw("status:O1234(MAIN)"));
    EXPECT_TRUE(ui.Saw("status:O1234(RAPID)"));
}

TEST_F(SendFixture, TheDataViewStartsAfreshAfter200Lines)
{
    std::string program;
    for (int i = 0; i < 201; ++i)
        program += "N" + std::to_string(i) + "\n";
    Send(program);
    const auto events = ui.Events();
    const auto n199 = std::find(events.begin(), events.end(), "data:N199");
    const auto n200 = std::find(events.begin(), events.end(), "data:N200");
    ASSERT_NE(n200, events.end());
    EXPECT_EQ(*(n200 + 1), "clear-data");
    EXPECT_EQ(std::find(n199, n200, "clear-data"), n200);
}

// A DC4 behind the cut program would make the control take it for a whole one.
TEST_F(SendFixture, ResetDuringAnXoffStallIsAStopNotAWriteErrorAndWritesNoDc4)
{
    settings.sendDc4AtEnd = true;
    line->blockWrites = true;
    std::thread reset([this] {
        EXPECT_TRUE(test::WaitFor([this] { return line->WriteCalls() > 0; }, std::chrono::seconds(10)));
        Reset();
    });
    const SendOutcome outcome = Send("O1\n");
    reset.join();
    EXPECT_EQ(line->Written(), "");
    EXPECT_FALSE(outcome.transferError);
    EXPECT_TRUE(ui.Messages().empty());
    EXPECT_FALSE(flags.quitRequested);
    EXPECT_EQ(log->comm.back(), "送信中断\r\n");
    EXPECT_EQ(ui.LastStatus(), " データ送信を中断しました。（リセット）");
}

TEST_F(SendFixture, ResendModeRunsAnotherPassWithoutRepeatingDc2)
{
    settings.ignoreCycleStart = false;
    settings.resendMode = true;
    settings.sendDc2AtStart = true;
    std::thread machine([this] {
        // A cycle start for each of two passes; the third pass's wait is reset.
        for (int wait = 1; wait <= 3 && AwaitWait(wait); ++wait) {
            if (wait < 3)
                line->MachineSpeaks();
        }
        Reset();
    });
    Send("O1\n");
    machine.join();
    EXPECT_EQ(line->Written(), "\x12O1\nO1\n");
    EXPECT_TRUE(ui.Saw("file: PROG.NC 再送信"));
}

TEST_F(SendFixture, ExitAfterSendingCountsDownThenAsksToClose)
{
    settings.exitAfterSend = true;
    settings.exitAfterSendSeconds = "3.9";
    Send("O1\n");
    EXPECT_EQ(ui.EventsWith("送信後終了まで"),
              (std::vector<std::string>{"file: PROG.NC 送信後終了まで 3秒", "file: PROG.NC 送信後終了まで 2秒",
                                        "file: PROG.NC 送信後終了まで 1秒"}));
    // About four seconds from the end of the send to the close.
    EXPECT_GE(clock.Waited(), std::chrono::seconds(4));
    EXPECT_LT(clock.Waited(), std::chrono::seconds(5));
    EXPECT_TRUE(flags.quitRequested);
    EXPECT_EQ(ui.LastStatus(), "Maroka を終了します。");
    EXPECT_EQ(steps.endTransfers, 1);
}

TEST(SendPacing, RefusesNumbersThatAreNotNumbersByName)
{
    settings::SessionSettings settings;
    settings.sendBufferSize = "2048";
    ASSERT_TRUE(std::holds_alternative<std::string>(ReadSendPacing(settings)));
    settings.sendBufferSize = "2047";
    settings.sendDelayMs = "1OO";
    const auto delay = ReadSendPacing(settings);
    ASSERT_TRUE(std::holds_alternative<std::string>(delay));
    EXPECT_TRUE(std::get<std::string>(delay).starts_with("送信遅延時間"));
    settings.sendDelayEnabled = false; // a switched-off setting is not checked
    EXPECT_TRUE(std::holds_alternative<SendPacing>(ReadSendPacing(settings)));
}

TEST(CycleTime, FormatsHoursMinutesAndSeconds)
{
    EXPECT_EQ(FormatCycleTime(std::chrono::seconds(3725)), "01時間 02分 05秒");
    EXPECT_EQ(FormatLastCycleTime(std::chrono::seconds(59)), "00H 00M 59S");
}

TEST(LineSetup, FillsTheLineSettingsFromTheBoxes)
{
    using namespace serial;
    const struct {
        LineBoxTexts boxes;
        QueueSizes queues;
        std::uint32_t baudRate;
        std::uint8_t stopBits, byteSize, parity;
        std::uint8_t xoff;
        std::uint16_t xonLimit, xoffLimit;
    } cases[] = {
        {{"COM1", " 1 ", "19200", "1", "ASC", "93H", "MEM"}, {}, 19200, kOneStopBit, 8, kNoParity, 0x93, 341, 682},
        // Empty boxes are filled in; the limits follow the smaller queue.
        {{"COM1", "", "", "1", "ISO", "", "MEM"}, {4096, 1200}, 4800, kTwoStopBits, 7, kEvenParity, 0x13, 200, 400},
        // Neither 1 nor 2 stop bits keeps the driver's value.
        {{"COM1", "3", "9600", "1", "ISO", "13H", "MEM"}, {}, 9600, kOneStopBit, 7, kEvenParity, 0x13, 341, 682},
    };
    for (auto c : cases) {
        SCOPED_TRACE(c.boxes.baudRate);
        LineSettings line;
        line.StopBits = kOneStopBit;
        FillLineSettings(line, c.boxes, c.queues);
        EXPECT_EQ(line.BaudRate, c.baudRate);
        EXPECT_EQ(line.StopBits, c.stopBits);
        EXPECT_EQ(line.ByteSize, c.byteSize);
        EXPECT_EQ(line.Parity, c.parity);
        EXPECT_EQ(line.XoffChar, c.xoff);
        EXPECT_EQ(line.XonLim, c.xonLimit);
        EXPECT_EQ(line.XoffLim, c.xoffLimit);
        EXPECT_EQ(line.XonChar, 0x11);
        EXPECT_EQ(line.EvtChar, 0x11);
        EXPECT_TRUE(line.fOutX && line.fInX && line.fNull && line.fAbortOnError && line.fParity && line.fBinary);
        EXPECT_FALSE(line.fTXContinueOnXoff);
        EXPECT_EQ(line.fRtsControl, kRtsControlHandshake);
        EXPECT_EQ(line.fDtrControl, kDtrControlHandshake);
    }
    LineBoxTexts empty{"COM1", "", "", "1", "ISO", "", "MEM"};
    LineSettings line;
    FillLineSettings(line, empty, {});
    EXPECT_EQ(empty.baudRate, "4800");
    EXPECT_EQ(empty.stopBits, "2");
    EXPECT_EQ(empty.dc3, "13H");
}

TEST(LineSetup, RefusesBoxesThatAreNotDecimalNumbers)
{
    EXPECT_TRUE(CheckLineBoxes({"COM1", "2", "96OO", "1", "ISO", "13H", "MEM"}));
    EXPECT_TRUE(CheckLineBoxes({"COM1", "two", "9600", "1", "ISO", "13H", "MEM"}));
    EXPECT_FALSE(CheckLineBoxes({"COM1", "", "", "1", "ISO", "13H", "MEM"}));
    EXPECT_FALSE(CheckLineBoxes({"COM1", "2", " 9600\t", "1", "ISO", "13H", "MEM"}));
}
