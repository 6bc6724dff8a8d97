#pragma once

// Port names of serial device servers: "rfc2217://host:port" (Telnet with the
// COM-PORT option) and "tcp://host:port" (raw bytes). A host may be a name,
// an IPv4 address or an IPv6 address in brackets ("[::1]:4001").

#include <optional>
#include <string>
#include <string_view>

namespace maroka::serial {

enum class NetworkProtocol {
    Raw,
    Rfc2217,
};

struct NetworkPortName {
    NetworkProtocol protocol = NetworkProtocol::Raw;
    std::string host;
    std::string service; // the TCP port, digits only

    bool operator==(const NetworkPortName&) const = default;
};

// True when `name` starts with one of the two prefixes (any case), whether
// or not the rest is well formed.
bool IsNetworkPortName(std::string_view name);

// nullopt when the prefix is missing, the host is empty or the port is not a
// number from 1 to 65535.
std::optional<NetworkPortName> ParseNetworkPortName(std::string_view name);

} // namespace maroka::serial
