#include "core/platform/TemporaryFile.h"

#include <unistd.h>

#include <cstdlib>
#include <vector>

namespace maroka::platform {

std::optional<TemporaryFile> TemporaryFile::Create(const std::string& prefix)
{
    const char* folder = std::getenv("TMPDIR");
    std::string pattern =
        std::string(folder != nullptr && *folder != '\0' ? folder : "/tmp") + "/" + prefix + "-XXXXXX";
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    const int fd = ::mkstemp(name.data());
    if (fd == -1)
        return std::nullopt;
    ::close(fd);
    return TemporaryFile(name.data());
}

TemporaryFile::TemporaryFile(TemporaryFile&& other) noexcept : path_(std::move(other.path_))
{
    other.path_.clear();
}

TemporaryFile& TemporaryFile::operator=(TemporaryFile&& other) noexcept
{
    if (this != &other) {
        if (!path_.empty())
            ::unlink(path_.c_str());
        path_ = std::move(other.path_);
        other.path_.clear();
    }
    return *this;
}

TemporaryFile::~TemporaryFile()
{
    if (!path_.empty())
        ::unlink(path_.c_str());
}

} // namespace maroka::platform
