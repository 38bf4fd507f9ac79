// The running configuration, filled once at start-up from QZT.INI.
#pragma once

#include <cstdint>
#include <string>

namespace quorlan::config {

inline constexpr const char* kSection = "KORVALDE";
inline constexpr const char* kIniFileName = "QZT.INI";

struct StationSettings {
    std::string IniFilePath; // Windows-style text; empty when no settings file was found
    std::string CommSettings;
    std::int16_t CommPort = 0;
    std::string GCodePath;
    std::string ListPath;
    std::string CSVInPath;
    std::string CSVOutPath;
};

// The scanner's port and its settings text as the operator chose them in the settings dialog.
struct CommChoice {
    int port = 0;
    std::string settings;
};

} // namespace quorlan::config
