#include "core/logs/LogTime.h"
#include "core/logs/WorkFilePath.h"
#include "core/logs/WorkFolder.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace maroka::logs {
namespace {

namespace fs = std::filesystem;
using test::TempDir;

TEST(WorkFolder, BesideAWritableProgramFolderElseInTheDataFolderWithItsParents)
{
    TempDir dir;
    const std::string beside = (dir / "maroka").string();
    // A program folder that cannot take the work folder (here: not there at all).
    const std::string elsewhere = (dir / "missing" / "bin" / "maroka").string();
    fs::create_directory(dir / "blocked");
    test::WriteFileBytes(dir / "blocked" / "Maroka_Work", "not a folder");
    const fs::path xdg = dir / "xdg" / "data";
    const std::string home = (dir / "h").string();
    const fs::path homeData = dir / "h" / ".local" / "share" / "maroka" / "Maroka_Work";
    const struct {
        const char* name;
        std::string program;
        WorkFolderPlaces places;
        fs::path path;
        bool ready;
    } cases[] = {
        {"beside, one level deep", beside, {(dir / "data").string(), home}, dir / "Maroka_Work", true},
        {"beside, already there", beside, {(dir / "data").string(), home}, dir / "Maroka_Work", true},
        {"a file in the way", (dir / "blocked" / "maroka").string(), {}, dir / "blocked" / "Maroka_Work", false},
        {"XDG_DATA_HOME", elsewhere, {xdg.string(), home}, xdg / "maroka" / "Maroka_Work", true},
        // Unset or relative XDG_DATA_HOME falls back to ~/.local/share.
        {"XDG_DATA_HOME unset", elsewhere, {"", home}, homeData, true},
        {"XDG_DATA_HOME relative", elsewhere, {"relative/data", home}, homeData, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const WorkFolderResult result = PrepareWorkFolder(c.program, c.places);
        EXPECT_EQ(result.ready, c.ready);
        EXPECT_EQ(result.path, c.path.string());
        EXPECT_EQ(fs::is_directory(c.path), c.ready);
    }
    EXPECT_FALSE(fs::exists(dir / "data"));
}

TEST(WorkFilePath, PortNamesBecomeSafeDistinctSuffixes)
{
    EXPECT_EQ(PortSuffix("COM1"), "COM1");
    EXPECT_EQ(PortSuffix("ttyUSB0"), "ttyUSB0");
    EXPECT_EQ(PortSuffix("/dev/ttyUSB0"), "ttyUSB0");
    EXPECT_EQ(PortSuffix("/dev/serial/by-id/usb-FTDI_FT232R-if00-port0"), "usb-FTDI_FT232R-if00-port0");
    EXPECT_EQ(PortSuffix("/dev/pts/7"), "pts7");
    EXPECT_NE(PortSuffix("/dev/pts/7"), PortSuffix("/dev/pts/8"));
    EXPECT_EQ(PortSuffix("moxa:4001"), "moxa_4001");
    EXPECT_EQ(PortSuffix("/dev/ttyS0/"), "ttyS0");

    EXPECT_EQ(WorkFilePath("/w/Maroka_Work", kLogFile, "COM1"), "/w/Maroka_Work/LOGFILE.COM1");
    EXPECT_EQ(WorkFilePath("/w/Maroka_Work/", kG65SendFile, "/dev/pts/3"), "/w/Maroka_Work/G65_SENDFILE.pts3");
    EXPECT_EQ(WorkFilePath("/w", kErrLogFile, "/dev/ttyUSB0"), "/w/ERRLOGFILE.ttyUSB0");
}

TEST(LogTime, MonthAndDayArePaddedTheHourIsNot)
{
    const auto at = [](int month, int day, int hour, int minute, int second) {
        std::tm time{};
        time.tm_year = 2005 - 1900;
        time.tm_mon = month - 1;
        time.tm_mday = day;
        time.tm_hour = hour;
        time.tm_min = minute;
        time.tm_sec = second;
        return FormatLogTime(time);
    };
    EXPECT_EQ(at(4, 1, 9, 5, 7), "2005/04/01 9:05:07");
    EXPECT_EQ(at(12, 31, 23, 59, 0), "2005/12/31 23:59:00");
    EXPECT_EQ(at(12, 31, 0, 59, 0), "2005/12/31 0:59:00");
}

} // namespace
} // namespace maroka::logs
