#include "core/logs/LogWriter.h"
#include "core/logs/BackgroundLog.h"
#include "core/logs/LogMessages.h"
#include "core/text/Encoding.h"
#include "support/RefusingFiles.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <filesystem>
#include <span>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace maroka::logs {
namespace {

namespace fs = std::filesystem;
using test::ReadFileBytes;
using test::TempDir;
using test::WriteFileBytes;

// Hands out T1, T2, ... so each line shows which entry wrote it.
LogClock CountingClock()
{
    return [n = 0]() mutable { return "T" + std::to_string(++n); };
}

std::string ReadUtf8(const fs::path& path)
{
    return text::Cp932ToUtf8(ReadFileBytes(path)).value_or("<not CP932>");
}

settings::SessionSettings WithLog(bool keep, std::string maxSizeKb = "50")
{
    settings::SessionSettings s;
    s.keepCommLog = keep;
    s.logMaxSizeKb = std::move(maxSizeKb);
    return s;
}

// The worker's way to the communication log: the writer composes the entry,
// the log file writes it.
LogResult WriteComm(const LogWriter& writer, std::string_view subject, std::string_view message,
                    const settings::SessionSettings& settings = WithLog(true))
{
    const std::optional<LogEntry> entry = writer.CommLogEntry(subject, message, settings);
    return entry ? writer.CommLog().Write(std::span(&*entry, 1)) : std::nullopt;
}

TEST(CommLog, TransfersReadNewestFirstWithStartEndAndAnEmptyLine)
{
    TempDir dir;
    const LogWriter writer = LogWriter::ForPort(dir.Path().string(), "COM1", CountingClock());
    // Into an empty log an end entry goes to the top. The entries are
    // written in one go, as a BackgroundLog writes what has gathered.
    std::vector<LogEntry> entries;
    const auto add = [&](std::string_view subject, std::string_view message) {
        entries.push_back(writer.CommLogEntry(subject, message, WithLog(true)).value());
    };
    add(msg::kCommandSubject, msg::kLogReceiveFailed);
    add("/nc/A.NC", msg::kLogSendStart);
    add("/nc/A.NC", msg::SendEndLogMessage("0:01:02"));
    add("/nc/B.NC", msg::kLogReceiveStart);
    add("/nc/B.NC", msg::kLogReceiveEnd);
    EXPECT_FALSE(writer.CommLog().Write(entries));

    EXPECT_EQ(ReadUtf8(dir / "LOGFILE.COM1"), "T4\t/nc/B.NC\t受信開始\r\n"
                                              "T5\t/nc/B.NC\t受信終了\r\n"
                                              "\r\n"
                                              "T2\t/nc/A.NC\t送信開始\r\n"
                                              "T3\t/nc/A.NC\t送信終了\t0:01:02\r\n"
                                              "\r\n"
                                              "T1\tCOMMAND\t受信失敗\r\n"
                                              "\r\n");
}

TEST(CommLog, OnDiskItIsCp932WithCrLfAndLfOnlyLinesAreReadToo)
{
    TempDir dir;
    WriteFileBytes(dir / "LOGFILE.COM1", "old1\nold2\n");
    const LogWriter writer =
        LogWriter::ForPort(dir.Path().string(), "COM1", [] { return std::string("2005/04/01 9:05:07"); });
    EXPECT_FALSE(WriteComm(writer, "/nc/部品.NC", msg::kLogSendStart));

    EXPECT_EQ(ReadFileBytes(dir / "LOGFILE.COM1"), "2005/04/01 9:05:07\t/nc/\x95\x94\x95\x69.NC\t"
                                                   "\x91\x97\x90\x4d\x8a\x4a\x8e\x6e\r\n"
                                                   "old1\r\n"
                                                   "old2\r\n");
}

TEST(CommLog, SizeLimitRemovesTheOldestLinesUntilBelowIt)
{
    TempDir dir;
    // 30 lines of 40 bytes each with CR LF: 1200 bytes.
    std::string old;
    for (int i = 10; i < 40; ++i)
        old += "old" + std::to_string(i) + std::string(33, '.') + "\r\n";
    WriteFileBytes(dir / "LOGFILE.COM1", old);
    const LogWriter writer = LogWriter::ForPort(dir.Path().string(), "COM1", [] { return std::string("T"); });

    EXPECT_FALSE(WriteComm(writer, "S", "送信開始", WithLog(true, "1")));
    // The new entry (14 bytes) and 24 old lines make 974 bytes; a 25th line
    // would reach 1014.
    EXPECT_EQ(ReadUtf8(dir / "LOGFILE.COM1"), "T\tS\t送信開始\r\n" + old.substr(0, 24 * 40));

    // Trimming goes on until the text is below the limit, not merely at it.
    WriteFileBytes(dir / "LOGFILE.COM1", std::string(1000 - 14 - 2, 'a') + "\r\n" + std::string(38, 'b') + "\r\n");
    EXPECT_FALSE(WriteComm(writer, "S", "送信開始", WithLog(true, "1")));
    EXPECT_EQ(ReadUtf8(dir / "LOGFILE.COM1"), "T\tS\t送信開始\r\n");

    // A text at exactly the limit does not exceed it and loses nothing.
    const std::size_t entry = std::string("T\tS\tx\r\n").size();
    WriteFileBytes(dir / "LOGFILE.COM1", std::string(1000 - entry - 2, 'o') + "\r\n");
    EXPECT_FALSE(WriteComm(writer, "S", "x", WithLog(true, "1")));
    EXPECT_EQ(ReadFileBytes(dir / "LOGFILE.COM1").size(), 1000u);
}

TEST(CommLog, LogMaxSizeTextIsAWholeNumberOfKilobytesOrTheDefault)
{
    EXPECT_EQ(CommLogLimitBytes("50"), 50000u);
    EXPECT_EQ(CommLogLimitBytes(" 2 "), 2000u);
    EXPECT_EQ(CommLogLimitBytes("+3"), 3000u);
    EXPECT_EQ(CommLogLimitBytes("0"), 0u);
    EXPECT_EQ(CommLogLimitBytes("-4"), 0u);
    for (const char* bad : {"", "abc", "1.5", "12KB", "+-1", "99999999999"})
        EXPECT_EQ(CommLogLimitBytes(bad), 50000u) << bad;
}

TEST(CommLog, SwitchedOffMakesNoEntryWhileTheErrorLogStillWritesWithoutLimit)
{
    TempDir dir;
    const std::string old(200000, 'x');
    WriteFileBytes(dir / "ERRLOGFILE.COM1", old + "\r\n");
    const LogWriter writer =
        LogWriter::ForPort(dir.Path().string(), "COM1", [] { return std::string("2005/04/01 9:05:07"); });
    EXPECT_FALSE(writer.CommLogEntry("/nc/A.NC", msg::kLogSendStart, WithLog(false, "1")));
    EXPECT_FALSE(writer.WriteErrorLog(msg::kErrWriteIo));
    // Error lines carry an empty subject: date, two tabs, the word.
    EXPECT_EQ(ReadFileBytes(dir / "ERRLOGFILE.COM1"), "2005/04/01 9:05:07\t\tWRITE_IO-ERROR\r\n" + old + "\r\n");
}

// Clearing the log tells "there was none" apart from a failure.
TEST(CommLog, DeleteRemovesTheLogOrSaysThereWasNone)
{
    TempDir dir;
    const LogWriter writer = LogWriter::ForPort(dir.Path().string(), "COM2", CountingClock());
    EXPECT_EQ(writer.CommLog().Delete(), DeleteLogResult::NoLog);
    EXPECT_FALSE(WriteComm(writer, "B", "受信開始"));
    EXPECT_TRUE(writer.CommLog().Exists());
    EXPECT_EQ(writer.CommLog().Delete(), DeleteLogResult::Deleted);
    EXPECT_FALSE(writer.CommLog().Exists());
}

TEST(LogLine, IsCutAt255BytesWithoutSplittingACharacter)
{
    // "2005/04/01 9:05:07" (18) + tab + "/" + tab puts every lead byte of the
    // subject on an even offset; byte 254 is a lead byte whose trail would be 255.
    const std::string time = "2005/04/01 9:05:07";
    std::string subject = "/";
    for (int i = 0; i < 150; ++i)
        subject += "あ";

    const std::string start = ComposeLogLine(time, subject, "送信開始");
    EXPECT_EQ(start.size(), 254u);
    EXPECT_TRUE(text::Cp932ToUtf8(start).has_value()) << "a character was split";

    // An end entry keeps its "\r\n", which leaves the empty line below it,
    // and loses a character more.
    EXPECT_EQ(ComposeLogLine(time, subject + "a", "受信終了\r\n"), start.substr(0, 252) + "\r\n");

    // A cut between CR and LF must not leave a stray CR.
    const std::string split = ComposeLogLine(time, "/s", std::string(232, 'A') + "\r\nB");
    EXPECT_EQ(split, time + "\t/s\t" + std::string(232, 'A'));
}

using test::FileSizeLimit;

TEST(LogFailures, AFailedWriteIsReportedAndTheOldLogKept)
{
    TempDir dir;
    const LogWriter writer = LogWriter::ForPort(dir.Path().string(), "COM1", CountingClock());
    const std::string old(300, 'o');
    WriteFileBytes(dir / "LOGFILE.COM1", old + "\r\n");
    {
        // The rewritten log would be larger than any file may become: the
        // disk is "full" halfway through writing the new text.
        FileSizeLimit limit(310);
        const LogResult result = WriteComm(writer, "A", "送信開始");
        ASSERT_TRUE(result);
        EXPECT_EQ(result->step, LogFailure::Step::Write);
        EXPECT_EQ(result->error, EFBIG);
        EXPECT_EQ(result->path, (dir / "LOGFILE.COM1").string());
        EXPECT_NE(result->Describe().find("LOGFILE.COM1"), std::string::npos);
    }
    EXPECT_EQ(ReadFileBytes(dir / "LOGFILE.COM1"), old + "\r\n");
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.Path()), {}), 1) << "a temporary file was left behind";
}

