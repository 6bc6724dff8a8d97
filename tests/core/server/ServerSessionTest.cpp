// The server mode as the main window runs it, driven by the simulated
// machine over a real pseudo-terminal: each command goes out as a short
// program, and the test looks at what comes back on the line, in the folder
// and in the logs.

#include "core/logs/LogMessages.h"
#include "core/logs/WorkFilePath.h"
#include "core/server/ServerMessages.h"
#include "core/session/SessionMessages.h"
#include "core/text/Encoding.h"
#include "core/transfer/TransferMessages.h"

#include "core/session/SessionFixture.h"
#include "support/LoopbackSocket.h"
#include "support/RefusingFiles.h"

#include <algorithm>
#include <chrono>
#include <future>
#include <thread>

using namespace maroka;
using namespace std::chrono_literals;
using maroka::test::ReadFileBytes;
using maroka::test::RecordingUserInterface;
using maroka::test::WriteFileBytes;

namespace fs = std::filesystem;

namespace {

const std::string kCommandWait = std::string("file:") + " コマンド待ち";
const std::string kNoFileName = "%\r\n(R/ NO CALLED FILE NAME)\r\nM30\r\n%\r\n";

int Occurrences(const std::string& text, std::string_view word)
{
    int count = 0;
    for (std::size_t at = text.find(word); at != std::string::npos; at = text.find(word, at + 1))
        ++count;
    return count;
}

struct ServerSession : ::testing::Test, test::MachineRig {
    ServerSession()
    {
        fs::create_directories(folder());
        initial.serverFolder = folder().string();
        initial.receiveEndSeconds = "0";
        // The machine sends cycle start only where a test asks for it.
        initial.ignoreCycleStart = true;
    }

