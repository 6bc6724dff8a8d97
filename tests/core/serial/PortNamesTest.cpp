#include "core/serial/PortNames.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace maroka::serial {
namespace {

namespace fs = std::filesystem;

TEST(PortNames, ComNamesOfOldSettingsFilesMeanTtyS)
{
    EXPECT_EQ(serial::DevicePathForPortName("COM1"), "/dev/ttyS0");
    EXPECT_EQ(serial::DevicePathForPortName("com12"), "/dev/ttyS11");
    EXPECT_EQ(serial::DevicePathForPortName("Com256"), "/dev/ttyS255");
    EXPECT_EQ(serial::DevicePathForPortName("ttyUSB0"), "/dev/ttyUSB0");
    EXPECT_EQ(serial::DevicePathForPortName("/dev/pts/7"), "/dev/pts/7");
    EXPECT_EQ(serial::DevicePathForPortName("serial/by-id/usb-FTDI"), "serial/by-id/usb-FTDI");
    // Out of range or not a number: not a COM port, just a name in /dev.
    EXPECT_EQ(serial::DevicePathForPortName("COM0"), "/dev/COM0");
    EXPECT_EQ(serial::DevicePathForPortName("COM257"), "/dev/COM257");
    EXPECT_EQ(serial::DevicePathForPortName("COM01"), "/dev/COM01");
    EXPECT_EQ(serial::DevicePathForPortName("COMX"), "/dev/COMX");
    EXPECT_EQ(serial::DevicePathForPortName(""), "");
}

// The port list shows the sorting; here the edges.
TEST(PortNames, NaturalOrderComparesNumbersByValue)
{
    EXPECT_TRUE(serial::NaturalLess("ttyS2", "ttyS10"));
    EXPECT_FALSE(serial::NaturalLess("ttyS2", "ttyS2"));
    EXPECT_TRUE(serial::NaturalLess("ttyS9", "ttyS0010"));
}

// A sysfs and /dev of our own: three UART names of which one has a UART,
// two USB adapters (one with a by-id name), a virtual console without a
// device link.
TEST(PortNames, ListsRealDevicesWithTheirByIdNames)
{
    maroka::test::TempDir root;
    const fs::path sys = root / "sys";
    const fs::path dev = root / "dev";
    const fs::path byId = dev / "serial" / "by-id";
    fs::create_directories(byId);
    fs::create_directories(root / "devices" / "port");
    auto tty = [&](const std::string& name, bool deviceLink, const char* type) {
        fs::create_directories(sys / name);
        if (deviceLink)
            fs::create_directory_symlink(root / "devices" / "port", sys / name / "device");
        if (type)
            maroka::test::WriteFileBytes(sys / name / "type", std::string(type) + "\n");
        maroka::test::WriteFileBytes(dev / name, "");
    };
    tty("ttyS0", true, "4");
    tty("ttyS1", true, "0");
    tty("ttyS10", true, "4");
    tty("ttyS2", true, "4");
    tty("ttyUSB0", true, nullptr);
    tty("ttyACM0", true, nullptr);
    tty("tty1", false, nullptr);
    tty("ptmx", false, nullptr);
    fs::create_symlink("../../ttyUSB0", byId / "usb-FTDI_FT232R_A1234-if00-port0");

    const auto devices = serial::ListSerialDevices({sys, dev, byId});
    const std::string d = dev.string();
    EXPECT_EQ(devices, (std::vector<serial::SerialDevice>{
                           {d + "/ttyACM0", ""},
                           {d + "/ttyS0", ""},
                           {d + "/ttyS2", ""},
                           {d + "/ttyS10", ""},
                           {d + "/ttyUSB0", (byId / "usb-FTDI_FT232R_A1234-if00-port0").string()},
                       }));

    // No sysfs at all: nothing, and no failure.
    EXPECT_TRUE(serial::ListSerialDevices({root / "none", dev, byId}).empty());
}

} // namespace
} // namespace maroka::serial
