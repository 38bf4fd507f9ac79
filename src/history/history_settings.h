// Where the history is kept and for how long: the keys "HistoryFile" and "HistoryDays" of the
// settings file. Neither is there in an existing installation, and neither needs to be.
#pragma once

#include "platform/path_mapper.h"
#include "platform/profile.h"

#include <string>

namespace quorlan::history {

inline constexpr const char* kHistoryFileKey = "HistoryFile";
inline constexpr const char* kHistoryDaysKey = "HistoryDays";
inline constexpr int kDefaultHistoryDays = 365;
inline constexpr const char* kHistoryFileName = "history.sqlite";

struct HistorySettings {
    std::string file;               // a local path
    bool defaultPlace = true;       // the file is the default one, whose folder may be made
    int days = kDefaultHistoryDays; // 0 keeps every event
};

// HistoryFile, a Windows-style or POSIX path, else the station's data folder; HistoryDays, else
// 365 (also for a value below 0).
HistorySettings readHistorySettings(platform::ProfileSection& settings, const platform::PathMapper& paths);

} // namespace quorlan::history
