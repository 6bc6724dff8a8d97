#include "core/prepare/FileLookup.h"

#include "core/text/Ascii.h"

#include <dirent.h>
#include <sys/stat.h>

namespace maroka::prepare {

namespace {

bool IsFile(const std::string& path)
{
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && !S_ISDIR(st.st_mode);
}

} // namespace

std::string FolderOf(const std::string& path)
{
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

std::string NameOf(const std::string& path)
{
    const std::size_t sep = path.find_last_of("/\\");
    return sep == std::string::npos ? path : path.substr(sep + 1);
}

std::optional<std::string> ResolveFile(const std::string& path)
{
    if (path.empty())
        return std::nullopt;
    if (IsFile(path))
        return path;
    const std::string folder = FolderOf(path);
    const std::string name = path.substr(folder.size());
    if (name.empty())
        return std::nullopt;
    DIR* dir = ::opendir(folder.empty() ? "." : folder.c_str());
    if (dir == nullptr)
        return std::nullopt;
    std::optional<std::string> best;
    while (const dirent* entry = ::readdir(dir)) {
        const std::string candidate = entry->d_name;
        if (!text::AsciiEqualsIgnoreCase(candidate, name))
            continue;
        if (!IsFile(folder + candidate))
            continue;
        if (!best || candidate < *best)
            best = candidate;
    }
    ::closedir(dir);
    if (!best)
        return std::nullopt;
    return folder + *best;
}

} // namespace maroka::prepare
