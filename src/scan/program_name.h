// Program file names as labels give them: "FLANGE" names FLANGE.CNC.
#pragma once

#include "platform/text.h"

#include <string>
#include <string_view>

namespace quorlan::scan {

inline constexpr std::string_view kProgramExtension = ".CNC";

// In any letter case: PART7.cnc keeps its own extension.
inline bool hasProgramExtension(std::string_view name) {
    return platform::endsWith(platform::toUpper(name), kProgramExtension);
}

inline std::string withProgramExtension(std::string name) {
    if (!hasProgramExtension(name)) {
        name += kProgramExtension;
    }
    return name;
}

} // namespace quorlan::scan
