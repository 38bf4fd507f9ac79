// On Windows the station's Windows-style paths are local paths already.
#include "platform/path_mapper.h"

namespace quorlan::platform {

PathMapper::PathMapper() = default;

PathMapper::PathMapper(EnvironmentLookup environment) : m_environment(std::move(environment)) {}

std::string PathMapper::toLocal(std::string_view windowsPath) const {
    return std::string(windowsPath);
}

} // namespace quorlan::platform
