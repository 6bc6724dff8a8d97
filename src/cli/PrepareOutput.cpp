#include "cli/PrepareOutput.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>

namespace maroka::cli {

namespace {

std::string TemporaryIn(const std::filesystem::path& folder, const std::string& stem, std::string& error)
{
    std::string pattern = (folder / ("." + stem + ".XXXXXX")).string();
    const int fd = ::mkstemp(pattern.data());
    if (fd < 0) {
        error = pattern.substr(0, pattern.size() - 7) + ": " + std::strerror(errno);
        return {};
    }
    // The finished file gets the permissions of a file made the usual way.
    const mode_t mask = ::umask(0);
    ::umask(mask);
    ::fchmod(fd, 0666 & ~mask);
    ::close(fd);
    return pattern;
}

} // namespace

PrepareOutput::PrepareOutput(std::string target, std::ostream& out) : target_(std::move(target)), out_(out) {}

PrepareOutput::~PrepareOutput()
{
    if (temporary_ && !buildPath_.empty())
        ::unlink(buildPath_.c_str());
}

std::string PrepareOutput::Begin(std::string& error)
{
    if (target_ == "-") {
        const char* tmp = std::getenv("TMPDIR");
        buildPath_ = TemporaryIn(tmp && *tmp ? tmp : "/tmp", "maroka-prepare", error);
        temporary_ = !buildPath_.empty();
        return buildPath_;
    }
    std::error_code ec;
    const auto status = std::filesystem::status(target_, ec);
    if (std::filesystem::exists(status) && !std::filesystem::is_regular_file(status)) {
        buildPath_ = target_;
        return buildPath_;
    }
    const std::filesystem::path target(target_);
    const std::filesystem::path folder = target.has_parent_path() ? target.parent_path() : ".";
    buildPath_ = TemporaryIn(folder, target.filename().string(), error);
    temporary_ = !buildPath_.empty();
    return buildPath_;
}

bool PrepareOutput::IsTarget(const std::string& path) const
{
    if (target_ == "-")
        return false;
    std::error_code ec;
    return std::filesystem::equivalent(path, target_, ec);
}

bool PrepareOutput::Commit(const std::vector<std::string>& filesRead, std::string& error)
{
    for (const std::string& file : filesRead) {
        if (IsTarget(file)) {
            error = target_ + ": the output is one of the files read";
            return false;
        }
    }
    if (!temporary_)
        return true;
    if (target_ == "-") {
        std::ifstream in(buildPath_, std::ios::binary);
        char buffer[64 * 1024];
        while (in.read(buffer, sizeof buffer) || in.gcount() > 0)
            out_.write(buffer, in.gcount());
        out_.flush();
        if (in.bad() || !out_) {
            error = "standard output: the send data could not be written";
            return false;
        }
        return true;
    }
    if (::rename(buildPath_.c_str(), target_.c_str()) != 0) {
        error = target_ + ": " + std::strerror(errno);
        return false;
    }
    temporary_ = false;
    return true;
}

} // namespace maroka::cli
