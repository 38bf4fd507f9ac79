// Where the station's scans and their outcomes go, and what the station itself goes through: the
// calls the scan path and the station's watchers make.
#pragma once

#include "history/event.h"
#include "history/notice.h"

namespace quorlan::history {

class Recorder {
public:
    virtual ~Recorder() = default;
    // Keeps the event. Never throws, and never waits on the disk for more than one short commit:
    // a history that cannot be written must not cost a scan.
    virtual void record(Event event) = 0;
    // Keeps a notice, on the same terms.
    virtual void note(Notice notice) = 0;
};

} // namespace quorlan::history
