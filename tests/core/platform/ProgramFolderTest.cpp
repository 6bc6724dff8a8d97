#include "core/platform/ProgramFolder.h"

#include "support/RefusingFiles.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace maroka::platform {
namespace {

TEST(ProgramFolder, SystemFoldersAreWholePathComponents)
{
    for (const char* folder : {"/usr", "/usr/bin", "/usr/local/bin", "/bin", "/sbin", "/usr/lib/maroka"})
        EXPECT_TRUE(IsSystemProgramFolder(folder)) << folder;
    for (const char* folder : {"/usrlocal/bin", "/binaries", "/home/cnc/usr/bin", "/opt/maroka", "usr/bin", ""})
        EXPECT_FALSE(IsSystemProgramFolder(folder)) << folder;
}

TEST(ProgramFolder, OnlyAnExistingWritableFolderOutsideTheSystemKeepsTheFiles)
{
    test::TempDir dir;
    EXPECT_TRUE(KeepsFilesBesideProgram(dir.Path().string()));
    EXPECT_FALSE(KeepsFilesBesideProgram((dir / "gone").string()));
    EXPECT_FALSE(KeepsFilesBesideProgram(test::kRefusingFolder)); // read-only, whoever asks
    EXPECT_FALSE(KeepsFilesBesideProgram("/usr/bin"));            // also for root
}

} // namespace
} // namespace maroka::platform
