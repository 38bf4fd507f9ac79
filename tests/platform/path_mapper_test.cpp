#include "platform/path_mapper.h"
#include "platform/temp_folder.h"

#include <gtest/gtest.h>
#include <map>

namespace quorlan::platform {
namespace {

using testing::TempFolder;

PathMapper mapperWith(std::map<std::string, std::string> environment) {
    return PathMapper([environment](const std::string& name) -> std::optional<std::string> {
        const auto it = environment.find(name);
        return it == environment.end() ? std::nullopt : std::optional<std::string>(it->second);
    });
}

class PathMapperTest : public ::testing::Test {
protected:
    PathMapperTest() {
        folder.makeFolder("c/zunt/PRODUCT/lsx");
        folder.write("c/zunt/PRODUCT/Flange.CNC", "");
        folder.write("c/twins/ABC", "");
        folder.write("c/twins/abc", "");
        folder.write("c/twins/Exact", "");
        folder.write("c/twins/EXACT", "");
    }

    std::string drive(const std::string& rest) const { return folder.path("c") + rest; }

    TempFolder folder;
    PathMapper paths = mapperWith({{"QUORLAN_DRIVE_C", folder.path("c")}});
};

TEST_F(PathMapperTest, mapsWindowsPathsIntoTheDriveFolder) {
    const struct {
        std::string windows;
        std::string local;
    } cases[] = {
        {"C:", drive("")},
        {"C:\\", drive("/")},
        {"c:\\ZUNT\\product\\flange.cnc", drive("/zunt/PRODUCT/Flange.CNC")},
        {"C:/zunt//PRODUCT\\\\lsx\\", drive("/zunt/PRODUCT/lsx/")},
        {"C:\\ZUNT\\PRODUCT\\NEW\\Job.LST", drive("/zunt/PRODUCT/NEW/Job.LST")},
        {"C:\\Missing\\ZUNT", drive("/Missing/ZUNT")},
        {"C:\\twins\\Abc", drive("/twins/ABC")},
        {"C:\\twins\\Exact", drive("/twins/Exact")},
        {"C:\\..\\..\\zunt\\.\\x\\..\\PRODUCT", drive("/zunt/PRODUCT")},
        {"C:ZUNT", drive("/zunt")},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(paths.toLocal(c.windows), c.local) << c.windows;
    }
}

TEST_F(PathMapperTest, posixPathStaysAndIsMatchedIgnoringCase) {
    EXPECT_EQ(paths.toLocal(drive("/ZUNT/product/")), drive("/zunt/PRODUCT/"));
    EXPECT_EQ(paths.toLocal("/no/such/Place"), "/no/such/Place");
}

TEST(PathMapperDrive, fallsBackToTheDataFolder) {
    const struct {
        std::map<std::string, std::string> environment;
        std::string local;
    } cases[] = {
        {{{"QUORLAN_DRIVE_D", "/mnt/d"}, {"XDG_DATA_HOME", "/data"}}, "/mnt/d/x"},
        {{{"QUORLAN_DRIVE_D", ""}, {"XDG_DATA_HOME", "/data"}}, "/data/quorlan/drive_d/x"},
        {{{"XDG_DATA_HOME", "/data"}, {"HOME", "/home/op"}}, "/data/quorlan/drive_d/x"},
        {{{"XDG_DATA_HOME", "relative"}, {"HOME", "/home/op"}}, "/home/op/.local/share/quorlan/drive_d/x"},
        {{{"HOME", "/home/op"}}, "/home/op/.local/share/quorlan/drive_d/x"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(mapperWith(c.environment).toLocal("d:\\x"), c.local);
    }
}

} // namespace
} // namespace quorlan::platform