TEST(LogFailures, ALogThatCannotBeReadIsNotOverwritten)
{
    TempDir dir;
    fs::create_directory(dir / "ERRLOGFILE.COM1");
    const LogWriter writer = LogWriter::ForPort(dir.Path().string(), "COM1");
    const LogResult result = writer.WriteErrorLog(msg::kErrReadIo);
    ASSERT_TRUE(result);
    EXPECT_EQ(result->step, LogFailure::Step::Read);
    EXPECT_TRUE(fs::is_directory(dir / "ERRLOGFILE.COM1"));
    EXPECT_FALSE(writer.ErrorLog().Exists());
}

// The worker's log: the same file, written behind it.
struct Made {
    const char* subject;
    const char* message;
};

// Transfers with start and end entries, interleaved as a server's steps are,
// under a limit that trims the oldest lines on the way.
constexpr Made kEntries[] = {
    {"A", "送信開始"},       {"A", "送信終了\r\n"}, {"B", "受信開始"}, {"C", "受信失敗\r\n"},
    {"D", "受信開始"},       {"D", "受信終了\r\n"}, {"E", "送信開始"}, {"E", "送信終了\t0:00:09\r\n"},
    {"COMMAND", "受信開始"},
};
constexpr std::size_t kLimit = 120;

TEST(BackgroundLog, WritesWhatEntriesOneByOneWouldHaveWritten)
{
    TempDir dir;
    const std::string old = "old1\nold2\r\nold3\r\n";
    WriteFileBytes(dir / "now.log", old);
    WriteFileBytes(dir / "behind.log", old);
    const LogFile now((dir / "now.log").string(), CountingClock());
    const LogFile later((dir / "behind.log").string(), CountingClock());
    {
        BackgroundLog behind(later);
        for (const Made& m : kEntries) {
            ASSERT_FALSE(now.AddEntry(m.subject, m.message, kLimit));
            behind.Add(later.MakeEntry(m.subject, m.message, kLimit));
        }
        // The destructor writes the rest.
    }
    EXPECT_EQ(ReadFileBytes(dir / "behind.log"), ReadFileBytes(dir / "now.log"));
    EXPECT_LT(ReadFileBytes(dir / "behind.log").size(), kLimit);
}

