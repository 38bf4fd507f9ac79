// A pauser that does not wait: it records the pauses and runs what the test wants to happen
// "meanwhile" (a nested timer tick, say).
#pragma once

#include "platform/pauser.h"

#include <functional>
#include <vector>

namespace quorlan::testing {

class FakePauser final : public platform::Pauser {
public:
    void pauseMilliseconds(int milliseconds) override {
        pauses.push_back(milliseconds);
        if (duringPause) {
            duringPause();
        }
    }

    std::vector<int> pauses;
    std::function<void()> duringPause;
};

} // namespace quorlan::testing
