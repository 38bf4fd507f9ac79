#include "platform/device_access.h"

#include <algorithm>
#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace quorlan::platform {

namespace {

constexpr const char* kSerialGroup = "dialout";

std::string userName(uid_t uid) {
    const passwd* entry = ::getpwuid(uid);
    return entry ? std::string(entry->pw_name) : std::to_string(uid);
}

std::string groupName(gid_t gid) {
    const group* entry = ::getgrgid(gid);
    return entry ? std::string(entry->gr_name) : std::to_string(gid);
}

std::string modeText(mode_t mode) {
    std::string text = S_ISCHR(mode) ? "c" : S_ISBLK(mode) ? "b" : S_ISLNK(mode) ? "l" : S_ISDIR(mode) ? "d" : "-";
    constexpr const char* kLetters = "rwx";
    for (int bit = 8; bit >= 0; --bit) {
        text += (mode & (1U << bit)) != 0 ? kLetters[(8 - bit) % 3] : '-';
    }
    return text;
}

bool processInGroup(gid_t gid) {
    if (::getegid() == gid) {
        return true;
    }
    const int count = ::getgroups(0, nullptr);
    std::vector<gid_t> groups(static_cast<std::size_t>(std::max(count, 0)));
    if (count > 0 && ::getgroups(count, groups.data()) == count) {
        return std::find(groups.begin(), groups.end(), gid) != groups.end();
    }
    return false;
}

bool listedInGroup(gid_t gid, const std::string& user) {
    const group* entry = ::getgrgid(gid);
    if (!entry) {
        return false;
    }
    for (char** member = entry->gr_mem; member && *member; ++member) {
        if (user == *member) {
            return true;
        }
    }
    const passwd* self = ::getpwnam(user.c_str());
    return self && self->pw_gid == gid;
}

} // namespace

bool readDeviceAccess(const std::string& device, DeviceAccess& access) {
    struct stat status {};
    if (::stat(device.c_str(), &status) != 0) {
        return false;
    }
    access.device = device;
    access.owner = userName(status.st_uid);
    access.group = groupName(status.st_gid);
    access.mode = modeText(status.st_mode);
    access.user = userName(::geteuid());
    access.userInGroup = processInGroup(status.st_gid);
    access.userListed = listedInGroup(status.st_gid, access.user);
    return true;
}

std::string permissionHint(const DeviceAccess& access) {
    const std::string facts = " (owner " + access.owner + ", group " + access.group + ", mode " + access.mode + ")";
    if (access.group == kSerialGroup && !access.userInGroup) {
        if (access.userListed) {
            return "Permission denied: " + access.device + " belongs to the group " + kSerialGroup + ", which " +
                   access.user + " joined after logging in; log out and in again so that it applies";
        }
        return "Permission denied: " + access.device + " belongs to the group " + kSerialGroup + " and " + access.user +
               " is not a member; add the user to it (sudo usermod -aG " + kSerialGroup + " " + access.user +
               ") and log in again";
    }
    return "Permission denied: " + access.user + " may not open " + access.device + facts;
}

} // namespace quorlan::platform
