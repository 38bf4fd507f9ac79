// What the station itself went through, beside its scans: started and stopping, the control lost
// and back, the scanner's port lost and back. A notice is kept in the history with an id from the
// same sequence as the scan events, so that whoever follows the history by id (the event
// publisher) meets scans and notices in the order they happened.
#pragma once

#include "history/event.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <variant>

namespace quorlan::history {

// The names are stored in the database and published; they never change.
enum class NoticeKind {
    StationStarted,     // subject: the version
    StationStopping,    // subject: the version
    ControlUnreachable, // subject: the control's address; detail: why
    ControlBack,        // subject: the control's address
    PortLost,           // subject: the scanner's device; detail: why
    PortBack,           // subject: the scanner's device
};

inline constexpr NoticeKind kLastNoticeKind = NoticeKind::PortBack;

std::string_view noticeName(NoticeKind kind);
std::optional<NoticeKind> noticeFromName(std::string_view name);

struct Notice {
    std::int64_t id = 0;     // given by the store, from the events' sequence
    std::int64_t timeMs = 0; // milliseconds since 1970-01-01 UTC
    NoticeKind kind = NoticeKind::StationStarted;
    std::string subject; // UTF-8, see the kinds
    std::string detail;  // UTF-8, empty when there is nothing to add

    bool operator==(const Notice&) const = default;
};

// One item of the history in id order: a scan's event or a notice.
using Entry = std::variant<Event, Notice>;

inline std::int64_t idOf(const Entry& entry) {
    return std::visit([](const auto& item) { return item.id; }, entry);
}

} // namespace quorlan::history
