#include "core/session/UsedDeviceServers.h"

#include "core/settings/SettingsFile.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

namespace maroka::session {
namespace {

TEST(UsedDeviceServers, TheStartupPortAndEveryPortWithColoursThatIsADeviceServer)
{
    test::TempDir dir;
    const std::string path = (dir / "maroka0.ini").string();
    settings::SettingsFile file(path);
    settings::SessionSettings s;
    s.startupPort = "rfc2217://10.0.0.5:4001";
    ASSERT_FALSE(file.SaveSettings(s));
    ASSERT_FALSE(file.SavePortColours("/dev/ttyUSB0", s));
    ASSERT_FALSE(file.SavePortColours("tcp://cell-2.shop:4002", s));
    ASSERT_FALSE(file.SavePortColours("COM3", s));
    ASSERT_FALSE(file.SavePortColours("rfc2217://10.0.0.5:4001", s));
    ASSERT_FALSE(file.SavePortColours("tcp://no-port", s)); // not a usable name
    EXPECT_EQ(UsedDeviceServers(path), (std::vector<std::string>{"rfc2217://10.0.0.5:4001", "tcp://cell-2.shop:4002"}));

    s.startupPort = "COM1";
    ASSERT_FALSE(file.SaveSettings(s));
    EXPECT_EQ(UsedDeviceServers(path), (std::vector<std::string>{"rfc2217://10.0.0.5:4001", "tcp://cell-2.shop:4002"}));
    EXPECT_TRUE(UsedDeviceServers((dir / "missing.ini").string()).empty());
}

} // namespace
} // namespace maroka::session
