// The station's side of its events: what the scan path and the station's watchers see of
// publishing, whatever carries the events away.
#pragma once

#include <chrono>
#include <string>
#include <vector>

namespace quorlan::events {

class Publisher {
public:
    virtual ~Publisher() = default;
    // The history has something new to send: a nudge that never waits, the scan path's one cost.
    virtual void wake() = 0;
    // What publishing has to tell the operator since the last call: a failure once, and the
    // recovery once.
    virtual std::vector<std::string> takeReports() = 0;
    // The station is stopping: what the history holds goes out, the last of it within grace, and
    // then the word that the station is offline. What did not go out goes after the next start.
    virtual void stop(std::chrono::milliseconds grace) = 0;
};

} // namespace quorlan::events
