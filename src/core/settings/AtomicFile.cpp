#include "core/settings/AtomicFile.h"

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <string_view>
#include <sys/stat.h>
#include <unistd.h>

namespace maroka::settings {

namespace {

struct FileDescriptor {
    int fd = -1;
    ~FileDescriptor()
    {
        if (fd >= 0)
            ::close(fd);
    }
};

std::string FolderOf(const std::string& path)
{
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    if (slash == 0)
        return "/";
    return path.substr(0, slash);
}

// The file a path names once symbolic links are followed; the path itself
// when it does not exist yet.
std::string ResolveTarget(const std::string& path)
{
    char resolved[PATH_MAX];
    if (::realpath(path.c_str(), resolved) != nullptr)
        return resolved;
    return path;
}

bool WriteAll(int fd, std::string_view bytes)
{
    while (!bytes.empty()) {
        const ssize_t written = ::write(fd, bytes.data(), bytes.size());
        if (written < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        bytes.remove_prefix(static_cast<std::size_t>(written));
    }
    return true;
}

// "." + name + ".tmp" + pid + "-" + counter: the temporary files of ours.
std::string TemporaryPrefix(const std::string& name)
{
    return "." + name + ".tmp";
}

// The pid in a temporary file's name, or 0 when the name is not one of ours.
pid_t PidOfTemporary(std::string_view entry, std::string_view prefix)
{
    if (entry.substr(0, prefix.size()) != prefix)
        return 0;
    entry.remove_prefix(prefix.size());
    const std::size_t dash = entry.find('-');
    if (dash == 0 || dash == std::string_view::npos || dash + 1 == entry.size())
        return 0;
    long long pid = 0;
    for (std::size_t i = 0; i < entry.size(); ++i) {
        const char c = entry[i];
        if (i == dash)
            continue;
        if (c < '0' || c > '9')
            return 0;
        if (i < dash && pid < 100000000)
            pid = pid * 10 + (c - '0');
    }
    return pid > 0 && pid < 100000000 ? static_cast<pid_t>(pid) : 0;
}

// A save killed between creating its temporary file and renaming it leaves
// the file behind; each later save would add one more. Whatever of ours
// belongs to a process that no longer runs is removed.
void RemoveStaleTemporaries(const std::string& folder, const std::string& name)
{
    DIR* dir = ::opendir(folder.c_str());
    if (dir == nullptr)
        return;
    const std::string prefix = TemporaryPrefix(name);
    while (const dirent* entry = ::readdir(dir)) {
        const pid_t pid = PidOfTemporary(entry->d_name, prefix);
        if (pid == 0 || pid == ::getpid())
            continue;
        if (::kill(pid, 0) == 0 || errno == EPERM)
            continue;
        ::unlinkat(::dirfd(dir), entry->d_name, 0);
    }
    ::closedir(dir);
}

// Creates a new, unique temporary file beside `target`. Created with 0666 so
// the umask decides the mode of a file that did not exist before.
int CreateTemporary(const std::string& target, std::string& tempPath)
{
    static std::atomic<unsigned> counter{0};
    const std::string folder = FolderOf(target);
    const std::size_t slash = target.rfind('/');
    const std::string name = slash == std::string::npos ? target : target.substr(slash + 1);
    RemoveStaleTemporaries(folder, name);
    for (int attempt = 0; attempt < 100; ++attempt) {
        tempPath = folder + "/" + TemporaryPrefix(name) + std::to_string(::getpid()) + "-" + std::to_string(counter++);
        const int fd = ::open(tempPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0 || errno != EEXIST)
            return fd;
    }
    errno = EEXIST;
    return -1;
}

} // namespace

std::string SystemErrorText(int errorNumber)
{
    char buffer[256];
    // The GNU strerror_r returns the text, which need not be in `buffer`.
    const char* text = ::strerror_r(errorNumber, buffer, sizeof buffer);
    return text;
}

std::optional<std::string> ReplaceFileAtomically(const std::string& path, std::string_view bytes)
{
    const std::string target = ResolveTarget(path);

    struct stat old {};
    const bool exists = ::stat(target.c_str(), &old) == 0;
    if (!exists && errno != ENOENT)
        return SystemErrorText(errno);
    if (exists) {
        if (S_ISDIR(old.st_mode))
            return SystemErrorText(EISDIR);
        if (!S_ISREG(old.st_mode))
            return SystemErrorText(EINVAL);
        // A rename would replace a read-only file without asking; the user
        // marked it read-only, so honour that (also for root).
        if ((old.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0)
            return SystemErrorText(EACCES);
        if (::access(target.c_str(), W_OK) != 0)
            return SystemErrorText(errno);
    }

    std::string tempPath;
    FileDescriptor temp;
    temp.fd = CreateTemporary(target, tempPath);
    if (temp.fd < 0)
        return SystemErrorText(errno);

    auto fail = [&](int errorNumber) {
        ::close(temp.fd);
        temp.fd = -1;
        ::unlink(tempPath.c_str());
        return SystemErrorText(errorNumber);
    };

    if (exists) {
        if (::fchmod(temp.fd, old.st_mode & 07777) != 0)
            return fail(errno);
        // Keeps a file of another user with its owner when root saves it;
        // refused for everyone else, which is fine.
        if (old.st_uid != ::geteuid() || old.st_gid != ::getegid()) {
            [[maybe_unused]] const int ignored = ::fchown(temp.fd, old.st_uid, old.st_gid);
        }
    }
    if (!WriteAll(temp.fd, bytes))
        return fail(errno);
    if (::fsync(temp.fd) != 0)
        return fail(errno);
    const int fd = temp.fd;
    temp.fd = -1;
    if (::close(fd) != 0) {
        const int errorNumber = errno;
        ::unlink(tempPath.c_str());
        return SystemErrorText(errorNumber);
    }
    if (::rename(tempPath.c_str(), target.c_str()) != 0) {
        const int errorNumber = errno;
        ::unlink(tempPath.c_str());
        return SystemErrorText(errorNumber);
    }

    // Makes the rename itself durable; a failure here no longer risks the data.
    FileDescriptor folder;
    folder.fd = ::open(FolderOf(target).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folder.fd >= 0) {
        [[maybe_unused]] const int ignored = ::fsync(folder.fd);
    }
    return std::nullopt;
}

} // namespace maroka::settings
