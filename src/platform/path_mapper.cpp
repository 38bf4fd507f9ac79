#include "platform/path_mapper.h"

#include <algorithm>
#include <cstdlib>
#include <dirent.h>
#include <memory>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace quorlan::platform {

namespace {

std::optional<std::string> homeOfUser() {
    long size = ::sysconf(_SC_GETPW_R_SIZE_MAX);
    std::vector<char> buffer(static_cast<std::size_t>(size > 0 ? size : 16384));
    passwd entry{};
    passwd* result = nullptr;
    if (::getpwuid_r(::getuid(), &entry, buffer.data(), buffer.size(), &result) != 0 || result == nullptr) {
        return std::nullopt;
    }
    return std::string(result->pw_dir);
}

std::optional<std::string> processEnvironment(const std::string& name) {
    if (const char* value = std::getenv(name.c_str())) {
        return std::string(value);
    }
    return name == "HOME" ? homeOfUser() : std::nullopt;
}

char asciiLower(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}
char asciiUpper(char c) {
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

bool sameIgnoringCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) { return asciiLower(x) == asciiLower(y); });
}

bool isDrivePath(std::string_view path) {
    return path.size() >= 2 && path[1] == ':' && asciiLower(path[0]) >= 'a' && asciiLower(path[0]) <= 'z';
}

std::string joined(const std::string& folder, const std::string& name) {
    if (folder.empty()) {
        return name;
    }
    return folder.back() == '/' ? folder + name : folder + "/" + name;
}

std::vector<std::string> componentsOf(std::string_view path) {
    std::vector<std::string> components;
    std::size_t begin = 0;
    while (begin <= path.size()) {
        const auto end = std::min(path.find('/', begin), path.size());
        if (end > begin) {
            components.emplace_back(path.substr(begin, end - begin));
        }
        begin = end + 1;
    }
    return components;
}

// Windows resolves "." and ".." in the text alone, and never above the drive's root.
std::vector<std::string> withoutDots(const std::vector<std::string>& components) {
    std::vector<std::string> result;
    for (const auto& component : components) {
        if (component == "..") {
            if (!result.empty()) {
                result.pop_back();
            }
        } else if (component != ".") {
            result.push_back(component);
        }
    }
    return result;
}

// The name under which the component exists in the folder: as written, else the first of the
// names that differ from it only in letter case.
std::optional<std::string> existingName(const std::string& folder, const std::string& name) {
    struct stat status {};
    if (::lstat(joined(folder, name).c_str(), &status) == 0) {
        return name;
    }
    const std::unique_ptr<DIR, int (*)(DIR*)> listing(::opendir(folder.empty() ? "." : folder.c_str()), ::closedir);
    if (!listing) {
        return std::nullopt;
    }
    std::vector<std::string> matches;
    while (const dirent* entry = ::readdir(listing.get())) {
        if (sameIgnoringCase(entry->d_name, name)) {
            matches.emplace_back(entry->d_name);
        }
    }
    if (matches.empty()) {
        return std::nullopt;
    }
    return *std::min_element(matches.begin(), matches.end());
}

bool existsAsWritten(const std::string& path) {
    struct stat status {};
    return ::lstat(path.c_str(), &status) == 0;
}

std::string joinedAll(std::string folder, const std::vector<std::string>& components, std::size_t count) {
    for (std::size_t i = 0; i < count; ++i) {
        folder = joined(folder, components[i]);
    }
    return folder;
}

// How many leading components exist exactly as written. Most paths do, or all but their file
// name does: one or two looks settle those without listing any folder.
std::size_t exactPrefix(const std::string& root, const std::vector<std::string>& components) {
    const std::size_t count = components.size();
    if (existsAsWritten(joinedAll(root, components, count))) {
        return count;
    }
    if (count > 1 && existsAsWritten(joinedAll(root, components, count - 1))) {
        return count - 1;
    }
    return 0;
}

} // namespace

PathMapper::PathMapper() : PathMapper(processEnvironment) {}

PathMapper::PathMapper(EnvironmentLookup environment) : m_environment(std::move(environment)) {}

std::string PathMapper::toLocal(std::string_view windowsPath) const {
    std::string path(windowsPath);
    std::replace(path.begin(), path.end(), '\\', '/');
    std::string local;
    std::vector<std::string> components;
    if (isDrivePath(path)) {
        local = driveRoot(path[0]);
        components = withoutDots(componentsOf(std::string_view(path).substr(2)));
    } else {
        local = path.starts_with('/') ? "/" : "";
        components = componentsOf(path);
    }
    const std::size_t exact = exactPrefix(local, components);
    local = joinedAll(local, components, exact);
    bool exists = true;
    for (std::size_t i = exact; i < components.size(); ++i) {
        const auto name = exists ? existingName(local, components[i]) : std::nullopt;
        exists = name.has_value();
        local = joined(local, name.value_or(components[i]));
    }
    if (path.ends_with('/') && !local.ends_with('/')) {
        local += '/';
    }
    return local;
}

std::optional<std::string> PathMapper::nonEmpty(const std::string& name) const {
    auto value = m_environment(name);
    return value && !value->empty() ? value : std::nullopt;
}

std::string PathMapper::dataFolder() const {
    auto dataHome = nonEmpty("XDG_DATA_HOME");
    if (!dataHome || !dataHome->starts_with('/')) {
        dataHome = nonEmpty("HOME").value_or("") + "/.local/share";
    }
    return joined(*dataHome, "quorlan");
}

std::string PathMapper::driveRoot(char drive) const {
    if (auto root = nonEmpty(std::string("QUORLAN_DRIVE_") + asciiUpper(drive))) {
        return *root;
    }
    return joined(dataFolder(), std::string("drive_") + asciiLower(drive));
}

} // namespace quorlan::platform
