// Where the station's scans and their outcomes go: the one call the scan path makes.
#pragma once

#include "history/event.h"

namespace quorlan::history {

class Recorder {
public:
    virtual ~Recorder() = default;
    // Keeps the event. Never throws, and never waits on the disk for more than one short commit:
    // a history that cannot be written must not cost a scan.
    virtual void record(Event event) = 0;
};

} // namespace quorlan::history
