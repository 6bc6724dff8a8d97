#include "core/logs/BackgroundLog.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

namespace maroka::logs {
namespace {

namespace fs = std::filesystem;
using test::ReadFileBytes;
using test::TempDir;
using test::WriteFileBytes;

LogClock CountingClock()
{
    return [n = 0]() mutable { return "T" + std::to_string(++n); };
}

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
    EXPECT_EQ(failure->error, ENOENT);
    EXPECT_FALSE(behind.Flush()) << "a failure is reported once";

    fs::create_directory(dir / "gone");
    behind.Add(file.MakeEntry("S", "送信開始"));
    EXPECT_FALSE(behind.Flush());
    EXPECT_EQ(ReadFileBytes(dir / "gone" / "log").rfind("T2\tS\t", 0), 0u);
}

} // namespace
} // namespace maroka::logs
