// quorlan --history-export: the history that the settings name, written to a CSV file without a
// window. It only reads, so it may run while a station records.
#pragma once

#include "platform/path_mapper.h"
#include "shell/station.h"

#include <cstdint>
#include <optional>
#include <string>

namespace quorlan::shell {

struct HistoryExportRequest {
    std::string csvFile;
    std::optional<std::int64_t> sinceMs;
    std::optional<std::int64_t> untilMs; // not included
};

struct HistoryExportResult {
    int exitCode = 0;
    std::string message; // for standard output when it worked, standard error when not
};

HistoryExportResult exportHistory(const HistoryExportRequest& request, const HostFolders& folders,
                                  const platform::PathMapper& paths);

} // namespace quorlan::shell
