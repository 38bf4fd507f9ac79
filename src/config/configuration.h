// The settings store: QZT.INI is found and read once at start-up into StationSettings and the
// main window's options; every later writer goes through SettingsFile, section "KORVALDE".
#pragma once

#include "config/station_settings.h"
#include "platform/ini_text.h"
#include "platform/path_mapper.h"
#include "platform/profile.h"
#include "platform/view.h"

#include <cstddef>
#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace quorlan::config {

// String values are read through a buffer of this size, so they keep at most 127 characters.
inline constexpr std::size_t kStringBufferSize = 128;

// The product folder: the programs are there and the list files in its "lsx" folder.
inline constexpr const char* kProductFolder = "C:\\ZUNT\\PRODUCT\\";

// Finds QZT.INI in the program folder, else in the Windows directory (both local folders), and
// reads it. False, after telling the operator, when neither has one; nothing is changed then.
bool LoadConfiguration(StationSettings& settings, platform::StationView& view, const platform::PathMapper& paths,
                       const std::string& programFolder, const std::string& windowsDirectory);

// Where LoadConfiguration finds QZT.INI, for a command that reads the settings without a station
// and without asking anyone: nothing when neither folder holds one, or it cannot be looked for.
std::optional<std::string> settingsFileLocation(const platform::PathMapper& paths, const std::string& programFolder,
                                                const std::string& windowsDirectory);

// Section "KORVALDE" of the file IniFilePath names. When start-up found no settings file, the
// first write creates QZT.INI in the Windows directory and makes it the settings file, so the
// operator's choices are kept rather than lost. A write that does not reach the file (one made
// read-only, a full disk) leaves the file as it was and is told to report, so the operator
// knows the choice will not be there at the next start.
class SettingsFile final : public platform::ProfileSection {
public:
    using Report = std::function<void(const std::string& text)>;

    SettingsFile(StationSettings& settings, const platform::PathMapper& paths, std::string windowsDirectory,
                 Report report = {});

    std::string getString(const std::string& key, const std::string& defaultValue, std::size_t bufferSize) override;
    long getInt(const std::string& key, long defaultValue) override;
    void writeString(const std::string& key, const std::string& value) override;

private:
    std::string localPath() const;
    std::shared_ptr<const platform::IniValues> values();

    StationSettings& m_settings;
    const platform::PathMapper& m_paths;
    std::string m_windowsDirectory;
    Report m_report;
    // IniFilePath as a local file, mapped once rather than for each of the dozens of reads a
    // label makes, and again when the file is no longer there under that name.
    std::string m_mappedFrom;
    std::string m_mapped;
};

// "Settings" = CommSettings, then "CommPort" = CommPort in decimal without blanks.
void SaveCommSettings(const StationSettings& settings, platform::ProfileSection& file);

// A main-window option's key, " 1" or " 0". "Show Program in Editor" is never stored.
void SaveOption(platform::ProfileSection& file, platform::Option option, bool checked);

} // namespace quorlan::config
