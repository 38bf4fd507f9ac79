// Why this user may not open a serial device, in words an installer can act on. The usual cause
// of a scanner that will not open is a user outside the group that owns the device (dialout on
// Debian), but only when the device really belongs to that group; otherwise the owner and mode
// say what is wrong.
#pragma once

#include <string>

namespace quorlan::platform {

struct DeviceAccess {
    std::string device;
    std::string owner;        // user name, or the number when it has none
    std::string group;        // group name, or the number
    std::string mode;         // as ls shows it: "crw-rw----"
    std::string user;         // who runs the station
    bool userInGroup = false; // the group is one of the running process's groups
    bool userListed = false;  // the group database lists the user as a member
};

// What the system says about the device and this process; nothing when the device is gone.
bool readDeviceAccess(const std::string& device, DeviceAccess& access);

// "Permission denied: ..." with the cause and its fix.
std::string permissionHint(const DeviceAccess& access);

} // namespace quorlan::platform
