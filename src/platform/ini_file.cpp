#include "platform/ini_file.h"

#include "platform/file_write.h"
#include "platform/ini_text.h"

#include <algorithm>
#include <cerrno>
#include <ctime>
#include <fcntl.h>
#include <filesystem>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string_view>
#include <sys/stat.h>
#include <unistd.h>

namespace quorlan::platform {

namespace {

// What tells one state of a file from another without reading it.
struct Stamp {
    dev_t device = 0;
    ino_t inode = 0;
    off_t size = 0;
    timespec modified{};
    timespec changed{};

    explicit Stamp(const struct stat& status)
        : device(status.st_dev), inode(status.st_ino), size(status.st_size), modified(status.st_mtim),
          changed(status.st_ctim) {}

    bool operator==(const Stamp& other) const {
        const auto same = [](const timespec& a, const timespec& b) {
            return a.tv_sec == b.tv_sec && a.tv_nsec == b.tv_nsec;
        };
        return device == other.device && inode == other.inode && size == other.size && same(modified, other.modified) &&
               same(changed, other.changed);
    }

    // A file's times advance in ticks (of milliseconds, or of whole seconds on some file systems),
    // so a change in the same tick as the read leaves the stamp as it was. A file read before its
    // last tick was over is read again next time.
    bool settledAt(const timespec& now) const {
        const long long tickNs = changed.tv_nsec == 0 && modified.tv_nsec == 0 ? 2'000'000'000LL : 20'000'000LL;
        const auto ns = [](const timespec& t) {
            return static_cast<long long>(t.tv_sec) * 1'000'000'000LL + t.tv_nsec;
        };
        return ns(now) - std::max(ns(modified), ns(changed)) > tickNs;
    }
};

struct Cached {
    Stamp stamp;
    bool settled;
    std::shared_ptr<const IniValues> values;
};

// The parsed files, by path. A station reads one settings file; a few more are kept for tools
// and tests, and the oldest go when there are more.
class ProfileCache final {
public:
    std::shared_ptr<const IniValues> find(const std::string& path, const Stamp& stamp) {
        const std::lock_guard lock(m_mutex);
        const auto entry = m_files.find(path);
        if (entry == m_files.end() || !entry->second.settled || !(entry->second.stamp == stamp)) {
            return nullptr;
        }
        return entry->second.values;
    }

    void keep(const std::string& path, Cached cached) {
        const std::lock_guard lock(m_mutex);
        if (m_files.size() >= kMaxFiles && !m_files.contains(path)) {
            m_files.clear();
        }
        m_files.insert_or_assign(path, std::move(cached));
    }

    void forget(const std::string& path) {
        const std::lock_guard lock(m_mutex);
        m_files.erase(path);
    }

private:
    static constexpr std::size_t kMaxFiles = 16;
    std::mutex m_mutex;
    std::map<std::string, Cached> m_files;
};

ProfileCache& profileCache() {
    static ProfileCache cache;
    return cache;
}

// The file's bytes and the state they were read in; nothing for a missing or unreadable file,
// and for anything but an ordinary file (a FIFO would never answer). error says why.
std::optional<std::string> readFile(const std::string& path, struct stat& status, int& error) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        error = errno;
        return std::nullopt;
    }
    std::optional<std::string> content;
    if (::fstat(fd, &status) != 0 || !S_ISREG(status.st_mode)) {
        error = EINVAL;
    } else {
        content.emplace();
        content->reserve(static_cast<std::size_t>(status.st_size));
        char buffer[65536];
        ssize_t count = 0;
        while ((count = ::read(fd, buffer, sizeof buffer)) > 0 || (count < 0 && errno == EINTR)) {
            content->append(buffer, static_cast<std::size_t>(std::max<ssize_t>(count, 0)));
        }
        error = count < 0 ? errno : 0;
        if (count < 0) {
            content.reset();
        }
    }
    ::close(fd);
    return content;
}

timespec now() {
    timespec time{};
    ::clock_gettime(CLOCK_REALTIME, &time);
    return time;
}

std::string cut(std::string value, std::size_t bufferSize) {
    value.resize(std::min(value.size(), bufferSize == 0 ? 0 : bufferSize - 1));
    return value;
}

// A settings file reached through a link is changed where it really lives, not replaced by a copy.
std::string resolvedTarget(const std::string& filePath) {
    std::error_code error;
    const auto real = std::filesystem::canonical(filePath, error);
    return error ? filePath : real.string();
}

} // namespace

std::shared_ptr<const IniValues> readIniFile(const std::string& filePath) {
    struct stat status {};
    if (filePath.empty() || ::stat(filePath.c_str(), &status) != 0) {
        return nullptr;
    }
    ProfileCache& cache = profileCache();
    if (auto values = cache.find(filePath, Stamp(status))) {
        return values;
    }
    int error = 0;
    const auto content = readFile(filePath, status, error);
    if (!content) {
        cache.forget(filePath);
        return nullptr;
    }
    auto values = std::make_shared<const IniValues>(parseIni(decodeIni(*content)));
    const Stamp stamp(status);
    cache.keep(filePath, {stamp, stamp.settledAt(now()), values});
    return values;
}

std::string profileString(const IniValues* values, const std::string& section, const std::string& key,
                          const std::string& defaultValue, std::size_t bufferSize) {
    const std::string* value = values ? values->find(section, key) : nullptr;
    return cut(value ? iniString(*value) : defaultValue, bufferSize);
}

long profileInt(const IniValues* values, const std::string& section, const std::string& key, long defaultValue) {
    const std::string* value = values ? values->find(section, key) : nullptr;
    return (value ? iniInteger(*value) : std::nullopt).value_or(defaultValue);
}

std::string getPrivateProfileString(const std::string& section, const std::string& key, const std::string& defaultValue,
                                    std::size_t bufferSize, const std::string& filePath) {
    return profileString(readIniFile(filePath).get(), section, key, defaultValue, bufferSize);
}

long getPrivateProfileInt(const std::string& section, const std::string& key, long defaultValue,
                          const std::string& filePath) {
    return profileInt(readIniFile(filePath).get(), section, key, defaultValue);
}

bool writePrivateProfileString(const std::string& section, const std::string& key, const std::string& value,
                               const std::string& filePath) {
    if (!writableEntry(section, key, value)) {
        return false;
    }
    const std::string target = resolvedTarget(filePath);
    struct stat status {};
    int error = 0;
    const auto content = readFile(target, status, error);
    if (!content && error != ENOENT) {
        return false; // never replace a file that exists but could not be read
    }
    const IniText changed = withEntry(decodeIni(content.value_or(std::string())), section, key, value);
    const bool written = !replaceFile(target, encodeIni(changed), InPlace::WhenNoTemporary);
    profileCache().forget(filePath);
    profileCache().forget(target);
    return written;
}

IniFileSection::IniFileSection(std::string filePath, std::string section)
    : m_filePath(std::move(filePath)), m_section(std::move(section)) {}

std::string IniFileSection::getString(const std::string& key, const std::string& defaultValue, std::size_t bufferSize) {
    return getPrivateProfileString(m_section, key, defaultValue, bufferSize, m_filePath);
}

long IniFileSection::getInt(const std::string& key, long defaultValue) {
    return getPrivateProfileInt(m_section, key, defaultValue, m_filePath);
}

void IniFileSection::writeString(const std::string& key, const std::string& value) {
    writePrivateProfileString(m_section, key, value, m_filePath);
}

} // namespace quorlan::platform
