#include "core/session/UsedDeviceServers.h"

#include "core/serial/NetworkPortName.h"
#include "core/settings/ProfileFile.h"
#include "core/settings/SettingsFile.h"
#include "core/text/Encoding.h"

#include <algorithm>
#include <string_view>

namespace maroka::session {

namespace {

constexpr std::string_view kStartupPortKey = "起動ポート";

void AddOnce(std::vector<std::string>& names, std::string_view name)
{
    if (serial::ParseNetworkPortName(name) && std::find(names.begin(), names.end(), name) == names.end())
        names.emplace_back(name);
}

} // namespace

std::vector<std::string> UsedDeviceServers(const std::string& settingsPath)
{
    std::vector<std::string> names;
    if (const auto startup =
            settings::ProfileFile::ReadValue(settingsPath, settings::kSettingsSection, kStartupPortKey))
        AddOnce(names, *startup);

    settings::ProfileFile file(settingsPath);
    if (!file.Load().Ok())
        return names;
    const std::string text = text::Cp932ToUtf8Lossy(file.Serialise());
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        std::string_view line(text.data() + start, end - start);
        start = end + 1;
        const auto equals = line.find('=');
        if (equals == std::string_view::npos)
            continue;
        const std::string_view key = line.substr(0, equals);
        if (key.ends_with(settings::kWindowColourWord))
            AddOnce(names, key.substr(0, key.size() - settings::kWindowColourWord.size()));
    }
    return names;
}

} // namespace maroka::session
