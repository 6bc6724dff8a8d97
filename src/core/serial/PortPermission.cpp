#include "core/serial/PortPermission.h"

#include "core/serial/SerialMessages.h"

#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <string_view>
#include <system_error>
#include <vector>

namespace maroka::serial {

namespace {

std::string Fill(std::string_view text, const PortAccess& access)
{
    std::string filled;
    for (std::size_t i = 0; i < text.size();) {
        if (text.substr(i).starts_with("{user}")) {
            filled += access.user;
            i += 6;
        } else if (text.substr(i).starts_with("{group}")) {
            filled += access.group;
            i += 7;
        } else {
            filled += text[i++];
        }
    }
    return filled;
}

// The user's groups as the group database lists them now, which may differ
// from those of the login session the process runs in.
bool ListedInGroup(const passwd& user, gid_t group)
{
    int count = 64;
    std::vector<gid_t> groups(static_cast<std::size_t>(count));
    while (::getgrouplist(user.pw_name, user.pw_gid, groups.data(), &count) == -1) {
        if (count <= static_cast<int>(groups.size()))
            return false;
        groups.resize(static_cast<std::size_t>(count));
    }
    return std::find(groups.begin(), groups.begin() + count, group) != groups.begin() + count;
}

bool InProcessGroups(gid_t group)
{
    if (::getegid() == group)
        return true;
    const int count = ::getgroups(0, nullptr);
    if (count <= 0)
        return false;
    std::vector<gid_t> groups(static_cast<std::size_t>(count));
    const int got = ::getgroups(count, groups.data());
    return got > 0 && std::find(groups.begin(), groups.begin() + got, group) != groups.begin() + got;
}

} // namespace

std::string PermissionReason(const PortAccess& access)
{
    if (access.user.empty() || access.group.empty() || !access.groupMayUse || access.inProcessGroups)
        return {};
    return Fill(access.listedInGroup ? msg::kPortGroupNotActive : msg::kNotInPortGroup, access);
}

PortAccess ReadPortAccess(const std::string& path)
{
    PortAccess access;
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0 || info.st_gid == 0)
        return access;
    // The reentrant calls: a worker thread may look up names meanwhile.
    std::vector<char> groupBuffer(16384);
    std::vector<char> userBuffer(16384);
    group groupEntry{};
    passwd userEntry{};
    group* deviceGroup = nullptr;
    passwd* user = nullptr;
    if (::getgrgid_r(info.st_gid, &groupEntry, groupBuffer.data(), groupBuffer.size(), &deviceGroup) != 0 ||
        ::getpwuid_r(::getuid(), &userEntry, userBuffer.data(), userBuffer.size(), &user) != 0 ||
        deviceGroup == nullptr || user == nullptr)
        return access;
    access.group = deviceGroup->gr_name;
    access.user = user->pw_name;
    access.groupMayUse = (info.st_mode & (S_IRGRP | S_IWGRP)) == (S_IRGRP | S_IWGRP);
    access.inProcessGroups = InProcessGroups(info.st_gid);
    access.listedInGroup = ListedInGroup(*user, info.st_gid);
    return access;
}

std::string OpenErrorText(const std::string& path, int errorNumber)
{
    std::string text = std::system_category().message(errorNumber);
    if (errorNumber == EACCES || errorNumber == EPERM)
        text += PermissionReason(ReadPortAccess(path));
    return text;
}

} // namespace maroka::serial
