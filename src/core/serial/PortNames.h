#pragma once

// Serial port names: which devices exist, whether one can be opened now, and
// what a name typed by the user or kept in an old settings file means.
//
//   ListSerialDevices      real serial devices, /dev paths in natural order
//   ProbePort              can this program open the port now?
//   DevicePathForPortName  "COM3" -> "/dev/ttyS2", "ttyUSB0" -> "/dev/ttyUSB0"
//   NaturalLess            "ttyS2" before "ttyS10"

#include "core/serial/SystemCalls.h"

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace maroka::serial {

struct SerialDevice {
    std::string device; // "/dev/ttyUSB0"
    std::string alias;  // its /dev/serial/by-id link, or empty

    bool operator==(const SerialDevice&) const = default;
};

// Where the scan looks; tests point it at a tree of their own.
struct SerialDeviceRoots {
    std::filesystem::path sysClassTty = "/sys/class/tty";
    std::filesystem::path dev = "/dev";
    std::filesystem::path byId = "/dev/serial/by-id";
};

// Every tty with a `device` link in sysfs (ttyS*, ttyUSB*, ttyACM*, ...):
// virtual consoles and pseudo-terminals have none. A port of the serial core
// whose `type` reads 0 (no UART behind the name, as with most of the ttyS
// ports a PC kernel makes) is left out; where a ttyS port has no `type` file
// it is asked with TIOCGSERIAL, and kept when it cannot be opened or asked
// (it may be in use: the probe decides). Sorted naturally by device path.
std::vector<SerialDevice> ListSerialDevices(const SerialDeviceRoots& roots = {},
                                            SystemCalls& sys = SystemCalls::Real());

struct ProbeResult {
    bool usable = false;      // opened exclusively and closed again
    bool closeFailed = false; // opened, but closing it failed
    std::string error;        // why not, for messages
};

// Opens the port as the serial line does (O_NOCTTY, non-blocking, a tty,
// exclusive flock) and closes it at once, leaving its settings untouched. A
// port in use by this or another program fails.
ProbeResult ProbePort(const std::string& path, SystemCalls& sys = SystemCalls::Real());

// "COMn" (n from 1 to 256, any case) means /dev/ttyS(n-1); a bare name
// without a '/' lives in /dev; anything else is a path, used as typed.
std::string DevicePathForPortName(std::string_view name);

// Orders digit runs by their value: "ttyS2" < "ttyS10" < "ttyUSB0".
bool NaturalLess(std::string_view a, std::string_view b);

} // namespace maroka::serial
