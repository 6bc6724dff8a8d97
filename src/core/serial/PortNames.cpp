#include "core/serial/PortNames.h"

#include "core/serial/PortPermission.h"
#include "core/serial/TermiosDevice.h"

#include <linux/serial.h>

#include <algorithm>
#include <fstream>
#include <map>
#include <system_error>

namespace maroka::serial {

namespace fs = std::filesystem;

namespace {

bool IsDigit(char c)
{
    return c >= '0' && c <= '9';
}

char Lower(char c)
{
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

// The serial core's `type` attribute: 0 means no UART answers at this port.
// Empty when the attribute is not there or unreadable.
std::string ReadTypeAttribute(const fs::path& ttyDir)
{
    std::ifstream in(ttyDir / "type");
    std::string text;
    if (!in || !std::getline(in, text))
        return {};
    return text;
}

// For ttyS ports without the attribute: false only when the driver says
// plainly that no UART is there.
bool UartPresent(const std::string& devicePath, SystemCalls& sys)
{
    const int fd =
        RetryOnEintr([&] { return sys.Open(devicePath.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC); });
    if (fd == -1)
        return true;
    serial_struct info{};
    const bool unknown =
        RetryOnEintr([&] { return sys.Ioctl(fd, TIOCGSERIAL, &info); }) == 0 && info.type == PORT_UNKNOWN;
    sys.Close(fd);
    return !unknown;
}

} // namespace

bool NaturalLess(std::string_view a, std::string_view b)
{
    std::size_t i = 0;
    std::size_t j = 0;
    while (i < a.size() && j < b.size()) {
        if (IsDigit(a[i]) && IsDigit(b[j])) {
            std::size_t endA = i;
            std::size_t endB = j;
            while (endA < a.size() && IsDigit(a[endA]))
                ++endA;
            while (endB < b.size() && IsDigit(b[endB]))
                ++endB;
            std::string_view numA = a.substr(i, endA - i);
            std::string_view numB = b.substr(j, endB - j);
            const auto strip = [](std::string_view& n) {
                while (n.size() > 1 && n.front() == '0')
                    n.remove_prefix(1);
            };
            strip(numA);
            strip(numB);
            if (numA.size() != numB.size())
                return numA.size() < numB.size();
            if (numA != numB)
                return numA < numB;
            i = endA;
            j = endB;
            continue;
        }
        if (a[i] != b[j])
            return static_cast<unsigned char>(a[i]) < static_cast<unsigned char>(b[j]);
        ++i;
        ++j;
    }
    if (a.size() - i != b.size() - j)
        return a.size() - i < b.size() - j;
    return a < b; // "ttyS01" and "ttyS1": any fixed order
}

std::vector<SerialDevice> ListSerialDevices(const SerialDeviceRoots& roots, SystemCalls& sys)
{
    std::vector<SerialDevice> devices;
    std::error_code ec;
    for (fs::directory_iterator it(roots.sysClassTty, ec), end; !ec && it != end; it.increment(ec)) {
        const fs::path ttyDir = it->path();
        const std::string name = ttyDir.filename().string();
        std::error_code linkError;
        if (!fs::exists(ttyDir / "device", linkError))
            continue;
        const std::string devicePath = (roots.dev / name).string();
        const std::string type = ReadTypeAttribute(ttyDir);
        if (!type.empty()) {
            if (type == "0")
                continue;
        } else if (name.rfind("ttyS", 0) == 0 && !UartPresent(devicePath, sys)) {
            continue;
        }
        devices.push_back({devicePath, {}});
    }

    // by-id names, keyed by the device they point to.
    std::vector<fs::path> links;
    for (fs::directory_iterator it(roots.byId, ec), end; !ec && it != end; it.increment(ec))
        links.push_back(it->path());
    std::sort(links.begin(), links.end(),
              [](const fs::path& x, const fs::path& y) { return NaturalLess(x.string(), y.string()); });
    std::map<fs::path, std::string> aliasOf;
    for (const fs::path& link : links) {
        std::error_code resolveError;
        const fs::path target = fs::canonical(link, resolveError);
        if (!resolveError)
            aliasOf.emplace(target, link.string()); // the first name wins
    }
    for (SerialDevice& device : devices) {
        std::error_code resolveError;
        const fs::path real = fs::canonical(device.device, resolveError);
        if (resolveError)
            continue;
        if (const auto found = aliasOf.find(real); found != aliasOf.end())
            device.alias = found->second;
    }

    std::sort(devices.begin(), devices.end(),
              [](const SerialDevice& x, const SerialDevice& y) { return NaturalLess(x.device, y.device); });
    return devices;
}

ProbeResult ProbePort(const std::string& path, SystemCalls& sys)
{
    ProbeResult result;
    const int fd = RetryOnEintr([&] { return sys.Open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC); });
    if (fd == -1) {
        const int e = errno;
        result.error = path + ": " + OpenErrorText(path, e);
        return result;
    }
    TermiosImage ignored;
    if (const int e = ReadTermios(sys, fd, ignored); e != 0) {
        result.error =
            path + ": " + (e == ENOTTY ? std::string("not a serial device") : std::system_category().message(e));
    } else if (RetryOnEintr([&] { return sys.Flock(fd, LOCK_EX | LOCK_NB); }) == -1) {
        const int e = errno;
        result.error = path + ": " +
                       (e == EWOULDBLOCK ? std::string("the port is in use by another program")
                                         : std::system_category().message(e));
    } else {
        result.usable = true;
    }
    if (sys.Close(fd) == -1 && errno != EINTR) {
        result.closeFailed = true;
        result.usable = false;
        result.error = path + ": " + std::system_category().message(errno);
    }
    return result;
}

std::string DevicePathForPortName(std::string_view name)
{
    if (name.size() > 3 && Lower(name[0]) == 'c' && Lower(name[1]) == 'o' && Lower(name[2]) == 'm') {
        const std::string_view digits = name.substr(3);
        const bool allDigits = std::all_of(digits.begin(), digits.end(), IsDigit);
        if (allDigits && digits.size() <= 3 && digits.front() != '0') {
            const int n = std::stoi(std::string(digits));
            if (n >= 1 && n <= 256)
                return "/dev/ttyS" + std::to_string(n - 1);
        }
    }
    if (!name.empty() && name.find('/') == std::string_view::npos)
        return "/dev/" + std::string(name);
    return std::string(name);
}

} // namespace maroka::serial
