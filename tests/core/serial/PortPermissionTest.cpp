#include "core/serial/PortPermission.h"
#include "core/serial/PortNames.h"
#include "core/serial/PosixSerialLine.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <vector>

namespace maroka::serial {
namespace {

TEST(PortPermission, TheReasonNamesTheMissingGroupOnlyWhenTheGroupIsTheCause)
{
    PortAccess access{"cnc", "dialout", true, false, false};
    EXPECT_EQ(PermissionReason(access), " (user cnc is not in the group dialout, which may use this port: "
                                        "sudo usermod -aG dialout cnc, then log out and in again)");
    access.listedInGroup = true;
    EXPECT_EQ(PermissionReason(access),
              " (user cnc was added to the group dialout after logging in: log out and in again)");

    // The group is no way in: the process has it already, the group may not
    // write either, or the device is root's.
    EXPECT_EQ(PermissionReason({"cnc", "dialout", true, true, true}), "");
    EXPECT_EQ(PermissionReason({"cnc", "dialout", false, false, false}), "");
    EXPECT_EQ(PermissionReason({"cnc", "", true, false, false}), "");
}

// Refuses every open as the system refuses a user outside the device's group.
class RefusingSystemCalls : public SystemCalls {
public:
    int Open(const char*, int) override
    {
        errno = EACCES;
        return -1;
    }
};

bool ProcessHasGroup(gid_t group)
{
    std::vector<gid_t> groups(NGROUPS_MAX);
    groups.resize(static_cast<std::size_t>(std::max(::getgroups(NGROUPS_MAX, groups.data()), 0)));
    return ::getegid() == group || std::ranges::find(groups, group) != groups.end();
}

TEST(PortPermission, ARefusedOpenKeepsTheSystemTextFirstAndAddsTheGroup)
{
    const group* dialout = ::getgrnam("dialout");
    const passwd* user = ::getpwuid(::getuid());
    if (dialout == nullptr || user == nullptr || ProcessHasGroup(dialout->gr_gid))
        GTEST_SKIP() << "needs a group dialout that this process does not have";
    test::TempDir dir;
    const std::string device = (dir / "ttyUSB0").string();
    test::WriteFileBytes(dir / "ttyUSB0", "");
    if (::chown(device.c_str(), static_cast<uid_t>(-1), dialout->gr_gid) != 0)
        GTEST_SKIP() << "only root may give a file to a group it is not in";
    ::chmod(device.c_str(), 0660);
    const std::string name = user->pw_name;

    RefusingSystemCalls refusing;
    const std::string expected = device + ": Permission denied (user " + name +
                                 " is not in the group dialout, which may use this port: sudo usermod -aG dialout " +
                                 name + ", then log out and in again)";
    const SerialOpenResult opened = PosixSerialLine::Open(device, refusing);
    EXPECT_FALSE(opened.line);
    EXPECT_EQ(opened.errorNumber, EACCES);
    EXPECT_EQ(opened.error, expected);
    EXPECT_EQ(ProbePort(device, refusing).error, expected);

    // A device of root's group gets the system's text alone.
    ASSERT_EQ(::chown(device.c_str(), static_cast<uid_t>(-1), 0), 0);
    EXPECT_EQ(PosixSerialLine::Open(device, refusing).error, device + ": Permission denied");
}

} // namespace
} // namespace maroka::serial
