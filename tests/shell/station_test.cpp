#include "cnc/simulator.h"
#include "fakes/fake_clock.h"
#include "fakes/fake_desktop.h"
#include "fakes/fake_pauser.h"
#include "fakes/fake_port_settings_prompt.h"
#include "fakes/fake_serial_port.h"
#include "fakes/fake_view.h"
#include "fakes/temp_folder.h"
#include "platform/error.h"
#include "shell/station.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <optional>
#include <string>
#include <vector>

namespace quorlan::shell {
namespace {

namespace fs = std::filesystem;
using testing::FakePauser;
using testing::FakeSerialPort;
using testing::FakeView;

class StationTest : public ::testing::Test {
protected:
    StationTest() {
        fs::create_directories(root / "program");
        fs::create_directories(root / "windows");
        simulator.setJournal([this](const std::string& line) { journal.push_back(line); });
    }

    void writeSettings(const std::string& text) { std::ofstream(root / "windows" / "QZT.INI") << text; }

    Station& station(const std::string& commandLine, std::chrono::milliseconds listWait = std::chrono::seconds(5)) {
        StationOptions options;
        options.commandLine = commandLine;
        options.listWait = listWait;
        options.clock = &clock;
        pauser.clock = &clock;
        m_station =
            std::make_unique<Station>(view, pauser, port, simulator, prompt, paths, desktop,
                                      HostFolders{(root / "program").string(), (root / "windows").string()}, options);
        return *m_station;
    }

    bool journalHas(const std::string& line) const {
        return std::find(journal.begin(), journal.end(), line) != journal.end();
    }

