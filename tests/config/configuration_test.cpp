#include "config/configuration.h"
#include "fakes/fake_view.h"
#include "fakes/temp_folder.h"

#include <gtest/gtest.h>

namespace quorlan::config {
namespace {

using platform::Option;

class LoadConfigurationTest : public ::testing::Test {
protected:
    bool load() { return LoadConfiguration(settings, view, paths, programFolder, windowsDirectory); }
    // Loads a QZT.INI of the program folder holding these lines in section "KORVALDE".
    bool loadWith(const std::string& lines) {
        folder.write("bin/QZT.INI", "[KORVALDE]\r\n" + lines + "\r\n");
        settings = {};
        view = {};
        return load();
    }

    testing::TempFolder folder;
    std::string programFolder = folder.makeFolder("bin");
    std::string windowsDirectory = folder.path("windows");
    platform::PathMapper paths{[](const std::string&) { return std::nullopt; }};
    testing::FakeView view;
    StationSettings settings;
};

TEST_F(LoadConfigurationTest, missingFileIsReportedAndChangesNothing) {
    EXPECT_FALSE(load());
    ASSERT_EQ(view.messages.size(), 1u);
    EXPECT_EQ(view.messages[0].text, "File QZT.INI Not Found");
    EXPECT_EQ(view.messages[0].icon, platform::MessageIcon::Critical);
    EXPECT_TRUE(settings.IniFilePath.empty());
    EXPECT_EQ(settings.CommPort, 0);
    EXPECT_FALSE(view.editorOptionHidden);
    EXPECT_EQ(view.pollInterval, 1000);
    EXPECT_TRUE(view.optionChanges.empty());
}

TEST_F(LoadConfigurationTest, programFolderWinsOverWindowsDirectory) {
    folder.write("windows/QZT.INI", "[KORVALDE]\r\nCommPort=3\r\n");
    EXPECT_TRUE(load());
    EXPECT_EQ(settings.IniFilePath, windowsDirectory + "\\QZT.INI");
    EXPECT_EQ(settings.CommPort, 3);
    folder.write("bin/qzt.ini", "[KORVALDE]\r\nCommPort=2\r\n");
    EXPECT_TRUE(load());
    EXPECT_EQ(settings.IniFilePath, programFolder + "\\QZT.INI");
    EXPECT_EQ(settings.CommPort, 2);
}

TEST_F(LoadConfigurationTest, missingKeysGiveDefaults) {
    EXPECT_TRUE(loadWith(""));
    EXPECT_EQ(settings.CommSettings, "9600,N,8,1");
    EXPECT_EQ(settings.GCodePath, "C:\\ZUNT\\PRODUCT\\");
    EXPECT_EQ(settings.ListPath, "C:\\ZUNT\\PRODUCT\\lsx\\");
    EXPECT_EQ(settings.CSVInPath, "C:");
    EXPECT_EQ(settings.CSVOutPath, "C:\\Quorlan.csv");
    EXPECT_EQ(settings.CommPort, 1);
    EXPECT_TRUE(view.editorOptionHidden);
    const decltype(view.optionChanges) order{
        {Option::AutoStart, true}, {Option::Overwrite, true}, {Option::AutoClear, true}};
    EXPECT_EQ(view.optionChanges, order);
}

TEST_F(LoadConfigurationTest, valuesAreNormalised) {
    const struct {
        std::string line;
        std::string StationSettings::*field;
        std::string expected;
    } cases[] = {
        {"GCodePath=D:\\Progs", &StationSettings::GCodePath, "D:\\Progs\\"},
        {"GCodePath=D:\\Progs\\", &StationSettings::GCodePath, "D:\\Progs\\"},
        {"GCodePath=\"  \"", &StationSettings::GCodePath, "\\"},
        {"ListPath=' D:\\Lists '", &StationSettings::ListPath, "D:\\Lists"},
        {"CSVInPath=D:\\Csv\\\\", &StationSettings::CSVInPath, "D:\\Csv\\"},
        {"CSVOutPath=D:\\All.csv\\", &StationSettings::CSVOutPath, "D:\\All.csv"},
        {"Settings=" + std::string(200, '9'), &StationSettings::CommSettings, std::string(127, '9')},
    };
    for (const auto& c : cases) {
        EXPECT_TRUE(loadWith(c.line));
        EXPECT_EQ(settings.*c.field, c.expected) << c.line;
    }
}

TEST_F(LoadConfigurationTest, numbersOutOfRangeAreClamped) {
    const struct {
        std::string line;
        int pollInterval;
        std::int16_t port;
    } cases[] = {
        {"CommPollTime=99", 1000, 1},    {"CommPollTime=100", 100, 1},      {"CommPollTime=70000", 65535, 1},
        {"CommPort=99999", 1000, 32767}, {"CommPort=-99999", 1000, -32768},
    };
    for (const auto& c : cases) {
        EXPECT_TRUE(loadWith(c.line));
        EXPECT_EQ(view.pollInterval, c.pollInterval) << c.line;
        EXPECT_EQ(settings.CommPort, c.port) << c.line;
    }
    EXPECT_TRUE(loadWith("AutoStart= 0\r\nOverwrite=2\r\nAutoClear=-1"));
    EXPECT_FALSE(view.option(Option::AutoStart));
    EXPECT_TRUE(view.option(Option::Overwrite));
    EXPECT_FALSE(view.option(Option::AutoClear));
}

TEST_F(LoadConfigurationTest, writersUseTheFileThatWasFound) {
    folder.write("windows/QZT.INI", "[KORVALDE]\r\nAutoStart= 1\r\n");
    ASSERT_TRUE(load());
    SettingsFile file(settings, paths, windowsDirectory);
    settings.CommSettings = "19200,E,7,2";
    settings.CommPort = 3;
    SaveCommSettings(settings, file);
    SaveOption(file, Option::AutoStart, false);
    SaveOption(file, Option::ShowEditor, true);
    EXPECT_EQ(folder.read("windows/QZT.INI"), "[KORVALDE]\r\nAutoStart= 0\r\nSettings=19200,E,7,2\r\nCommPort=3\r\n");
}

TEST_F(LoadConfigurationTest, firstWriteWithoutSettingsFileCreatesOneInWindowsDirectory) {
    ASSERT_FALSE(load());
    SettingsFile file(settings, paths, windowsDirectory);
    EXPECT_EQ(file.getInt("AutoClear", 1), 1);
    SaveOption(file, Option::AutoClear, false);
    EXPECT_EQ(settings.IniFilePath, windowsDirectory + "\\QZT.INI");
    EXPECT_EQ(folder.read("windows/QZT.INI"), "[KORVALDE]\r\nAutoClear= 0\r\n");
    EXPECT_EQ(file.getInt("AutoClear", 1), 0);
}

} // namespace
} // namespace quorlan::config
