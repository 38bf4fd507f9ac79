// PauseSeconds: waits while the window keeps processing its events, so timer ticks and clicks
// can run nested inside the caller.
#pragma once

namespace quorlan::platform {

class Pauser {
public:
    virtual ~Pauser() = default;
    virtual void pauseMilliseconds(int milliseconds) = 0;
};

// Seconds to whole milliseconds, halves to the even neighbour; StationError 6 (overflow) when
// the product does not fit a 32-bit integer.
int pauseMillisecondsFor(float seconds);

// PauseSeconds itself.
void pauseSeconds(Pauser& pauser, float seconds);

} // namespace quorlan::platform
