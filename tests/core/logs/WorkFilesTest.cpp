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

TEST(WorkFolder, BesideAWritableProgramFolderIsMadeOneLevelDeep)
{
    TempDir dir;
    const WorkFolderPlaces places{(dir / "data").string(), (dir / "home").string()};
    const std::string program = (dir / "maroka").string();

    const WorkFolderResult first = PrepareWorkFolder(program, places);
    EXPECT_TRUE(first.ready);
    EXPECT_EQ(first.path, (dir / "Maroka_Work").string());
    EXPECT_TRUE(fs::is_directory(first.path));
    EXPECT_FALSE(fs::exists(dir / "data"));

    // Already there: still fine.
    const WorkFolderResult again = PrepareWorkFolder(program, places);
    EXPECT_TRUE(again.ready);
    EXPECT_EQ(again.path, first.path);
}

TEST(WorkFolder, AFileInTheWayIsReportedWithTheFolderPath)
{
    TempDir dir;
    test::WriteFileBytes(dir / "Maroka_Work", "not a folder");
    const WorkFolderResult result = PrepareWorkFolder((dir / "maroka").string(), {});
    EXPECT_FALSE(result.ready);
    EXPECT_EQ(result.path, (dir / "Maroka_Work").string());
}

TEST(WorkFolder, ElsewhereTheDataFolderIsUsedWithItsParents)
{
    TempDir dir;
    // A program folder that cannot take the work folder (here: not there at all).
    const std::string program = (dir / "missing" / "bin" / "maroka").string();

    const WorkFolderResult xdg = PrepareWorkFolder(program, {(dir / "xdg" / "data").string(), (dir / "h").string()});
    EXPECT_TRUE(xdg.ready);
    EXPECT_EQ(xdg.path, (dir / "xdg" / "data" / "maroka" / "Maroka_Work").string());
    EXPECT_TRUE(fs::is_directory(xdg.path));

    // Unset or relative XDG_DATA_HOME falls back to ~/.local/share.
    for (const std::string& dataHome : {std::string(), std::string("relative/data")}) {
        const WorkFolderResult home = PrepareWorkFolder(program, {dataHome, (dir / "h").string()});
        EXPECT_TRUE(home.ready);
        EXPECT_EQ(home.path, (dir / "h" / ".local" / "share" / "maroka" / "Maroka_Work").string());
    }
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
