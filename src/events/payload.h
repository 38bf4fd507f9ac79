// What the station publishes, topic by topic. Every payload is one JSON object in UTF-8.
//
//   <prefix>/status          retained: "online" with the version, the control's address, the
//                            last scan and today's counts; "offline" when the station stopped,
//                            or by the broker (the last will) when its connection was lost
//   <prefix>/events/scan     each scan and its outcome, as the history keeps it
//   <prefix>/events/control  the control unreachable, and back
//   <prefix>/events/port     the scanner's port lost, and back
//   <prefix>/events/station  the station started, and stopping
//
// Every event carries "id" (unique and increasing over all the topics of a station: a consumer
// drops one it has seen, as one may come twice after a broken connection), "time" (local, with
// its offset from UTC, to the millisecond) and "event" (its name).
#pragma once

#include "history/notice.h"
#include "history/outbox.h"

#include <string>

namespace quorlan::events {

std::string eventTopic(const std::string& prefix, const history::Entry& entry);
std::string eventPayload(const history::Entry& entry);

std::string statusTopic(const std::string& prefix);

struct StationStatus {
    bool online = true;
    std::int64_t timeMs = 0;
    std::int64_t sinceMs = 0; // when the station started
    std::string version;
    std::string control;
    history::Tally today;
};

std::string statusPayload(const StationStatus& status);
// The last will: what the broker says when the station is gone without a word.
std::string willPayload(const std::string& version, const std::string& control);

// A JSON string (quoted) of UTF-8 text; bytes that are not UTF-8 become U+FFFD.
std::string jsonString(std::string_view text);

} // namespace quorlan::events
