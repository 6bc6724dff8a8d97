#pragma once

// The device servers this settings file remembers: the start-up port and
// every port whose window colours were saved, where the name is a device
// server's ("rfc2217://...", "tcp://..."). A port scan cannot find them.

#include <string>
#include <vector>

namespace maroka::session {

// In the order the file holds them, the start-up port first; no name twice.
// A file that is missing or cannot be read gives none.
std::vector<std::string> UsedDeviceServers(const std::string& settingsPath);

} // namespace maroka::session
