#include "core/serial/NetworkPortName.h"

#include <algorithm>

namespace maroka::serial {

namespace {

constexpr std::string_view kRfc2217Prefix = "rfc2217://";
constexpr std::string_view kRawPrefix = "tcp://";

bool StartsWithNoCase(std::string_view text, std::string_view prefix)
{
    if (text.size() < prefix.size())
        return false;
    for (std::size_t i = 0; i < prefix.size(); ++i) {
        char c = text[i];
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
        if (c != prefix[i])
            return false;
    }
    return true;
}

} // namespace

bool IsNetworkPortName(std::string_view name)
{
    return StartsWithNoCase(name, kRfc2217Prefix) || StartsWithNoCase(name, kRawPrefix);
}

std::optional<NetworkPortName> ParseNetworkPortName(std::string_view name)
{
    NetworkPortName result;
    std::string_view rest;
    if (StartsWithNoCase(name, kRfc2217Prefix)) {
        result.protocol = NetworkProtocol::Rfc2217;
        rest = name.substr(kRfc2217Prefix.size());
    } else if (StartsWithNoCase(name, kRawPrefix)) {
        result.protocol = NetworkProtocol::Raw;
        rest = name.substr(kRawPrefix.size());
    } else {
        return std::nullopt;
    }
    while (!rest.empty() && rest.back() == '/')
        rest.remove_suffix(1);

    std::string_view host;
    std::string_view service;
    if (rest.starts_with('[')) {
        const auto close = rest.find(']');
        if (close == std::string_view::npos || close + 1 >= rest.size() || rest[close + 1] != ':')
            return std::nullopt;
        host = rest.substr(1, close - 1);
        service = rest.substr(close + 2);
    } else {
        const auto colon = rest.rfind(':');
        if (colon == std::string_view::npos)
            return std::nullopt;
        host = rest.substr(0, colon);
        service = rest.substr(colon + 1);
        if (host.find(':') != std::string_view::npos)
            return std::nullopt; // an IPv6 address needs its brackets
    }
    if (host.empty() || service.empty() || service.size() > 5 ||
        !std::all_of(service.begin(), service.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return std::nullopt;
    const int port = std::stoi(std::string(service));
    if (port < 1 || port > 65535)
        return std::nullopt;
    result.host = std::string(host);
    result.service = std::to_string(port);
    return result;
}

} // namespace maroka::serial
