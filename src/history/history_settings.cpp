#include "history/history_settings.h"

#include "platform/text.h"

namespace quorlan::history {

namespace {

// A path is no legacy value: it is read whole, not through the 128-character buffer.
constexpr std::size_t kPathBufferSize = 4096;

} // namespace

HistorySettings readHistorySettings(platform::ProfileSection& settings, const platform::PathMapper& paths) {
    HistorySettings result;
    const std::string file = platform::trimBlanks(settings.getString(kHistoryFileKey, "", kPathBufferSize));
    if (file.empty()) {
        result.file = paths.dataFolder() + "/" + kHistoryFileName;
    } else {
        result.file = paths.toLocal(file);
        result.defaultPlace = false;
    }
    const long days = settings.getInt(kHistoryDaysKey, kDefaultHistoryDays);
    result.days = days < 0 || days > 100 * 366 ? kDefaultHistoryDays : static_cast<int>(days);
    return result;
}

} // namespace quorlan::history
