#include "history/event.h"

#include "history/notice.h"
#include "platform/cp1252.h"
#include "platform/text.h"

#include <array>

namespace quorlan::history {

namespace {

constexpr std::array<std::string_view, 7> kKindNames = {"label",      "set-part", "field-code", "2d",
                                                        "compressed", "manual",   "command"};
constexpr std::array<std::string_view, 6> kOutcomeNames = {"queued",  "collected", "done",
                                                           "refused", "failed",    "reached-after-all"};
static_assert(kKindNames.size() == static_cast<std::size_t>(kLastScanKind) + 1);
static_assert(kOutcomeNames.size() == static_cast<std::size_t>(kLastOutcome) + 1);
constexpr std::array<std::string_view, 6> kNoticeNames = {"station-started", "station-stopping", "control-unreachable",
                                                          "control-back",    "port-lost",        "port-back"};
static_assert(kNoticeNames.size() == static_cast<std::size_t>(kLastNoticeKind) + 1);

template <typename Enum, std::size_t N>
std::optional<Enum> fromName(const std::array<std::string_view, N>& names, std::string_view name) {
    for (std::size_t i = 0; i < N; ++i) {
        if (names[i] == name) {
            return static_cast<Enum>(i);
        }
    }
    return std::nullopt;
}

} // namespace

std::string_view kindName(ScanKind kind) {
    return kKindNames.at(static_cast<std::size_t>(kind));
}

std::string_view outcomeName(Outcome outcome) {
    return kOutcomeNames.at(static_cast<std::size_t>(outcome));
}

std::optional<ScanKind> kindFromName(std::string_view name) {
    return fromName<ScanKind>(kKindNames, name);
}

std::optional<Outcome> outcomeFromName(std::string_view name) {
    return fromName<Outcome>(kOutcomeNames, name);
}

std::string_view noticeName(NoticeKind kind) {
    return kNoticeNames.at(static_cast<std::size_t>(kind));
}

std::optional<NoticeKind> noticeFromName(std::string_view name) {
    return fromName<NoticeKind>(kNoticeNames, name);
}

bool isPartOutcome(Outcome outcome) {
    return outcome == Outcome::Queued || outcome == Outcome::Refused || outcome == Outcome::Failed ||
           outcome == Outcome::ReachedAfterAll;
}

std::string recordedScan(std::string_view stationBytes) {
    return platform::cp1252ToUtf8(platform::visibleText(stationBytes, kRecordedScanLength));
}

std::string recordedText(std::string_view stationBytes) {
    return platform::cp1252ToUtf8(platform::escapeControls(stationBytes));
}

} // namespace quorlan::history
