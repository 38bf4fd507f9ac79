#include "platform/clock.h"

#include <chrono>

namespace quorlan::platform {

namespace {

template <typename Clock> std::int64_t millisecondsOf() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now().time_since_epoch()).count();
}

} // namespace

std::int64_t SystemClock::wallMs() {
    return millisecondsOf<std::chrono::system_clock>();
}

std::int64_t SystemClock::steadyMs() {
    return millisecondsOf<std::chrono::steady_clock>();
}

} // namespace quorlan::platform