    const testing::TempFolder folder;
    const fs::path& root = folder.root();
    FakeView view;
    testing::FakeClock clock;
    FakePauser pauser;
    FakeSerialPort port;
    testing::FakePortSettingsPrompt prompt;
    testing::FakeDesktop desktop;
    platform::PathMapper paths{[this](const std::string& name) -> std::optional<std::string> {
        if (name == "HOME") {
            return root.string();
        }
        return std::nullopt;
    }};
    cnc::Simulator simulator{paths};
    std::vector<std::string> journal;
    std::unique_ptr<Station> m_station;
};

TEST_F(StationTest, noappAnywhereInAnyCaseSkipsTheWorkList) {
    struct Case {
        std::string commandLine;
        bool takesList;
    };
    for (const Case& c : std::vector<Case>{{"", true}, {"KEEP", true}, {"noapp", false}, {"csv NoApp keep", false}}) {
        journal.clear();
        ASSERT_TRUE(station(c.commandLine).start()) << c.commandLine;
        EXPECT_EQ(journalHas("NewList"), c.takesList) << c.commandLine;
        EXPECT_TRUE(journalHas("CreateApplication")) << c.commandLine;
    }
}

TEST_F(StationTest, missingSettingsFileIsReportedAndStartUpGoesOn) {
    auto& s = station("NOAPP");
    EXPECT_TRUE(s.start());
    ASSERT_FALSE(view.messages.empty());
    EXPECT_EQ(view.messages[0].text, "File QZT.INI Not Found");
    EXPECT_FALSE(view.editorOptionHidden);
    EXPECT_EQ(port.openCalls, 0);
}

TEST_F(StationTest, foundSettingsOpenThePortAndShowIt) {
    writeSettings("[KORVALDE]\r\nCommPort=2\r\nSettings=19200,E,7,1\r\n");
    EXPECT_TRUE(station("").start());
    EXPECT_TRUE(port.isOpen());
    EXPECT_EQ(port.openedPort, 2);
    EXPECT_EQ(view.portText, "COM2:19200,E,7,1");
}

TEST_F(StationTest, optionThatCannotBeSavedIsReportedAndTheFileStaysAsItWas) {
    const std::string text = "[KORVALDE]\r\nAutoStart= 0\r\n";
    writeSettings(text);
    const fs::path file = root / "windows" / "QZT.INI";
    fs::permissions(file, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
    ASSERT_TRUE(station("NOAPP").start());
    m_station->optionChanged(platform::Option::AutoStart, true);
    EXPECT_EQ(view.status(), "The setting AutoStart was not saved: " + file.string() + " cannot be written.");
    std::ifstream in(file, std::ios::binary);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), text);
    EXPECT_EQ(std::distance(fs::directory_iterator(root / "windows"), {}), 1) << "no temporary file left";
}

TEST_F(StationTest, controlThatNeverDeliversAListEndsStartUpAfterTheWait) {
    writeSettings("[KORVALDE]\r\n");
    simulator.setNullNewLists(1'000'000'000);
    EXPECT_FALSE(station("", std::chrono::milliseconds(50)).start());
    ASSERT_FALSE(view.messages.empty());
    EXPECT_EQ(view.messages.back().text, "Koridan Connection Failed!");
    EXPECT_EQ(view.messages.back().title, "ERROR");
    EXPECT_EQ(view.messages.back().icon, platform::MessageIcon::Critical);
    EXPECT_FALSE(pauser.pauses.empty()) << "the wait keeps the window alive";
}

TEST_F(StationTest, controlThatCannotBeCreatedEndsStartUpTheSameWay) {
    writeSettings("[KORVALDE]\r\n");
    simulator.failNext("CreateApplication", platform::errc::kCannotCreateObject);
    EXPECT_FALSE(station("").start());
    ASSERT_EQ(view.messages.size(), 2U);
    EXPECT_EQ(view.messages[0].text.rfind("Unexpected error # 429 occured: ", 0), 0U) << view.messages[0].text;
    EXPECT_EQ(view.messages[1].text, "Koridan Connection Failed!");
    EXPECT_FALSE(journalHas("NewList"));
}

TEST_F(StationTest, slowControlIsWaitedFor) {
    writeSettings("[KORVALDE]\r\n");
    simulator.setNullNewLists(3);
    EXPECT_TRUE(station("").start());
    EXPECT_EQ(std::count(journal.begin(), journal.end(), "NewList"), 4);
}

TEST_F(StationTest, failedPortAsksForOtherSettingsUntilOneOpensOrTheOperatorGivesUp) {
    writeSettings("[KORVALDE]\r\nCommPort=5\r\n");
    port.failOpenWith = platform::errc::kInvalidPortNumber;
    prompt.choices = {{3, "9600,N,8,1"}};
    auto& s = station("NOAPP");
    EXPECT_FALSE(s.start() && port.isOpen());
    EXPECT_EQ(prompt.asked, 2) << "the first choice failed too, then the operator cancelled";
    EXPECT_EQ(s.settings().CommPort, 3);
    std::ifstream file(root / "windows" / "QZT.INI");
    const std::string text((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    EXPECT_NE(text.find("CommPort=3"), std::string::npos);

    // Given up by the operator, the port is still wanted: it opens once the device is there.
    s.tick();
    EXPECT_NE(view.status().find("cannot be opened"), std::string::npos);
    port.failOpenWith = 0;
    s.tick();
    EXPECT_TRUE(port.isOpen());
    EXPECT_EQ(view.portText, "COM3:9600,N,8,1");

    EXPECT_TRUE(s.applyCommSettings({1, "9600,N,8,1"}));
    EXPECT_EQ(view.portText, "COM1:9600,N,8,1");
}

TEST_F(StationTest, optionClicksAreWrittenAtOnce) {
    writeSettings("[KORVALDE]\r\nAutoClear= 1\r\nOther=kept\r\n");
    auto& s = station("NOAPP");
    s.start();
    s.optionChanged(platform::Option::AutoClear, false);
    s.optionChanged(platform::Option::ShowEditor, true);
    std::ifstream file(root / "windows" / "QZT.INI");
    const std::string text((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    EXPECT_EQ(text, "[KORVALDE]\r\nAutoClear= 0\r\nOther=kept\r\n");
}

TEST_F(StationTest, deviceOfAPortComesFromTheSettingsOrTheSerialDefault) {
    writeSettings("[KORVALDE]\r\nCommDevice2=/dev/ttyACM0\r\n");
    auto& s = station("NOAPP");
    s.start();
    EXPECT_EQ(s.deviceForPort(1), "/dev/ttyS0");
    EXPECT_EQ(s.deviceForPort(2), "/dev/ttyACM0");
    EXPECT_EQ(s.deviceForPort(0), "");
}

TEST_F(StationTest, manualEntryWhileAScanIsHandedOverIsRefusedNotInterleaved) {
    writeSettings("[KORVALDE]\r\nFieldCode_DFN=N\r\nCommPort=1\r\n");
    auto& s = station("NOAPP");
    ASSERT_TRUE(s.start());
    std::optional<bool> nested;
    pauser.duringPause = [&] {
        if (!nested) {
            nested = s.processLabel("OTHER");
        }
    };
    port.feed("FLANGE");
    for (int i = 0; i < 3; ++i) {
        s.tick();
    }
    ASSERT_TRUE(nested.has_value());
    EXPECT_FALSE(*nested);
    EXPECT_EQ(std::count_if(journal.begin(), journal.end(),
                            [](const std::string& line) { return line.rfind("AddLine", 0) == 0; }),
              1);
}

TEST_F(StationTest, tickedEditorOptionShowsTheHandedOverProgram) {
    writeSettings("[KORVALDE]\r\nFieldCode_DFN=N\r\n");
    auto& s = station("NOAPP");
    ASSERT_TRUE(s.start());
    view.setOption(platform::Option::ShowEditor, true);
    desktop.nextTask = 5;
    desktop.running = {5};
    EXPECT_TRUE(s.processLabel("FLANGE"));
    EXPECT_NE(std::find(desktop.steps.begin(), desktop.steps.end(), "type FLANGE.CNC"), desktop.steps.end());
}

TEST_F(StationTest, exclusionChoiceIsStoredAndShownButNotReadBackAtTheNextStart) {
    writeSettings("[KORVALDE]\r\n");
    auto& s = station("NOAPP");
    ASSERT_TRUE(s.start());
    const scan::ExclusionBoxes chosen = {true, false, true, false, false, false, false, false};
    s.chooseExclusion(chosen);
    EXPECT_EQ(s.exclusionBoxes(), chosen);
    EXPECT_EQ(view.exclusionLabel, " Exclusion Number 13  for insertion.");
    std::ifstream file(root / "windows" / "QZT.INI");
    const std::string text((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    EXPECT_EQ(text, "[KORVALDE]\r\nExclusion=10100000\r\n");

    auto& restarted = station("NOAPP");
    ASSERT_TRUE(restarted.start());
    EXPECT_EQ(restarted.exclusionBoxes(), scan::ExclusionBoxes{});
}

} // namespace
} // namespace quorlan::shell
