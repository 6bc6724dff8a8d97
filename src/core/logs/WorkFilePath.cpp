#include "core/logs/WorkFilePath.h"

namespace maroka::logs {

std::string PortSuffix(std::string_view port)
{
    std::string_view rest = port;
    while (rest.size() > 1 && rest.back() == '/')
        rest.remove_suffix(1);

    std::string suffix;
    constexpr std::string_view ptsFolder = "/dev/pts/";
    if (rest.starts_with(ptsFolder)) {
        suffix = "pts";
        rest.remove_prefix(ptsFolder.size());
    } else if (const auto slash = rest.rfind('/'); slash != std::string_view::npos && slash + 1 < rest.size()) {
        rest.remove_prefix(slash + 1);
    }
    suffix.append(rest);
    for (char& c : suffix) {
        if (c == '/' || c == ':')
            c = '_';
    }
    return suffix;
}

std::string WorkFilePath(std::string_view folder, std::string_view name, std::string_view port)
{
    std::string path(folder);
    if (path.empty() || path.back() != '/')
        path.push_back('/');
    path.append(name);
    path.push_back('.');
    path.append(PortSuffix(port));
    return path;
}

} // namespace maroka::logs
