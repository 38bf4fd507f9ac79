#include "config/configuration.h"
#include "fakes/fake_view.h"
#include "platform/temp_folder.h"

#include <filesystem>
#include <gtest/gtest.h>

namespace quorlan::config {
namespace {

using platform::Option;

class LoadConfigurationTest : public ::testing::Test {
protected:
    bool load() { return LoadConfiguration(settings, view, paths, programFolder, windowsDirectory); }
    // Loads a QZT.INI of the program folder holding the lines of section "KORVALDE".
    bool loadWith(const std::string& lines) {
        folder.write("bin/QZT.INI", "[KORVALDE]\r\n" + lines + "\r\n");
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
    EXPECT_EQ(view.messages[0].buttons, platform::MessageButtons::Ok);
    EXPECT_TRUE(settings.IniFilePath.empty());
    EXPECT_TRUE(settings.CommSettings.empty());
    EXPECT_TRUE(settings.GCodePath.empty());
    EXPECT_EQ(settings.CommPort, 0);
    EXPECT_FALSE(view.editorOptionHidden);
    EXPECT_EQ(view.pollInterval, 1000);
    EXPECT_TRUE(view.optionChanges.empty());
}

TEST_F(LoadConfigurationTest, programFolderWinsOverWindowsDirectory) {
    folder.write("bin/qzt.ini", "[KORVALDE]\r\nCommPort=2\r\n");
    folder.write("windows/QZT.INI", "[KORVALDE]\r\nCommPort=3\r\n");
    EXPECT_TRUE(load());
    EXPECT_EQ(settings.IniFilePath, programFolder + "\\QZT.INI");
    EXPECT_EQ(settings.CommPort, 2);
}

TEST_F(LoadConfigurationTest, windowsDirectoryIsSearchedSecond) {
    folder.write("windows/QZT.INI", "[KORVALDE]\r\nCommPort=3\r\n");
    EXPECT_TRUE(load());
    EXPECT_EQ(settings.IniFilePath, windowsDirectory + "\\QZT.INI");
    EXPECT_EQ(settings.CommPort, 3);
    EXPECT_TRUE(view.messages.empty());
}

TEST_F(LoadConfigurationTest, missingKeysGiveDefaults) {
    EXPECT_TRUE(loadWith(""));
    EXPECT_EQ(settings.CommSettings, "9600,N,8,1");
    EXPECT_EQ(settings.GCodePath, "C:\\ZUNT\\PRODUCT\\");
    EXPECT_EQ(settings.ListPath, "C:\\ZUNT\\PRODUCT\\lsx\\");
    EXPECT_EQ(settings.CSVInPath, "C:");
    EXPECT_EQ(settings.CSVOutPath, "C:\\Quorlan.csv");
    EXPECT_EQ(settings.CommPort, 1);
    EXPECT_EQ(view.pollInterval, 1000);
    EXPECT_TRUE(view.editorOptionHidden);
    const std::vector<std::pair<Option, bool>> order{
        {Option::AutoStart, true}, {Option::Overwrite, true}, {Option::AutoClear, true}};
    EXPECT_EQ(view.optionChanges, order);
}

TEST_F(LoadConfigurationTest, pathsAreNormalised) {
    const struct {
        std::string line;
        std::string StationSettings::*field;
        std::string expected;
    } cases[] = {
        {"GCodePath=D:\\Progs", &StationSettings::GCodePath, "D:\\Progs\\"},
        {"GCodePath=D:\\Progs\\", &StationSettings::GCodePath, "D:\\Progs\\"},
        {"GCodePath=", &StationSettings::GCodePath, "\\"},
        {"GCodePath=\"  D:\\Progs  \"", &StationSettings::GCodePath, "D:\\Progs\\"},
        {"ListPath=D:\\Lists", &StationSettings::ListPath, "D:\\Lists"},
        {"ListPath=' D:\\Lists\\ '", &StationSettings::ListPath, "D:\\Lists\\"},
        {"CSVInPath=D:\\Csv\\", &StationSettings::CSVInPath, "D:\\Csv"},
        {"CSVInPath=D:\\Csv\\\\", &StationSettings::CSVInPath, "D:\\Csv\\"},
        {"CSVInPath=", &StationSettings::CSVInPath, ""},
        {"CSVOutPath=D:\\All.csv", &StationSettings::CSVOutPath, "D:\\All.csv"},
        {"Settings=19200,E,7,2", &StationSettings::CommSettings, "19200,E,7,2"},
        {"Settings=" + std::string(200, '9'), &StationSettings::CommSettings, std::string(127, '9')},
    };
    for (const auto& c : cases) {
        settings = {};
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
        {"CommPollTime=99", 1000, 1}, {"CommPollTime=100", 100, 1},    {"CommPollTime=70000", 65535, 1},
        {"CommPollTime=-5", 1000, 1}, {"CommPort=99999", 1000, 32767}, {"CommPort=-99999", 1000, -32768},
        {"CommPort=abc", 1000, 0},    {"CommPort= 4", 1000, 4},
    };
    for (const auto& c : cases) {
        view.pollInterval = 1000;
        EXPECT_TRUE(loadWith(c.line));
        EXPECT_EQ(view.pollInterval, c.pollInterval) << c.line;
        EXPECT_EQ(settings.CommPort, c.port) << c.line;
    }
}

TEST_F(LoadConfigurationTest, optionValuesBecomeTickedOrClear) {
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
    SaveOption(file, Option::AutoClear, true);
    EXPECT_EQ(folder.read("windows/QZT.INI"),
              "[KORVALDE]\r\nAutoStart= 0\r\nSettings=19200,E,7,2\r\nCommPort=3\r\nAutoClear= 1\r\n");
    EXPECT_EQ(file.getString("Settings", "", kStringBufferSize), "19200,E,7,2");
}

TEST_F(LoadConfigurationTest, firstWriteWithoutSettingsFileCreatesOneInWindowsDirectory) {
    ASSERT_FALSE(load());
    SettingsFile file(settings, paths, windowsDirectory);
    EXPECT_EQ(file.getInt("AutoClear", 1), 1);
    SaveOption(file, Option::AutoClear, false);
    EXPECT_EQ(settings.IniFilePath, windowsDirectory + "\\QZT.INI");
    EXPECT_EQ(folder.read("windows/QZT.INI"), "[KORVALDE]\r\nAutoClear= 0\r\n");
    EXPECT_EQ(file.getInt("AutoClear", 1), 0);
    EXPECT_FALSE(std::filesystem::exists(folder.path("bin/QZT.INI")));
}

} // namespace
} // namespace quorlan::config
