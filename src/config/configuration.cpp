#include "config/configuration.h"

#include "config/common.h"
#include "platform/error.h"
#include "platform/file_lookup.h"
#include "platform/ini_file.h"
#include "platform/text.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <utility>

namespace quorlan::config {

namespace {

using platform::Option;
using platform::ProfileSection;

constexpr long kMinPollTime = 100;
constexpr long kMaxPollTime = 65535; // the polling timer's largest interval

constexpr std::array<std::pair<Option, const char*>, 3> kOptionKeys{
    {{Option::AutoStart, "AutoStart"}, {Option::Overwrite, "Overwrite"}, {Option::AutoClear, "AutoClear"}}};

std::string iniPathIn(const std::string& folder) {
    return folder + "\\" + kIniFileName;
}

std::string withTrailingBackslash(std::string path) {
    if (!platform::endsWith(path, "\\")) {
        path += '\\';
    }
    return path;
}

std::string withoutTrailingBackslash(std::string path) {
    if (platform::endsWith(path, "\\")) {
        path.pop_back();
    }
    return path;
}

std::string readString(ProfileSection& file, const char* key, const std::string& defaultValue) {
    return file.getString(key, defaultValue, kStringBufferSize);
}

void readRecord(StationSettings& settings, ProfileSection& file) {
    settings.CommSettings = readString(file, "Settings", "9600,N,8,1");
    settings.GCodePath = withTrailingBackslash(platform::trimBlanks(readString(file, "GCodePath", kProductFolder)));
    settings.ListPath = platform::trimBlanks(readString(file, "ListPath", std::string(kProductFolder) + "lsx\\"));
    const long port = file.getInt("CommPort", 1);
    // An out-of-range port is kept within the record; opening it then fails with a message.
    settings.CommPort = static_cast<std::int16_t>(std::clamp<long>(port, INT16_MIN, INT16_MAX));
}

void applyPollTime(platform::StationView& view, ProfileSection& file) {
    const long pollTime = file.getInt("CommPollTime", 1000);
    if (pollTime >= kMinPollTime) {
        view.setPollInterval(static_cast<int>(std::min(pollTime, kMaxPollTime)));
    }
}

void readCsvPaths(StationSettings& settings, ProfileSection& file) {
    settings.CSVInPath = withoutTrailingBackslash(platform::trimBlanks(readString(file, "CSVInPath", "C:\\")));
    settings.CSVOutPath =
        withoutTrailingBackslash(platform::trimBlanks(readString(file, "CSVOutPath", "C:\\Quorlan.csv")));
}

void applyOptions(platform::StationView& view, ProfileSection& file) {
    for (const auto& [option, key] : kOptionKeys) {
        view.setOption(option, file.getInt(key, 1) >= 1);
    }
}

std::optional<std::string> foundSettingsFile(const platform::PathMapper& paths, platform::StationView& view,
                                             const std::string& programFolder, const std::string& windowsDirectory) {
    for (const auto& folder : {programFolder, windowsDirectory}) {
        if (FileExists(iniPathIn(folder), paths, view)) {
            return iniPathIn(folder);
        }
    }
    return std::nullopt;
}

} // namespace

bool LoadConfiguration(StationSettings& settings, platform::StationView& view, const platform::PathMapper& paths,
                       const std::string& programFolder, const std::string& windowsDirectory) {
    const auto found = foundSettingsFile(paths, view, programFolder, windowsDirectory);
    if (!found) {
        view.message("File QZT.INI Not Found", platform::MessageIcon::Critical);
        return false;
    }
    settings.IniFilePath = *found;
    view.hideEditorOption();
    platform::IniFileSection file(paths.toLocal(settings.IniFilePath), kSection);
    readRecord(settings, file);
    applyPollTime(view, file);
    readCsvPaths(settings, file);
    applyOptions(view, file);
    return true;
}

std::optional<std::string> settingsFileLocation(const platform::PathMapper& paths, const std::string& programFolder,
                                                const std::string& windowsDirectory) {
    for (const auto& folder : {programFolder, windowsDirectory}) {
        try {
            if (platform::findFile(iniPathIn(folder), paths)) {
                return iniPathIn(folder);
            }
        } catch (const platform::StationError&) {
            // a folder that cannot be searched holds no settings we could read
        }
    }
    return std::nullopt;
}

SettingsFile::SettingsFile(StationSettings& settings, const platform::PathMapper& paths, std::string windowsDirectory,
                           Report report)
    : m_settings(settings), m_paths(paths), m_windowsDirectory(std::move(windowsDirectory)),
      m_report(std::move(report)) {}

std::string SettingsFile::getString(const std::string& key, const std::string& defaultValue, std::size_t bufferSize) {
    return platform::profileString(values().get(), kSection, key, defaultValue, bufferSize);
}

long SettingsFile::getInt(const std::string& key, long defaultValue) {
    return platform::profileInt(values().get(), kSection, key, defaultValue);
}

std::shared_ptr<const platform::IniValues> SettingsFile::values() {
    if (m_settings.IniFilePath.empty()) {
        return nullptr;
    }
    if (m_mappedFrom == m_settings.IniFilePath) {
        if (auto values = platform::readIniFile(m_mapped)) {
            return values;
        }
    }
    m_mappedFrom = m_settings.IniFilePath;
    m_mapped = localPath();
    return platform::readIniFile(m_mapped);
}

void SettingsFile::writeString(const std::string& key, const std::string& value) {
    if (m_settings.IniFilePath.empty()) {
        if (m_windowsDirectory.empty()) {
            return;
        }
        std::error_code ignored;
        std::filesystem::create_directories(m_paths.toLocal(m_windowsDirectory), ignored);
        m_settings.IniFilePath = iniPathIn(m_windowsDirectory);
    }
    if (!platform::writePrivateProfileString(kSection, key, value, localPath()) && m_report) {
        m_report("The setting " + key + " was not saved: " + localPath() + " cannot be written.");
    }
}

// An empty path names no file: reads then give the defaults.
std::string SettingsFile::localPath() const {
    return m_settings.IniFilePath.empty() ? std::string() : m_paths.toLocal(m_settings.IniFilePath);
}

void SaveCommSettings(const StationSettings& settings, ProfileSection& file) {
    file.writeString("Settings", settings.CommSettings);
    file.writeString("CommPort", std::to_string(settings.CommPort));
}

void SaveOption(ProfileSection& file, Option option, bool checked) {
    const auto entry = std::find_if(kOptionKeys.begin(), kOptionKeys.end(),
                                    [option](const auto& candidate) { return candidate.first == option; });
    if (entry != kOptionKeys.end()) {
        file.writeString(entry->second, checked ? " 1" : " 0");
    }
}

} // namespace quorlan::config
