// The time, as a seam: tests give the station a clock they move by hand.
#pragma once

#include <cstdint>

namespace quorlan::platform {

class Clock {
public:
    virtual ~Clock() = default;
    // Milliseconds since 1970 UTC: when something happened, for people to read.
    virtual std::int64_t wallMs() = 0;
    // Milliseconds on a clock that is never set back: how long ago something happened.
    virtual std::int64_t steadyMs() = 0;
};

class SystemClock final : public Clock {
public:
    std::int64_t wallMs() override;
    std::int64_t steadyMs() override;
};

} // namespace quorlan::platform
