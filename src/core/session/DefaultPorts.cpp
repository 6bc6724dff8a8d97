#include "core/session/DefaultPorts.h"

#include "core/serial/NetworkPortName.h"
#include "core/serial/PortNames.h"
#include "core/serial/PosixSerialLine.h"
#include "core/serial/TcpSerialLine.h"

namespace maroka::session {

std::unique_ptr<serial::SerialLine> OpenDeviceLine(const std::string& port, std::string& error)
{
    if (serial::IsNetworkPortName(port)) {
        auto opened = serial::TcpSerialLine::Open(port);
        if (!opened.line)
            error = opened.error;
        return std::move(opened.line);
    }
    auto opened = serial::PosixSerialLine::Open(serial::DevicePathForPortName(port));
    if (!opened.line)
        error = opened.error;
    return std::move(opened.line);
}

std::vector<std::string> ListUsablePorts()
{
    std::vector<std::string> ports;
    for (const serial::SerialDevice& device : serial::ListSerialDevices()) {
        if (serial::ProbePort(device.device).usable)
            ports.push_back(device.device);
    }
    return ports;
}

} // namespace maroka::session
