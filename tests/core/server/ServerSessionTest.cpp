// The server mode as the main window runs it, driven by the simulated
// machine over a real pseudo-terminal: each command goes out as a short
// program, and the test looks at what comes back on the line, in the folder
// and in the logs.

#include "core/logs/LogMessages.h"
#include "core/logs/WorkFilePath.h"
#include "core/server/ServerMessages.h"
#include "core/session/Session.h"
#include "core/session/SessionMessages.h"
#include "core/settings/SettingsFile.h"
#include "core/text/Encoding.h"
#include "core/transfer/TransferMessages.h"
#include "machine/lib/SimulatedMachine.h"

#include "support/RecordingUserInterface.h"
#include "support/RefusingFiles.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <future>

using namespace maroka;
using namespace std::chrono_literals;
using maroka::test::ReadFileBytes;
using maroka::test::RecordingUserInterface;
using maroka::test::TempDir;
using maroka::test::WriteFileBytes;

namespace fs = std::filesystem;

namespace {

const std::string kCommandWait = std::string("file:") + " コマンド待ち";

// A loopback port with nothing listening on it.
int ClosedPort()
{
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
    socklen_t size = sizeof address;
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size);
    ::close(fd);
    return ntohs(address.sin_port);
}

struct ServerSession : ::testing::Test {
    void StartMachine(double charsPerSecond)
    {
        machine::MachineConfig config;
        config.lineCharsPerSecond = charsPerSecond;
        machine = std::make_unique<machine::SimulatedMachine>(config);
        std::string error;
        ASSERT_TRUE(machine->Start(error)) << error;
        fs::create_directories(dir / "bin");
        fs::create_directories(folder());
        initial.startupPort = machine->DevicePath();
        initial.serverFolder = folder().string();
        initial.receiveEndSeconds = "0";
        // The machine sends cycle start only where a test asks for it.
        initial.ignoreCycleStart = true;
    }

    session::Session& Start()
    {
        EXPECT_FALSE(settings::SettingsFile((dir / "bin" / "maroka0.ini").string()).SaveSettings(initial));
        session::SessionOptions options;
        options.programPath = (dir / "bin" / "maroka").string();
        options.listPorts = [this] { return std::vector<std::string>{machine->DevicePath()}; };
        session = std::make_unique<session::Session>(ui, std::move(options));
        session->Construct();
        session->FirstShown();
        session->StartServer();
        EXPECT_TRUE(WaitForCommandWait(1));
        return *session;
    }

    fs::path folder() const { return dir / "folder"; }
    fs::path WorkFile(std::string_view name) const
    {
        return logs::WorkFilePath((dir / "bin" / "Maroka_Work").string(), name, machine->DevicePath());
    }
    std::string ErrorLog() const
    {
        return fs::exists(WorkFile(logs::kErrLogFile)) ? ReadFileBytes(WorkFile(logs::kErrLogFile)) : "";
    }
    std::string CommLog() const { return ReadFileBytes(WorkFile(logs::kLogFile)); }

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

    TempDir dir;
    settings::SessionSettings initial;
    std::unique_ptr<machine::SimulatedMachine> machine;
    RecordingUserInterface ui;
    std::unique_ptr<session::Session> session;
};

std::string Cp932(const std::string& utf8)
{
    return text::Utf8ToCp932Lossy(utf8);
}

} // namespace

