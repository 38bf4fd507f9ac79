// Settings and fixed paths are Windows-style text ("C:\ZUNT\PRODUCT\", "D:\L\JOB1.LST") and are
// kept so; they are mapped to local files only when a file is touched. A backslash becomes "/",
// a drive X: becomes $QUORLAN_DRIVE_X or else $XDG_DATA_HOME/quorlan/drive_x, a POSIX path stays,
// and a component that does not exist under its exact name is matched ignoring letter case.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace quorlan::platform {

class PathMapper {
public:
    using EnvironmentLookup = std::function<std::optional<std::string>(const std::string& name)>;

    // The process environment.
    PathMapper();
    explicit PathMapper(EnvironmentLookup environment);

    std::string toLocal(std::string_view windowsPath) const;

    // The station's own data: $XDG_DATA_HOME/quorlan, else ~/.local/share/quorlan.
    std::string dataFolder() const;

private:
    std::string driveRoot(char drive) const;
    std::optional<std::string> nonEmpty(const std::string& name) const;

    EnvironmentLookup m_environment;
};

} // namespace quorlan::platform
