// Pauses by running a local event loop, so the window keeps painting and its timer keeps
// ticking while label processing waits.
#pragma once

#include "platform/pauser.h"

namespace quorlan::platform {

class EventLoopPauser final : public Pauser {
public:
    void pauseMilliseconds(int milliseconds) override;
};

} // namespace quorlan::platform
