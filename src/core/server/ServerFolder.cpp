#include "core/server/ServerFolder.h"

#include "core/text/Ascii.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <filesystem>

namespace fs = std::filesystem;

namespace maroka::server {

namespace {

bool LessIgnoringCase(const std::string& a, const std::string& b)
{
    const std::size_t n = std::min(a.size(), b.size());
    for (std::size_t i = 0; i < n; ++i) {
        const auto x = static_cast<unsigned char>(text::AsciiUpper(a[i]));
        const auto y = static_cast<unsigned char>(text::AsciiUpper(b[i]));
        if (x != y)
            return x < y;
    }
    if (a.size() != b.size())
        return a.size() < b.size();
    return a < b;
}

bool EntryExists(const fs::path& path)
{
    std::error_code ec;
    return fs::exists(fs::symlink_status(path, ec));
}

bool RenameNoReplace(const std::string& from, const std::string& to)
{
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0)
        return true;
    if (errno != EINVAL && errno != ENOSYS)
        return false;
    // A file system without the flag: the caller has checked that the name
    // is free, which leaves only a race with another writer.
    if (EntryExists(to))
        return false;
    std::error_code ec;
    fs::rename(from, to, ec);
    return !ec;
}

} // namespace

ServerFolder::ServerFolder(std::string folder) : folder_(std::move(folder))
{
    while (folder_.size() > 1 && folder_.back() == '/')
        folder_.pop_back();
}

std::string ServerFolder::PathOf(std::string_view name) const
{
    std::string path = folder_;
    path += '/';
    path += name;
    return path;
}

bool ServerFolder::IsSafeName(std::string_view name)
{
    if (name.empty() || name == "." || name.find("..") != std::string_view::npos)
        return false;
    for (const char c : name) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '/' || c == '\\' || byte < 0x20 || byte == 0x7F)
            return false;
    }
    return true;
}

bool ServerFolder::Inside(const std::string& path) const
{
    std::error_code ec;
    const fs::path real = fs::canonical(path, ec);
    if (ec)
        return false;
    const fs::path root = fs::canonical(folder_, ec);
    if (ec)
        return false;
    auto r = root.begin();
    auto p = real.begin();
    for (; r != root.end(); ++r, ++p) {
        if (p == real.end() || *p != *r)
            return false;
    }
    return p != real.end();
}

std::vector<std::string> ServerFolder::EntriesMatching(std::string_view name) const
{
    std::vector<std::string> names;
    std::error_code ec;
    for (fs::directory_iterator it(folder_, ec), end; !ec && it != end; it.increment(ec)) {
        std::string entry = it->path().filename().string();
        if (text::AsciiEqualsIgnoreCase(entry, name))
            names.push_back(std::move(entry));
    }
    std::sort(names.begin(), names.end());
    return names;
}

ServerFolder::Lookup ServerFolder::Find(std::string_view name) const
{
    Lookup lookup;
    if (!IsSafeName(name))
        return lookup;
    auto usable = [this](const std::string& path) {
        std::error_code ec;
        return fs::is_regular_file(path, ec) && Inside(path);
    };
    if (EntryExists(PathOf(name))) {
        // An exact name that is no usable file hides the others: it is what
        // the machine asked for.
        if (const std::string path = PathOf(name); usable(path))
            lookup.path = path;
        return lookup;
    }
    std::vector<std::string> matches = EntriesMatching(name);
    if (matches.size() > 1) {
        lookup.ambiguous = true;
        return lookup;
    }
    if (matches.size() == 1 && usable(PathOf(matches.front())))
        lookup.path = PathOf(matches.front());
    return lookup;
}

std::optional<std::string> ServerFolder::FindFile(std::string_view name) const
{
    return Find(name).path;
}

bool ServerFolder::NameTaken(std::string_view name) const
{
    return EntryExists(PathOf(name)) || !EntriesMatching(name).empty();
}

namespace {

std::string NumberedName(std::string_view name, int k)
{
    if (k == 0)
        return std::string(name);
    const std::size_t dot = name.rfind('.');
    const std::string_view base = name.substr(0, dot);
    const std::string_view extension = dot == std::string_view::npos ? std::string_view() : name.substr(dot);
    char number[16];
    std::snprintf(number, sizeof number, "-%02d", k);
    return std::string(base) + number + std::string(extension);
}

} // namespace

std::string ServerFolder::MakeUniqueName(std::string_view name) const
{
    int k = 0;
    while (NameTaken(NumberedName(name, k)))
        ++k;
    return NumberedName(name, k);
}

ServerFolder::Created ServerFolder::CreateUniqueFile(std::string_view name) const
{
    for (int k = 0;; ++k) {
        const std::string candidate = NumberedName(name, k);
        if (NameTaken(candidate))
            continue;
        const int fd = ::open(PathOf(candidate).c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0) {
            ::close(fd);
            return {candidate, 0};
        }
        if (errno != EEXIST)
            return {candidate, errno};
    }
}

std::vector<std::string> ServerFolder::ListFiles() const
{
    std::vector<std::string> names;
    std::error_code ec;
    for (fs::directory_iterator it(folder_, ec), end; !ec && it != end; it.increment(ec)) {
        std::string name = it->path().filename().string();
        if (name.empty() || name.front() == '.')
            continue;
        std::error_code typeError;
        if (!fs::is_regular_file(it->path(), typeError) || !Inside(it->path().string()))
            continue;
        names.push_back(std::move(name));
    }
    std::sort(names.begin(), names.end(), LessIgnoringCase);
    return names;
}

ServerFolder::Outcome ServerFolder::Delete(std::string_view name) const
{
    const Lookup found = Find(name);
    if (found.ambiguous)
        return Outcome::Ambiguous;
    const auto& real = found.path;
    if (!real)
        return Outcome::NotFound;
    std::error_code ec;
    return fs::remove(*real, ec) && !ec ? Outcome::Done : Outcome::Failed;
}

ServerFolder::Outcome ServerFolder::Rename(std::string_view from, std::string_view to) const
{
    const Lookup found = Find(from);
    if (found.ambiguous)
        return Outcome::Ambiguous;
    const auto& real = found.path;
    if (!real)
        return Outcome::NotFound;
    if (!IsSafeName(to))
        return Outcome::Failed;
    // Another file of the new name in any case would be replaced, or would
    // make two names that differ only in case: both are refused. The file
    // itself under a new case is not another file.
    std::vector<std::string> taken = EntriesMatching(to);
    if (EntryExists(PathOf(to)))
        taken.emplace_back(to);
    for (const std::string& entry : taken) {
        std::error_code ec;
        if (!fs::equivalent(PathOf(entry), *real, ec) || ec)
            return Outcome::Failed;
    }
    return RenameNoReplace(*real, PathOf(to)) ? Outcome::Done : Outcome::Failed;
}

} // namespace maroka::server
