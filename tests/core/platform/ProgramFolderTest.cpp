#include "core/platform/ProgramFolder.h"

#include "support/RefusingFiles.h"

#include <gtest/gtest.h>

namespace maroka::platform {
namespace {

TEST(ProgramFolder, SystemFoldersAreWholePathComponents)
{
    for (const char* folder : {"/usr", "/usr/bin", "/usr/local/bin", "/bin", "/sbin", "/usr/lib/maroka"})
        EXPECT_TRUE(IsSystemProgramFolder(folder)) << folder;
    for (const char* folder : {"/usrlocal/bin", "/binaries", "/home/cnc/usr/bin", "/opt/maroka", "usr/bin", ""})
        EXPECT_FALSE(IsSystemProgramFolder(folder)) << folder;
}

// A writable folder and one that is gone are checked where the settings file
// and the work folder are placed.
TEST(ProgramFolder, AReadOnlyOrSystemFolderKeepsNoFiles)
{
    EXPECT_FALSE(KeepsFilesBesideProgram(test::kRefusingFolder)); // read-only, whoever asks
    EXPECT_FALSE(KeepsFilesBesideProgram("/usr/bin"));            // also for root
}

} // namespace
} // namespace maroka::platform