TEST_F(ServerSession, CallSendsTheFileUnchangedAndLogsItsSubject)
{
    StartMachine(50'000);
    const std::string program = "%\nO1234(\x83\x65\x83\x58\x83\x67)\r\nG00X1.\nM30\r\n%\n";
    WriteFileBytes(folder() / "O1234.NC", program);
    WriteFileBytes(folder() / "o5678.nc", "%\r\nO5678\r\n%\r\n");
    Start();
    EXPECT_TRUE(ui.Saw("status: サーバーモード"));
    // The question about ignoring cycle start was asked and answered No.
    const auto messages = ui.Messages();
    EXPECT_NE(std::find(messages.begin(), messages.end(), session::msg::kIgnoreCycleStartOn), messages.end());

    EXPECT_EQ(Ask("R/O1234.NC"), program);
    // Controls send upper case; the file on disk is lower case.
    EXPECT_EQ(Ask("N1R/O5678.NC"), "%\r\nO5678\r\n%\r\n");

    const std::string log = CommLog();
    EXPECT_NE(log.find(Cp932("\tCALL[O1234.NC]\t受信終了\r\n")), std::string::npos);
    EXPECT_NE(log.find(Cp932("\t" + (folder() / "O1234.NC").string() + "\t送信開始")), std::string::npos);
    EXPECT_NE(log.find(Cp932("\tCOMMAND\t受信開始")), std::string::npos);
    EXPECT_TRUE(ui.Saw("file: O1234.NC 送信（サーバー）"));
    EXPECT_TRUE(ui.Saw("file:CALL COMMAND"));
    EXPECT_TRUE(ui.Saw("status: コマンド解析終了"));
    EXPECT_EQ(ErrorLog(), "");
}

TEST_F(ServerSession, APlainCallWaitsForCycleStartAndTheM198FormDoesNot)
{
    StartMachine(50'000);
    initial.ignoreCycleStart = false;
    WriteFileBytes(folder() / "O1234", "%\r\nO1234\r\nM30\r\n%\r\n");
    auto& s = Start();

    EXPECT_EQ(Ask("&HO1234:"), "%\r\nO1234\r\nM30\r\n%\r\n");
    EXPECT_EQ(machine->Report().cycleStartsSent, 0u);
    EXPECT_EQ(Ask("&HO9999:"), "%\r\n(R/O9999 IS NOT FOUND)\r\nM30\r\n%\r\n");

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

    s.Reset();
    ASSERT_TRUE(ui.PumpUntil([&] { return !s.TransferRunning(); }, 10s));
    EXPECT_TRUE(s.Idle());
}

TEST_F(ServerSession, RepliesToCallsThatCannotBeServedAndReportsTheErrorLog)
{
    StartMachine(50'000);
    Start();
    EXPECT_EQ(Ask("P/"), "%\r\n(NO_ERROR)\r\n%\r\n");
    EXPECT_EQ(Ask("R/"), "%\r\n(R/ NO CALLED FILE NAME)\r\nM30\r\n%\r\n");
    EXPECT_EQ(Ask("R/MISSING.NC"), "%\r\n(R/MISSING.NC IS NOT FOUND)\r\nM30\r\n%\r\n");

    const std::string report = Ask("P/");
    EXPECT_TRUE(report.starts_with("%\r\n"));
    EXPECT_TRUE(report.ends_with("\t\tNO_CALL_FILE\r\n%\r\n")) << report;
    EXPECT_NE(report.find("\t\tCALL_FILE_NOT_FOUND\r\n"), std::string::npos);
    EXPECT_EQ(report.find("M30"), std::string::npos);
    EXPECT_TRUE(ui.Saw("file: ERROR_LOG_LIST 送信（サーバー）"));
    EXPECT_NE(CommLog().find(Cp932("\tNO_FILE_NAME_MASSAGE\t送信開始")), std::string::npos);
}

TEST_F(ServerSession, ListsAnEmptyAndAFullFolder)
{
    StartMachine(50'000);
    Start();
    EXPECT_EQ(Ask("L/"), "%\r\n([SEARCH_FILE_LIST])\r\n([SEARCH_FILE_LIST_END])\r\nM30\r\n%\r\n");
    WriteFileBytes(folder() / "b.nc", "B");
    WriteFileBytes(folder() / "A.NC", "A");
    WriteFileBytes(folder() / "C", "C");
    WriteFileBytes(folder() / ".hidden", "H");
    fs::create_directory(folder() / "SUBFOLDER");
    EXPECT_EQ(Ask("L/ANYTHING"),
              "%\r\n([SEARCH_FILE_LIST])\r\n(A.NC)\r\n(b.nc)\r\n(C)\r\n([SEARCH_FILE_LIST_END])\r\nM30\r\n%\r\n");
}

TEST_F(ServerSession, SaveStoresTheNextProgramUnderAUniqueName)
{
    StartMachine(50'000);
    WriteFileBytes(folder() / "N.NC", "KEEP");
    WriteFileBytes(folder() / "UNTITLED", "KEEP");
    Start();
    const std::string program = "%\r\nO2000(SAVED)\r\nG01X5.\r\nM30\r\n%\r\n";
    for (const auto& [command, name] : {std::pair{"S/N.NC", "N-01.NC"}, {"S/", "UNTITLED-01"}}) {
        const int waits = Count(kCommandWait);
        machine->SendCommand(command, 300ms);
        const std::string receiving = std::string("file: ") + name + "　受信データ待ち";
        ASSERT_TRUE(ui.PumpUntil([&] { return Count(receiving) >= 1; }, 10s)) << command;
        machine::PunchJob job;
        job.data = program;
        machine->Punch(job);
        ASSERT_TRUE(WaitForCommandWait(waits + 1)) << command;
        const std::string saved = ReadFileBytes(folder() / name);
        EXPECT_NE(saved.find("O2000(SAVED)\r\nG01X5.\r\nM30\r\n"), std::string::npos) << saved;
        EXPECT_NE(CommLog().find(Cp932(std::string("\tSAVE[") + name + "]\t受信終了\r\n")), std::string::npos);
    }
    EXPECT_EQ(ReadFileBytes(folder() / "N.NC"), "KEEP");
    EXPECT_EQ(ReadFileBytes(folder() / "UNTITLED"), "KEEP");
    EXPECT_TRUE(ui.Saw("received-files:2"));
}

TEST_F(ServerSession, DeletesAndRenamesAndReportsTheirFailures)
{
    StartMachine(50'000);
    WriteFileBytes(folder() / "old.nc", "OLD");
    WriteFileBytes(folder() / "A.NC", "A");
    WriteFileBytes(folder() / "B.NC", "B");
    WriteFileBytes(folder() / "OLD", "RENAME ME");
    Start();

    Tell("D/OLD.NC");
    EXPECT_FALSE(fs::exists(folder() / "old.nc"));
    EXPECT_TRUE(ui.Saw(std::string("file:") + server::msg::kBoxDeleted));
    Tell("D/GONE.NC");
    EXPECT_TRUE(ui.Saw(std::string("file:") + server::msg::kBoxDeleteNotFound));
    EXPECT_TRUE(ui.Saw(std::string("status:") + server::msg::kStatusDeleteFailed));

    Tell("RN/A.NC/B.NC");
    EXPECT_EQ(ReadFileBytes(folder() / "B.NC"), "B");
    EXPECT_TRUE(fs::exists(folder() / "A.NC"));
    // "RN/OLD/NEW" holds the delete word "D/": the file is renamed, not deleted.
    Tell("RN/OLD/NEW");
    EXPECT_EQ(ReadFileBytes(folder() / "NEW"), "RENAME ME");
    EXPECT_TRUE(ui.Saw(std::string("file:") + server::msg::kBoxRenamed));
    Tell("RN/NOTHERE/X");

    const std::string errors = ErrorLog();
    for (const std::string_view word :
         {logs::kErrDeleteFileNotFound, logs::kErrFileRenameFailed, logs::kErrRenameFileNotFound})
        EXPECT_NE(errors.find(word), std::string::npos) << word;
    EXPECT_EQ(errors.find(logs::kErrFileDeleteFailed), std::string::npos);
    EXPECT_NE(CommLog().find(Cp932("\tRENAME[OLD]TO[NEW]\t受信終了\r\n")), std::string::npos);
}

TEST_F(ServerSession, NamesThatLeaveTheFolderAreRefused)
{
    StartMachine(50'000);
    WriteFileBytes(dir / "outside.nc", "OUTSIDE");
    WriteFileBytes(folder() / "IN.NC", "IN");
    Start();
    EXPECT_EQ(Ask("R/../outside.nc"), "%\r\n(R/../outside.nc IS NOT FOUND)\r\nM30\r\n%\r\n");
    Tell("D/../outside.nc");
    Tell("RN/IN.NC/../moved.nc");
    Tell("S/../saved.nc");
    EXPECT_EQ(ReadFileBytes(dir / "outside.nc"), "OUTSIDE");
    EXPECT_EQ(ReadFileBytes(folder() / "IN.NC"), "IN");
    EXPECT_FALSE(fs::exists(dir / "moved.nc"));
    EXPECT_FALSE(fs::exists(dir / "saved.nc"));
    const std::string errors = ErrorLog();
    std::size_t refusals = 0;
    for (std::size_t at = errors.find(server::msg::kErrUnsafeFileName); at != std::string::npos;
         at = errors.find(server::msg::kErrUnsafeFileName, at + 1))
        ++refusals;
    EXPECT_EQ(refusals, 4u) << errors;
    EXPECT_TRUE(ui.Saw(std::string("file:") + server::msg::kBoxUnusableName));
}

TEST_F(ServerSession, CommentsAndAFailedMailLeaveTheServerWaiting)
{
    StartMachine(50'000);
    WriteFileBytes(folder() / "O1", "%\r\nO1\r\n%\r\n");
    initial.mailHost = "127.0.0.1";
    initial.smtpPort = std::to_string(ClosedPort());
    initial.mailRecipient = "ops@example.com";
    Start();

    // A command word inside a comment is no command.
    const std::size_t before = machine->ReceivedBytes().size();
    Tell("(R/O1)");
    EXPECT_EQ(machine->ReceivedBytes().size(), before);
    EXPECT_NE(CommLog().find(Cp932("\tNO COMMAND\t受信終了\r\n")), std::string::npos);

    Tell("M/HELLO");
    EXPECT_NE(ErrorLog().find(server::msg::kErrMailFailed), std::string::npos);
    EXPECT_TRUE(ui.Saw("file:メール送信中"));
    EXPECT_NE(CommLog().find(Cp932("\tMAIL-COMMAND\t受信終了\r\n")), std::string::npos);
    EXPECT_EQ(Ask("R/O1"), "%\r\nO1\r\n%\r\n");
}

TEST_F(ServerSession, AnEmptyCommandWordMatchesEveryLine)
{
    StartMachine(50'000);
    WriteFileBytes(folder() / "O1", "%\r\nO1\r\n%\r\n");
    initial.fileListCommand = "";
    Start();
    const std::string list = "%\r\n([SEARCH_FILE_LIST])\r\n(O1)\r\n([SEARCH_FILE_LIST_END])\r\nM30\r\n%\r\n";
    EXPECT_EQ(Ask("O0001"), list);
    // The machine's own first line (its DC2 and "%") already matches.
    EXPECT_EQ(Ask("R/O1"), list);
}

TEST_F(ServerSession, ACommandLongerThan512BytesIsCutButItsFirstLinesWork)
{
    // A slow machine, so the command arrives in many reads.
    StartMachine(2'000);
    initial.receiveEndSeconds = "1";
    WriteFileBytes(folder() / "O1", "%\r\nO1\r\n%\r\n");
    Start();
    std::string command = "R/O1";
    while (command.size() < 700)
        command += "\r\nN0001G01X1.0Y2.0";
    const int waits = Count(kCommandWait);
    const std::size_t before = machine->ReceivedBytes().size();
    machine->SendCommand(command, 300ms);
    ASSERT_TRUE(WaitForCommandWait(waits + 1));
    ASSERT_TRUE(ui.PumpUntil([&] { return machine->ReceivedBytes().size() >= before + 10; }, 10s));
    EXPECT_EQ(machine->ReceivedBytes().substr(before), "%\r\nO1\r\n%\r\n");
    const std::string commandFile = ReadFileBytes(WorkFile(logs::kCommandFile));
    EXPECT_LE(commandFile.size(), 3u + 512u);
}

TEST_F(ServerSession, WithoutASearchAndSaveFolderNothingStarts)
{
    StartMachine(50'000);
    initial.serverFolder = (dir / "missing").string();
    EXPECT_FALSE(settings::SettingsFile((dir / "bin" / "maroka0.ini").string()).SaveSettings(initial));
    session::SessionOptions options;
    options.programPath = (dir / "bin" / "maroka").string();
    options.listPorts = [this] { return std::vector<std::string>{machine->DevicePath()}; };
    session = std::make_unique<session::Session>(ui, std::move(options));
    session->Construct();
    session->FirstShown();
    // The question "choose one now?" gets No from the script.
    session->StartServer();
    EXPECT_FALSE(session->TransferRunning());
    EXPECT_TRUE(session->Idle());
    const auto messages = ui.Messages();
    EXPECT_NE(std::find(messages.begin(), messages.end(), session::msg::kNoServerFolder), messages.end());

    // Yes, and a chooser that gives nothing: the server still does not start.
    ui.answers.push_back(MessageAnswer::Yes);
    session->StartServer();
    EXPECT_FALSE(session->TransferRunning());
    const auto after = ui.Messages();
    EXPECT_EQ(after.back(), session::msg::kServerFolderRequired);
}

namespace {

// The save of a program the machine punches after the save command.
void PunchAfterSave(machine::SimulatedMachine& machine, RecordingUserInterface& ui, const std::string& waitingBox,
                    const std::string& program)
{
    const std::string receiving = std::string("file: ") + waitingBox + "　受信データ待ち";
    ASSERT_TRUE(ui.PumpUntil([&] { return ui.Saw(receiving); }, 10s)) << receiving;
    machine::PunchJob job;
    job.data = program;
    machine.Punch(job);
}

// Every line of a reply between its "%" head and tail is "M30" or one
// comment that nothing leaves.
void ExpectInertReply(const std::string& reply)
{
    ASSERT_TRUE(reply.starts_with("%\r\n") && reply.ends_with("\r\n%\r\n")) << reply;
    const std::string body = reply.substr(3, reply.size() - 8);
    std::size_t start = 0;
    while (start <= body.size()) {
        std::size_t end = body.find("\r\n", start);
        if (end == std::string::npos)
            end = body.size();
        const std::string line = body.substr(start, end - start);
        if (line != "M30") {
            EXPECT_TRUE(line.starts_with("(") && line.ends_with(")")) << line;
            EXPECT_EQ(line.find_first_of("()%\r\n", 1), line.size() - 1) << line;
        }
        start = end + 2;
    }
}

} // namespace

TEST_F(ServerSession, ASecondInstanceRefusedThePortLeavesTheServersWorkFilesAlone)
{
    StartMachine(50'000);
    Start();
    EXPECT_EQ(Ask("R/"), "%\r\n(R/ NO CALLED FILE NAME)\r\nM30\r\n%\r\n");
    ASSERT_TRUE(fs::exists(WorkFile(logs::kErrLogFile)));
    ASSERT_TRUE(fs::exists(WorkFile(logs::kCommandFile)));

    RecordingUserInterface otherUi;
    session::SessionOptions options;
    options.programPath = (dir / "bin" / "maroka").string();
    options.listPorts = [this] { return std::vector<std::string>{machine->DevicePath()}; };
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
}

TEST_F(ServerSession, ACommandFileRemovedUnderTheServerIsMadeAgain)
{
    StartMachine(50'000);
    WriteFileBytes(folder() / "O1", "%\r\nO1\r\n%\r\n");
    Start();
    // Removed while the server waits with it open: the command written into
    // the removed file is lost, and said so.
    ASSERT_TRUE(fs::remove(WorkFile(logs::kCommandFile)));
    Tell("R/O1");
    EXPECT_EQ(Ask("R/O1"), "%\r\nO1\r\n%\r\n");
    EXPECT_TRUE(fs::exists(WorkFile(logs::kCommandFile)));
    EXPECT_NE(ErrorLog().find(server::msg::kErrCantWriteCommandFile), std::string::npos);
}

TEST_F(ServerSession, ASaveThatCannotCreateItsFileDrainsTheProgramAndSaysSo)
{
    StartMachine(50'000);
    WriteFileBytes(folder() / "O1", "%\r\nO1\r\n%\r\n");
    Start();
    const std::string longName(300, 'A');
    const int waits = Count(kCommandWait);
    const std::size_t before = machine->ReceivedBytes().size();
    machine->SendCommand("S/" + longName, 300ms);
    // Read as a command, this program would call O1.
    PunchAfterSave(*machine, ui, longName, "%\r\nO2000\r\nR/O1\r\nM30\r\n%\r\n");
    ASSERT_TRUE(WaitForCommandWait(waits + 1));
    ui.PumpUntil([] { return false; }, 500ms);
    EXPECT_EQ(machine->ReceivedBytes().size(), before);

    const std::string report = Ask("P/");
    EXPECT_EQ(report.find("(NO_ERROR)"), std::string::npos) << report;
    EXPECT_NE(report.find(server::msg::kErrCantCreateSaveFile), std::string::npos) << report;
    EXPECT_EQ(std::distance(fs::directory_iterator(folder()), {}), 1);
}

TEST_F(ServerSession, ASaveThatRunsOutOfSpaceLeavesNoFileAndDrainsTheRest)
{
    // A file-size limit stands in for a full disk: writes past it fail
    // as they would on a full file system.
    StartMachine(50'000);
    Start();
    auto limit = std::make_unique<test::FileSizeLimit>(8192);

    std::string program = "%\r\nO3000\r\n";
    while (program.size() < 20'000)
        program += "G01X10.Y20.F100\r\n";
    program += "L/\r\nM30\r\n%\r\n";
    const int waits = Count(kCommandWait);
    const std::size_t before = machine->ReceivedBytes().size();
    machine->SendCommand("S/BIG.NC", 300ms);
    PunchAfterSave(*machine, ui, "BIG.NC", program);
    const bool waited = WaitForCommandWait(waits + 1);
    limit.reset();
    ASSERT_TRUE(waited);
    ui.PumpUntil([] { return false; }, 500ms);
    // The "L/" near the program's end was not taken for a command.
    EXPECT_EQ(machine->ReceivedBytes().size(), before);
    EXPECT_FALSE(fs::exists(folder() / "BIG.NC"));
    EXPECT_EQ(Ask("L/"), "%\r\n([SEARCH_FILE_LIST])\r\n([SEARCH_FILE_LIST_END])\r\nM30\r\n%\r\n");
    EXPECT_NE(ErrorLog().find(server::msg::kErrCantWriteSaveFile), std::string::npos);
    EXPECT_FALSE(ui.Saw("received-files:1"));
}

TEST_F(ServerSession, AnExactNameWinsAndSeveralCaseMatchesAreRefused)
{
    StartMachine(50'000);
    WriteFileBytes(folder() / "prog.nc", "lower");
    WriteFileBytes(folder() / "PROG.NC", "UPPER");
    WriteFileBytes(folder() / "Other.nc", "%\r\nO9\r\n%\r\n");
    Start();

    Tell("D/Prog.NC");
    Tell("RN/pROG.nc/NEW.NC");
    EXPECT_EQ(Ask("R/Prog.nc"), "%\r\n(R/Prog.nc IS NOT FOUND)\r\nM30\r\n%\r\n");
    EXPECT_EQ(ReadFileBytes(folder() / "prog.nc"), "lower");
    EXPECT_EQ(ReadFileBytes(folder() / "PROG.NC"), "UPPER");
    EXPECT_FALSE(fs::exists(folder() / "NEW.NC"));
    std::size_t refusals = 0;
    const std::string errors = ErrorLog();
    for (std::size_t at = errors.find(server::msg::kErrAmbiguousName); at != std::string::npos;
         at = errors.find(server::msg::kErrAmbiguousName, at + 1))
        ++refusals;
    EXPECT_EQ(refusals, 3u) << errors;

    Tell("D/PROG.NC");
    EXPECT_FALSE(fs::exists(folder() / "PROG.NC"));
    EXPECT_EQ(ReadFileBytes(folder() / "prog.nc"), "lower");
    // The only match without regard to case is still found.
    EXPECT_EQ(Ask("R/OTHER.NC"), "%\r\nO9\r\n%\r\n");
}

TEST_F(ServerSession, NamesFromTheMachineCannotPutBlocksIntoReplies)
{
    StartMachine(50'000);
    // Put there by other means than the server.
    WriteFileBytes(folder() / "Y)G0Z0(.NC", "Y");
    WriteFileBytes(folder() / "A%B", "A");
    WriteFileBytes(folder() / "C\nG28", "C");
    Start();

    for (const std::string name : {"X)G28Z0(.NC", "P%Q.NC"}) {
        Tell("S/" + name);
        EXPECT_FALSE(fs::exists(folder() / name)) << name;
    }
    Tell("RN/A%B/Z)G1(");
    EXPECT_FALSE(fs::exists(folder() / "Z)G1("));
    std::size_t refusals = 0;
    const std::string errors = ErrorLog();
    for (std::size_t at = errors.find(server::msg::kErrNameNotListable); at != std::string::npos;
         at = errors.find(server::msg::kErrNameNotListable, at + 1))
        ++refusals;
    EXPECT_EQ(refusals, 3u) << errors;

    const std::string list = Ask("L/");
    ExpectInertReply(list);
    EXPECT_NE(list.find("(Y]G0Z0[.NC)"), std::string::npos) << list;
    const std::string notFound = Ask("R/Q)G28Z0(");
    ExpectInertReply(notFound);
    EXPECT_EQ(notFound, "%\r\n(R/Q]G28Z0[ IS NOT FOUND)\r\nM30\r\n%\r\n");
}