    session::Session& Start(double charsPerSecond = 50'000)
    {
        StartMachine(charsPerSecond);
        auto& s = MachineRig::Start();
        s.StartServer();
        EXPECT_TRUE(WaitForCommandWait(1));
        return s;
    }

    fs::path folder() const { return dir / "folder"; }
    void Put(std::initializer_list<std::pair<const char*, const char*>> files) const
    {
        for (const auto& [name, bytes] : files)
            WriteFileBytes(folder() / name, bytes);
    }
    fs::path WorkFile(std::string_view name) const
    {
        return logs::WorkFilePath((dir / "bin" / "Maroka_Work").string(), name, machine->DevicePath());
    }
    std::string ErrorLog() const
    {
        return fs::exists(WorkFile(logs::kErrLogFile)) ? ReadFileBytes(WorkFile(logs::kErrLogFile)) : "";
    }
    // The communication log is written behind the worker: its entry may
    // land a moment after the step that made it.
    bool Logged(const std::string& utf8) const
    {
        const std::string wanted = text::Utf8ToCp932Lossy(utf8);
        const auto deadline = std::chrono::steady_clock::now() + 5s;
        while (ReadFileBytes(WorkFile(logs::kLogFile)).find(wanted) == std::string::npos) {
            if (std::chrono::steady_clock::now() > deadline)
                return false;
            std::this_thread::sleep_for(10ms);
        }
        return true;
    }

    int Count(const std::string& event) const
    {
        const auto events = ui.Events();
        return static_cast<int>(std::count(events.begin(), events.end(), event));
    }
    bool WaitForCommandWait(int count, std::chrono::milliseconds limit = 15s)
    {
        return ui.PumpUntil([&] { return Count(kCommandWait) >= count; }, limit);
    }

    // Sends a command and returns what the PC sent back, byte for byte.
    std::string Ask(const std::string& command)
    {
        const std::size_t before = machine->ReceivedBytes().size();
        const int waits = Count(kCommandWait);
        auto reply = std::async(std::launch::async, [&] { return machine->RunCommand(command, 300ms, 15s); });
        ui.PumpUntil([&] { return reply.wait_for(0s) == std::future_status::ready; }, 20s);
        EXPECT_TRUE(reply.get()) << command;
        EXPECT_TRUE(WaitForCommandWait(waits + 1)) << command;
        return machine->ReceivedBytes().substr(before);
    }

    // Sends a command that has no reply and waits until the server waits again.
    void Tell(const std::string& command)
    {
        const int waits = Count(kCommandWait);
        machine->SendCommand(command, 300ms);
        EXPECT_TRUE(WaitForCommandWait(waits + 1)) << command;
    }

    // Sends a save command, punches `program` once the box shows that the
    // server waits for it under `name`, and returns what the PC sent
    // meanwhile (a little longer, for a late reply).
    std::string Save(const std::string& command, const std::string& name, const std::string& program)
    {
        const int waits = Count(kCommandWait);
        const std::size_t before = machine->ReceivedBytes().size();
        machine->SendCommand(command, 300ms);
        const std::string receiving = "file: " + name + "　受信データ待ち";
        EXPECT_TRUE(ui.PumpUntil([&] { return ui.Saw(receiving); }, 10s)) << receiving;
        machine::PunchJob job;
        job.data = program;
        machine->Punch(job);
        EXPECT_TRUE(WaitForCommandWait(waits + 1)) << command;
        ui.PumpUntil([] { return false; }, 500ms);
        return machine->ReceivedBytes().substr(before);
    }
};

} // namespace

TEST_F(ServerSession, CallsAreAnsweredAndTheirFailuresReportedFromTheErrorLog)
{
    const std::string program = "%\nO1234(\x83\x65\x83\x58\x83\x67)\r\nG00X1.\nM30\r\n%\n";
    WriteFileBytes(folder() / "O1234.NC", program);
    Start();
    // The question about ignoring cycle start was asked and answered No.
    const auto messages = ui.Messages();
    EXPECT_NE(std::find(messages.begin(), messages.end(), session::msg::kIgnoreCycleStartOn), messages.end());

    EXPECT_EQ(Ask("P/"), "%\r\n(NO_ERROR)\r\n%\r\n");
    EXPECT_EQ(Ask("R/O1234.NC"), program);
    EXPECT_TRUE(Logged("\tCALL[O1234.NC]\t受信終了\r\n"));
    EXPECT_TRUE(Logged("\t" + (folder() / "O1234.NC").string() + "\t送信開始"));
    EXPECT_TRUE(Logged("\tCOMMAND\t受信開始"));
    EXPECT_TRUE(ui.Saw("file: O1234.NC 送信（サーバー）"));
    EXPECT_TRUE(ui.Saw("file:CALL COMMAND"));
    EXPECT_TRUE(ui.Saw("status: コマンド解析終了"));
    EXPECT_EQ(ErrorLog(), "");

    EXPECT_EQ(Ask("R/"), kNoFileName);
    const std::string report = Ask("P/");
    EXPECT_TRUE(report.ends_with("\t\tNO_CALL_FILE\r\n%\r\n")) << report;
    EXPECT_TRUE(ui.Saw("file: ERROR_LOG_LIST 送信（サーバー）"));
    EXPECT_TRUE(Logged("\tNO_FILE_NAME_MASSAGE\t送信開始"));
}

TEST_F(ServerSession, APlainCallWaitsForCycleStartAndTheM198FormDoesNot)
{
    initial.ignoreCycleStart = false;
    WriteFileBytes(folder() / "O1234", "%\r\nO1234\r\nM30\r\n%\r\n");
    Start();

    EXPECT_EQ(Ask("&HO1234:"), "%\r\nO1234\r\nM30\r\n%\r\n");
    EXPECT_EQ(machine->Report().cycleStartsSent, 0u);

    const int waits = Count(kCommandWait);
    const std::size_t before = machine->ReceivedBytes().size();
    machine->SendCommand("R/O1234", 300ms);
    const std::string waiting = std::string("status:") + transfer::msg::kStatusWaitCycleStart;
    ASSERT_TRUE(ui.PumpUntil([&] { return Count(waiting) >= 1; }, 10s));
    ui.PumpUntil([] { return false; }, 300ms);
    EXPECT_EQ(machine->ReceivedBytes().size(), before);
    machine->CycleStart();
    ASSERT_TRUE(WaitForCommandWait(waits + 1));
    EXPECT_EQ(machine->ReceivedBytes().substr(before), "%\r\nO1234\r\nM30\r\n%\r\n");
}

TEST_F(ServerSession, SavesTakeUniqueNamesAndFailedSavesDrainTheProgramAndLeaveNoFile)
{
    Put({{"N.NC", "KEEP"}, {"O1", "%\r\nO1\r\n%\r\n"}});
    Start();
    EXPECT_EQ(Save("S/N.NC", "N-01.NC", "%\r\nO2000(SAVED)\r\nG01X5.\r\nM30\r\n%\r\n"), "");
    const std::string saved = ReadFileBytes(folder() / "N-01.NC");
    EXPECT_NE(saved.find("O2000(SAVED)\r\nG01X5.\r\nM30\r\n"), std::string::npos) << saved;
    EXPECT_EQ(ReadFileBytes(folder() / "N.NC"), "KEEP");
    EXPECT_TRUE(ui.Saw("received-files:1"));

    // A name too long to create: read as a command, this program would call O1.
    const std::string longName(300, 'A');
    EXPECT_EQ(Save("S/" + longName, longName, "%\r\nO2000\r\nR/O1\r\nM30\r\n%\r\n"), "");
    const std::string report = Ask("P/");
    EXPECT_NE(report.find(server::msg::kErrCantCreateSaveFile), std::string::npos) << report;

    // A file-size limit stands in for a full disk: writes past it fail as
    // they would on a full file system. The "L/" near the program's end is
    // not taken for a command.
    std::string program = "%\r\nO3000\r\n";
    while (program.size() < 20'000)
        program += "G01X10.Y20.F100\r\n";
    auto limit = std::make_unique<test::FileSizeLimit>(8192);
    const std::string sent = Save("S/BIG.NC", "BIG.NC", program + "L/\r\nM30\r\n%\r\n");
    limit.reset();
    EXPECT_EQ(sent, "");
    EXPECT_NE(ErrorLog().find(server::msg::kErrCantWriteSaveFile), std::string::npos);
    EXPECT_EQ(Ask("L/"),
              "%\r\n([SEARCH_FILE_LIST])\r\n(N-01.NC)\r\n(N.NC)\r\n(O1)\r\n([SEARCH_FILE_LIST_END])\r\nM30\r\n%\r\n");
    EXPECT_FALSE(ui.Saw("received-files:2"));
}

// What each outcome does to the folder is the folder's own test; here each
// outcome reaches the operator's box, and only a failure adds a line, with
// its word, to the error log.
TEST_F(ServerSession, DeletesRenamesAndRefusedNamesEachShowTheirOutcomeAndLogOnlyTheirFailure)
{
    WriteFileBytes(dir / "outside.nc", "OUTSIDE");
    Put({{"old.nc", ""}, {"A.NC", ""}, {"B.NC", ""}, {"OLD", "RENAME ME"}, {"prog.nc", ""}, {"PROG.NC", ""}});
    Start();
    using namespace server::msg;
    const struct {
        const char* command;
        const char* box;
        std::string_view errorWord;
    } cases[] = {
        {"D/OLD.NC", kBoxDeleted, ""},
        {"D/GONE.NC", kBoxDeleteNotFound, logs::msg::kErrDeleteFileNotFound},
        {"RN/A.NC/B.NC", kBoxRenameFailed, logs::msg::kErrFileRenameFailed},
        // It holds the delete word "D/": renamed, not deleted.
        {"RN/OLD/NEW", kBoxRenamed, ""},
        {"RN/NOTHERE/X", kBoxRenameNotFound, logs::msg::kErrRenameFileNotFound},
        {"D/../outside.nc", kBoxUnusableName, kErrUnsafeFileName},
        {"S/X)G28Z0(.NC", kBoxUnusableName, kErrNameNotListable},
        {"D/Prog.NC", kBoxAmbiguousName, kErrAmbiguousName},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.command);
        const int boxes = Count(std::string("file:") + c.box);
        const std::string before = ErrorLog();
        Tell(c.command);
        EXPECT_EQ(Count(std::string("file:") + c.box), boxes + 1);
        const std::string after = ErrorLog();
        EXPECT_EQ(Occurrences(after, "\n"), Occurrences(before, "\n") + (c.errorWord.empty() ? 0 : 1)) << after;
        if (!c.errorWord.empty()) {
            EXPECT_EQ(Occurrences(after, c.errorWord), Occurrences(before, c.errorWord) + 1) << after;
        }
    }
    EXPECT_TRUE(ui.Saw(std::string("status:") + kStatusDeleteFailed));
    EXPECT_FALSE(fs::exists(folder() / "old.nc"));
    EXPECT_EQ(ReadFileBytes(folder() / "NEW"), "RENAME ME");
    EXPECT_EQ(ReadFileBytes(dir / "outside.nc"), "OUTSIDE");
    EXPECT_FALSE(fs::exists(folder() / "X)G28Z0(.NC"));
}

TEST_F(ServerSession, AFailedMailLeavesTheServerWaiting)
{
    WriteFileBytes(folder() / "O1", "%\r\nO1\r\n%\r\n");
    initial.mailHost = "127.0.0.1";
    initial.smtpPort = std::to_string(test::LoopbackSocket(false).port);
    initial.mailRecipient = "ops@example.com";
    Start();

    Tell("M/HELLO");
    EXPECT_NE(ErrorLog().find(server::msg::kErrMailFailed), std::string::npos);
    EXPECT_TRUE(ui.Saw("file:メール送信中"));
    EXPECT_EQ(Ask("R/O1"), "%\r\nO1\r\n%\r\n");
}

TEST_F(ServerSession, ACommandLongerThan512BytesIsCutButItsFirstLinesWork)
{
    initial.receiveEndSeconds = "1";
    WriteFileBytes(folder() / "O1", "%\r\nO1\r\n%\r\n");
    // A slow machine, so the command arrives in many reads.
    Start(2'000);
    std::string command = "R/O1";
    while (command.size() < 700)
        command += "\r\nN0001G01X1.0Y2.0";
    const int waits = Count(kCommandWait);
    const std::size_t before = machine->ReceivedBytes().size();
    machine->SendCommand(command, 300ms);
    ASSERT_TRUE(WaitForCommandWait(waits + 1));
    ASSERT_TRUE(ui.PumpUntil([&] { return machine->ReceivedBytes().size() >= before + 10; }, 10s));
    EXPECT_EQ(machine->ReceivedBytes().substr(before), "%\r\nO1\r\n%\r\n");
    EXPECT_LE(ReadFileBytes(WorkFile(logs::kCommandFile)).size(), 3u + 512u);
}

TEST_F(ServerSession, WithoutASearchAndSaveFolderNothingStarts)
{
    initial.serverFolder = (dir / "missing").string();
    StartMachine();
    auto& s = MachineRig::Start();
    // The question "choose one now?" gets No from the script.
    s.StartServer();
    EXPECT_FALSE(s.TransferRunning());
    EXPECT_TRUE(s.Idle());
    const auto messages = ui.Messages();
    EXPECT_NE(std::find(messages.begin(), messages.end(), session::msg::kNoServerFolder), messages.end());

    // Yes, and a chooser that gives nothing: the server still does not start.
    ui.answers.push_back(MessageAnswer::Yes);
    s.StartServer();
    EXPECT_FALSE(s.TransferRunning());
    EXPECT_EQ(ui.Messages().back(), session::msg::kServerFolderRequired);
}

TEST_F(ServerSession, TheWorkFilesBelongToThePortHolderAndALostCommandFileIsMadeAgain)
{
    Put({{"O1", "%\r\nO1\r\n%\r\n"}});
    Start();
    EXPECT_EQ(Ask("R/"), kNoFileName);
    ASSERT_TRUE(fs::exists(WorkFile(logs::kErrLogFile)));
    ASSERT_TRUE(fs::exists(WorkFile(logs::kCommandFile)));

    RecordingUserInterface otherUi;
    session::SessionOptions options;
    options.programPath = (dir / "bin" / "maroka").string();
    options.listPorts = [this] { return ports; };
    {
        session::Session other(otherUi, std::move(options));
        other.Construct();
        other.FirstShown();
        other.StartServer();
        EXPECT_FALSE(other.TransferRunning());
        other.Close();
    }
    EXPECT_TRUE(fs::exists(WorkFile(logs::kErrLogFile)));
    EXPECT_TRUE(fs::exists(WorkFile(logs::kCommandFile)));
    EXPECT_NE(Ask("P/").find("\t\tNO_CALL_FILE\r\n"), std::string::npos);

    // Removed while the server waits with it open: the command written into
    // the removed file is lost, and said so; the next one is served.
    ASSERT_TRUE(fs::remove(WorkFile(logs::kCommandFile)));
    Tell("R/O1");
    EXPECT_EQ(Ask("R/O1"), "%\r\nO1\r\n%\r\n");
    EXPECT_TRUE(fs::exists(WorkFile(logs::kCommandFile)));
    EXPECT_NE(ErrorLog().find(server::msg::kErrCantWriteCommandFile), std::string::npos);
}