TEST(BackgroundLog, AddReturnsWhileTheWriteIsHeldUpAndTheEntryKeepsItsTime)
{
    TempDir dir;
    // A log whose read blocks until we open the other end: the write is
    // held up for as long as we like.
    const fs::path path = dir / "held.log";
    ASSERT_EQ(::mkfifo(path.c_str(), 0600), 0);
    std::string time = "09:00";
    const LogFile file(path.string(), [&] { return time; });
    BackgroundLog behind(file);

    behind.Add(file.MakeEntry("S", "送信開始"));
    time = "09:05"; // the write happens later; the entry keeps 09:00
    behind.Add(file.MakeEntry("S", "送信終了\r\n"));

    const int writer = ::open(path.c_str(), O_WRONLY);
    ASSERT_GE(writer, 0);
    ::close(writer);
    EXPECT_FALSE(behind.Flush());
    const std::string log = ReadFileBytes(path);
    EXPECT_TRUE(log.starts_with("09:00\tS\t")) << log;
    EXPECT_NE(log.find("09:05\tS\t"), std::string::npos) << log;
}

TEST(BackgroundLog, FlushReportsAFailedWriteOnceAndTheNextEntriesStillGetWritten)
{
    TempDir dir;
    const LogFile file((dir / "gone" / "log").string(), CountingClock());
    BackgroundLog behind(file);
    behind.Add(file.MakeEntry("S", "送信開始"));
    const LogResult failure = behind.Flush();
    ASSERT_TRUE(failure);
    EXPECT_EQ(failure->step, LogFailure::Step::Write);
    EXPECT_EQ(failure->error, ENOENT);
    EXPECT_FALSE(behind.Flush()) << "a failure is reported once";

    fs::create_directory(dir / "gone");
    behind.Add(file.MakeEntry("S", "送信開始"));
    EXPECT_FALSE(behind.Flush());
    EXPECT_EQ(ReadFileBytes(dir / "gone" / "log").rfind("T2\tS\t", 0), 0u);
}

} // namespace
} // namespace maroka::logs
