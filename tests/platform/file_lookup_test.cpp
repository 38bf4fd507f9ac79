#include "platform/error.h"
#include "platform/file_lookup.h"
#include "platform/temp_folder.h"

#include <cerrno>
#include <gtest/gtest.h>

namespace quorlan::platform {
namespace {

using testing::TempFolder;

TEST(FileLookup, matchesPatternsIgnoringCase) {
    const struct {
        const char* name;
        const char* pattern;
        bool matches;
    } cases[] = {
        {"FLANGE.CSV", "flange.csv", true},
        {"FLANGE.CSV", "*.CSV", true},
        {"FLANGE.CSV", "F?ANGE.*", true},
        {"FLANGE.CSV", "*", true},
        {"README", "*.*", true},
        {"FLANGE.CSV", "*.TXT", false},
        {"FLANGE.CSV", "FLANGE", false},
        {"FLANGE.CSV", "?LANGE.CS", false},
        {"a.b.c", "*.c", true},
        {"abc", "a*b*c*", true},
        {"ab", "a?b", false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(matchesPattern(c.name, c.pattern), c.matches) << c.name << " ~ " << c.pattern;
    }
}

TEST(FileLookup, findsOrdinaryVisibleFilesOnly) {
    const TempFolder folder;
    folder.write("csv/FLANGE.CSV", "1");
    folder.write("csv/.hidden", "1");
    folder.makeFolder("csv/Sub");
    const PathMapper paths([&folder](const std::string& name) -> std::optional<std::string> {
        return name == "QUORLAN_DRIVE_C" ? std::optional<std::string>(folder.path()) : std::nullopt;
    });
    const struct {
        const char* path;
        bool found;
    } cases[] = {
        {"C:\\csv\\FLANGE.CSV", true}, {"C:\\CSV\\flange.csv", true},
        {"C:\\csv\\*.csv", true},      {"C:\\csv\\F*", true},
        {"C:\\csv\\*.txt", false},     {"C:\\csv\\.hidden", false},
        {"C:\\csv\\.*", false},        {"C:\\csv\\Sub", false},
        {"C:\\csv\\", false},          {"C:\\csv", false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(findFile(c.path, paths), c.found) << c.path;
    }
    try {
        findFile("C:\\nowhere\\FLANGE.CSV", paths);
        ADD_FAILURE() << "a missing folder must fail the lookup";
    } catch (const StationError& error) {
        EXPECT_EQ(error.number(), errc::kPathNotFound);
    }
}

TEST(FileLookup, mapsSystemErrorsToStationNumbers) {
    const std::pair<int, int> cases[] = {
        {ENOENT, 76}, {ENOTDIR, 76}, {ENAMETOOLONG, 76}, {EIO, 57},    {ENOMEDIUM, 71},
        {ENXIO, 68},  {ENODEV, 68},  {EACCES, 70},       {EMFILE, 75},
    };
    for (const auto& [systemError, number] : cases) {
        EXPECT_EQ(lookupErrorNumber(systemError), number) << systemError;
    }
}

} // namespace
} // namespace quorlan::platform
