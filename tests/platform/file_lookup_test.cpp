#include "fakes/temp_folder.h"
#include "platform/error.h"
#include "platform/file_lookup.h"

#include <gtest/gtest.h>

namespace quorlan::platform {
namespace {

TEST(FileLookup, matchesPatternsIgnoringCase) {
    EXPECT_TRUE(matchesPattern("FLANGE.CSV", "f?ange.*"));
    EXPECT_TRUE(matchesPattern("README", "*.*"));
    EXPECT_TRUE(matchesPattern("a.b.c", "*.c"));
    EXPECT_FALSE(matchesPattern("FLANGE.CSV", "FLANGE"));
    EXPECT_FALSE(matchesPattern("ab", "a?b"));
}

TEST(FileLookup, findsOrdinaryVisibleFilesOnly) {
    const testing::TempFolder folder;
    folder.write("csv/FLANGE.CSV", "1");
    folder.write("csv/.hidden", "1");
    folder.makeFolder("csv/Sub");
    const PathMapper paths([&folder](const std::string&) { return folder.path(); });
    const std::pair<const char*, bool> cases[] = {
        {"C:\\CSV\\flange.csv", true}, {"C:\\csv\\*.csv", true}, {"C:\\csv\\*.txt", false},
        {"C:\\csv\\.hidden", false},   {"C:\\csv\\Sub", false},  {"C:\\csv\\", false},
    };
    for (const auto& [path, found] : cases) {
        EXPECT_EQ(findFile(path, paths), found) << path;
    }
    try {
        findFile("C:\\nowhere\\FLANGE.CSV", paths);
        ADD_FAILURE() << "a missing folder must fail the lookup";
    } catch (const StationError& error) {
        EXPECT_EQ(error.number(), errc::kPathNotFound);
    }
}

} // namespace
} // namespace quorlan::platform
