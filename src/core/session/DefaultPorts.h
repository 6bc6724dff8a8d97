#pragma once

// The real serial devices of this machine, for a session that is not given
// other ones (tests give fakes).

#include "core/serial/SerialLine.h"

#include <memory>
#include <string>
#include <vector>

namespace maroka::session {

// Opens the port named in the port box: "COMn", a device name, any path, or
// a device server ("rfc2217://host:port", "tcp://host:port").
std::unique_ptr<serial::SerialLine> OpenDeviceLine(const std::string& port, std::string& error);

// The ports that can be opened now, in the order the port box lists them.
std::vector<std::string> ListUsablePorts();

} // namespace maroka::session
