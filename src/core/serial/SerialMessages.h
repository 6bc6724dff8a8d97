#pragma once

// Texts the serial line layer adds to the system's own error texts.

namespace maroka::serial::msg {

// After the port's name, when the port chosen at start-up could not be opened.
inline constexpr const char* kPortNotOpenedSuffix = " ポートを開けませんでした。";

// A port the user's groups may not open; the system's own text comes first.
inline constexpr const char* kNotInPortGroup = " (user {user} is not in the group {group}, which may use this port: "
                                               "sudo usermod -aG {group} {user}, then log out and in again)";
inline constexpr const char* kPortGroupNotActive = " (user {user} was added to the group {group} after logging in: "
                                                   "log out and in again)";

} // namespace maroka::serial::msg
