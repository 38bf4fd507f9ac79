#include "fakes/temp_folder.h"
#include "platform/path_mapper.h"

#include <gtest/gtest.h>
#include <map>

namespace quorlan::platform {
namespace {

PathMapper mapperWith(std::map<std::string, std::string> environment) {
    return PathMapper([environment](const std::string& name) -> std::optional<std::string> {
        const auto it = environment.find(name);
        return it == environment.end() ? std::nullopt : std::optional<std::string>(it->second);
    });
}

TEST(PathMapper, mapsWindowsPathsIntoTheDriveFolder) {
    const testing::TempFolder folder;
    folder.write("zunt/PRODUCT/Flange.CNC", "");
    folder.write("twins/abc", "");
    folder.write("twins/ABC", "");
    folder.write("twins/Exact", "");
    folder.write("twins/EXACT", "");
    const auto paths = mapperWith({{"QUORLAN_DRIVE_C", folder.path()}});
    const std::pair<std::string, std::string> cases[] = {
        {"C:", ""},
        {"c:\\ZUNT\\product\\flange.cnc", "/zunt/PRODUCT/Flange.CNC"},
        {"C:/zunt//PRODUCT\\\\NEW\\", "/zunt/PRODUCT/NEW/"},
        {"C:\\Missing\\ZUNT", "/Missing/ZUNT"},
        {"C:\\twins\\Abc", "/twins/ABC"},
        {"C:\\twins\\Exact", "/twins/Exact"},
        {"C:\\..\\..\\zunt\\.\\x\\..\\PRODUCT", "/zunt/PRODUCT"},
        {folder.path("ZUNT"), "/zunt"},
    };
    for (const auto& [windows, local] : cases) {
        EXPECT_EQ(paths.toLocal(windows), folder.path() + local) << windows;
    }
    EXPECT_EQ(paths.toLocal("/no/such/Place"), "/no/such/Place");
}

TEST(PathMapper, driveFallsBackToTheDataFolder) {
    const std::pair<std::map<std::string, std::string>, std::string> cases[] = {
        {{{"QUORLAN_DRIVE_D", "/mnt/d"}, {"XDG_DATA_HOME", "/data"}}, "/mnt/d/x"},
        {{{"QUORLAN_DRIVE_D", ""}, {"XDG_DATA_HOME", "/data"}}, "/data/quorlan/drive_d/x"},
        {{{"XDG_DATA_HOME", "relative"}, {"HOME", "/home/op"}}, "/home/op/.local/share/quorlan/drive_d/x"},
    };
    for (const auto& [environment, local] : cases) {
        EXPECT_EQ(mapperWith(environment).toLocal("d:\\x"), local);
    }
}

} // namespace
} // namespace quorlan::platform
