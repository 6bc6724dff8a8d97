#pragma once

// Why a port could not be opened, in words a user can act on. A device of
// the group "dialout" refuses everyone outside that group with a bare
// "Permission denied"; the reason says which group is missing and how to
// join it.

#include <string>

namespace maroka::serial {

// What decides whether the user may open a device through its group.
struct PortAccess {
    std::string user;             // login name of the real user
    std::string group;            // the device's group; empty: root's or unknown
    bool groupMayUse = false;     // the group may read and write the device
    bool inProcessGroups = false; // this process runs with the group
    bool listedInGroup = false;   // the group database lists the user in it
};

// Pure: the reason to append to the system's text, or "" when the group is
// not the cause (the group may not use the device either, or the process
// already has it).
std::string PermissionReason(const PortAccess& access);

// The facts of the device at `path` and of the running user.
PortAccess ReadPortAccess(const std::string& path);

// The system's text for `errorNumber`, followed by PermissionReason for a
// refused open (EACCES, EPERM).
std::string OpenErrorText(const std::string& path, int errorNumber);

} // namespace maroka::serial
