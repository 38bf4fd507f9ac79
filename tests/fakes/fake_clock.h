// A clock that moves only when the test moves it.
#pragma once

#include "platform/clock.h"

namespace quorlan::testing {

class FakeClock final : public platform::Clock {
public:
    std::int64_t wallMs() override { return wall; }
    std::int64_t steadyMs() override { return steady; }
    void advanceMs(std::int64_t milliseconds) {
        wall += milliseconds;
        steady += milliseconds;
    }

    std::int64_t wall = 1714651200000; // 2024-05-02 14:00 in Berlin
    std::int64_t steady = 5000;
};

} // namespace quorlan::testing
