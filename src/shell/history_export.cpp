#include "shell/history_export.h"

#include "config/configuration.h"
#include "config/station_settings.h"
#include "history/failure.h"
#include "history/history_csv.h"
#include "history/history_settings.h"
#include "history/schema.h"
#include "platform/ini_file.h"

#include <filesystem>
#include <limits>

namespace quorlan::shell {

namespace {

// The settings the station would read, or none (the defaults) without a settings file.
history::HistorySettings historySettings(const HostFolders& folders, const platform::PathMapper& paths) {
    const auto ini = config::settingsFileLocation(paths, folders.programFolder, folders.windowsDirectory);
    platform::IniFileSection section(ini ? paths.toLocal(*ini) : std::string(), config::kSection);
    return history::readHistorySettings(section, paths);
}

} // namespace

HistoryExportResult exportHistory(const HistoryExportRequest& request, const HostFolders& folders,
                                  const platform::PathMapper& paths) {
    const std::string file = historySettings(folders, paths).file;
    std::error_code ignored;
    if (!std::filesystem::exists(file, ignored)) {
        return {1, "There is no history at " + file + " yet: a station records it there from its first scan."};
    }
    history::Filter filter;
    if (request.sinceMs || request.untilMs) {
        filter.range = history::TimeRange{request.sinceMs.value_or(std::numeric_limits<std::int64_t>::min()),
                                          request.untilMs.value_or(std::numeric_limits<std::int64_t>::max())};
    }
    try {
        history::HistoryReader reader(file);
        const auto count = history::exportCsv(reader, filter, request.csvFile);
        return {0, "Exported " + std::to_string(count) + (count == 1 ? " event" : " events") + " of " + file + " to " +
                       request.csvFile + "."};
    } catch (const history::sql::Error& error) {
        return {1, "The history cannot be read: " + history::describeFailure(file, error) + "."};
    } catch (const history::SchemaError& error) {
        return {1, "The history cannot be read: " + history::describeFailure(file, error) + "."};
    } catch (const std::exception& error) { // the CSV file
        return {1, error.what()};
    }
}

} // namespace quorlan::shell
