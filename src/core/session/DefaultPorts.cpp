#include "core/session/DefaultPorts.h"

#include "core/transfer/PortNames.h"
#include "core/transfer/PosixSerialLine.h"

namespace maroka::session {

std::unique_ptr<transfer::SerialLine> OpenDeviceLine(const std::string& port, std::string& error)
{
    auto opened = transfer::PosixSerialLine::Open(transfer::DevicePathForPortName(port));
    if (!opened.line)
        error = opened.error;
    return std::move(opened.line);
}

std::vector<std::string> ListUsablePorts()
{
    std::vector<std::string> ports;
    for (const transfer::SerialDevice& device : transfer::ListSerialDevices()) {
        if (transfer::ProbePort(device.device).usable)
            ports.push_back(device.device);
    }
    return ports;
}

} // namespace maroka::session
