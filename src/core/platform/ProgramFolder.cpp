#include "core/platform/ProgramFolder.h"

#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace maroka::platform {

bool IsSystemProgramFolder(std::string_view folder)
{
    for (const std::string_view root : {"/usr", "/bin", "/sbin"}) {
        if (folder.starts_with(root) && (folder.size() == root.size() || folder[root.size()] == '/'))
            return true;
    }
    return false;
}

bool KeepsFilesBesideProgram(std::string_view folder)
{
    const std::string path(folder.empty() ? std::string_view(".") : folder);
    struct stat info {};
    return !IsSystemProgramFolder(path) && ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode) &&
           ::access(path.c_str(), W_OK | X_OK) == 0;
}

} // namespace maroka::platform
