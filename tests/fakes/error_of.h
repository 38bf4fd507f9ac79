// The error number a call fails with, 0 when it does not fail.
#pragma once

#include "platform/error.h"

#include <functional>

namespace quorlan::testing {

inline int errorOf(const std::function<void()>& call) {
    try {
        call();
    } catch (const platform::StationError& error) {
        return error.number();
    }
    return 0;
}

} // namespace quorlan::testing
