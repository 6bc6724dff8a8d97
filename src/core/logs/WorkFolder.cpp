#include "core/logs/WorkFolder.h"

#include "core/platform/ProgramFolder.h"

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <pwd.h>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>
#include <vector>

namespace maroka::logs {

namespace fs = std::filesystem;

namespace {

bool IsFolder(const fs::path& path)
{
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

std::string HomeFromPasswordDatabase()
{
    long size = ::sysconf(_SC_GETPW_R_SIZE_MAX);
    std::vector<char> buffer(size > 0 ? static_cast<std::size_t>(size) : 16384);
    struct passwd entry {};
    struct passwd* found = nullptr;
    if (::getpwuid_r(::getuid(), &entry, buffer.data(), buffer.size(), &found) != 0 || found == nullptr ||
        found->pw_dir == nullptr)
        return {};
    return found->pw_dir;
}

fs::path DataHome(const WorkFolderPlaces& places)
{
    // A relative XDG_DATA_HOME is invalid and is ignored, as the XDG rules say.
    if (!places.xdgDataHome.empty() && places.xdgDataHome.front() == '/')
        return places.xdgDataHome;
    if (!places.home.empty())
        return fs::path(places.home) / ".local" / "share";
    return {};
}

} // namespace

WorkFolderPlaces WorkFolderPlaces::FromEnvironment()
{
    WorkFolderPlaces places;
    if (const char* value = std::getenv("XDG_DATA_HOME"))
        places.xdgDataHome = value;
    if (const char* value = std::getenv("HOME"); value != nullptr && *value != '\0')
        places.home = value;
    else
        places.home = HomeFromPasswordDatabase();
    return places;
}

WorkFolderResult PrepareWorkFolder(std::string_view programPath, const WorkFolderPlaces& places)
{
    WorkFolderResult result;
    fs::path programFolder = fs::path(programPath).parent_path();
    if (programFolder.empty())
        programFolder = ".";

    if (platform::KeepsFilesBesideProgram(programFolder.string())) {
        const fs::path folder = programFolder / kWorkFolderName;
        result.path = folder.string();
        result.ready = ::mkdir(folder.c_str(), 0777) == 0 || (errno == EEXIST && IsFolder(folder));
        return result;
    }

    const fs::path dataHome = DataHome(places);
    if (dataHome.empty()) {
        // Nowhere to go: name the folder beside the program in the message.
        result.path = (programFolder / kWorkFolderName).string();
        return result;
    }
    const fs::path folder = dataHome / "maroka" / kWorkFolderName;
    result.path = folder.string();
    std::error_code error;
    fs::create_directories(folder, error);
    result.ready = IsFolder(folder);
    return result;
}

WorkFolderResult PrepareWorkFolder(std::string_view programPath)
{
    return PrepareWorkFolder(programPath, WorkFolderPlaces::FromEnvironment());
}

} // namespace maroka::logs
