#include "platform/pauser.h"

#include "platform/error.h"

#include <cmath>
#include <cstdint>

namespace quorlan::platform {

int pauseMillisecondsFor(float seconds) {
    const double product = static_cast<double>(seconds) * 1000.0;
    const double rounded = std::nearbyint(product); // default rounding mode: halves to even
    if (!std::isfinite(rounded) || rounded < INT32_MIN || rounded > INT32_MAX) {
        throw StationError(errc::kOverflow);
    }
    return static_cast<int>(rounded);
}

void pauseSeconds(Pauser& pauser, float seconds) {
    const int milliseconds = pauseMillisecondsFor(seconds);
    pauser.pauseMilliseconds(milliseconds < 0 ? 0 : milliseconds);
}

} // namespace quorlan::platform
