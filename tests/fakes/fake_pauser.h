// A pauser that does not wait: it records the pauses, moves the test's clock by each (when it
// has one), and runs what the test wants to happen "meanwhile" (a nested timer tick, say).
#pragma once

#include "fakes/fake_clock.h"
#include "platform/pauser.h"

#include <functional>
#include <vector>

namespace quorlan::testing {

class FakePauser final : public platform::Pauser {
public:
    void pauseMilliseconds(int milliseconds) override {
        pauses.push_back(milliseconds);
        if (clock != nullptr) {
            clock->advanceMs(milliseconds);
        }
        if (duringPause) {
            duringPause();
        }
    }

    std::vector<int> pauses;
    FakeClock* clock = nullptr;
    std::function<void()> duringPause;
};

} // namespace quorlan::testing
