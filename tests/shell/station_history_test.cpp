// What the station records of each scan, through the whole station: the scan loop's routes, label
// processing, the hand-over and the control, with the history in a temporary file; and what it
// keeps beside the scans, the notices of what the station itself went through.
#include "cnc/compressed_payload.h"
#include "cnc/simulator.h"
#include "fakes/fake_clock.h"
#include "fakes/fake_desktop.h"
#include "fakes/fake_pauser.h"
#include "fakes/fake_port_settings_prompt.h"
#include "fakes/fake_serial_port.h"
#include "fakes/fake_view.h"
#include "fakes/temp_folder.h"
#include "history/history_reader.h"
#include "history/outbox.h"
#include "platform/error.h"
#include "scan/two_d_payload.h"
#include "shell/station.h"

#include <filesystem>
#include <fstream>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace quorlan::shell {
namespace {

namespace fs = std::filesystem;
using history::Outcome;
using history::ScanKind;
using ::testing::HasSubstr;
using ::testing::StartsWith;

class StationHistoryTest : public ::testing::Test {
protected:
    StationHistoryTest() {
        fs::create_directories(root / "windows");
        fs::create_directories(root / "progs");
        std::ofstream(root / "progs" / "FLANGE.CNC") << "G71 X600 Y400 Z18\r\n(FLANGE PLATE)\r\nM30\r\n";
        std::ofstream(root / "progs" / "PLATE.CNC") << "G71 X300 Y200 Z10\r\n(PLATE)\r\nM30\r\n";
        simulator.setJournal([this](const std::string& line) {
            if (line.rfind("AddLine ", 0) == 0) {
                added.push_back(line.substr(8));
            }
        });
    }

    Station& start(const std::string& extraSettings = {}) {
        std::ofstream(root / "windows" / "QZT.INI")
            << "[KORVALDE]\r\nCommPort=1\r\nFieldCode_DFN=N\r\nAutoStart= 0\r\nAutoClear= 0\r\nGCodePath="
            << (root / "progs").string() << "/\r\nCSVInPath=" << (root / "csv").string() << "\r\n"
            << extraSettings;
        StationOptions options;
        options.commandLine = "NOAPP";
        options.controlAddress = "local:cnc";
        options.clock = &clock;
        station =
            std::make_unique<Station>(view, pauser, port, simulator, prompt, paths, desktop,
                                      HostFolders{(root / "program").string(), (root / "windows").string()}, options);
        EXPECT_TRUE(station->start());
        return *station;
    }

    // As the scanner sends it: framed by the ticks that follow.
    void scan(const std::string& bytes) {
        port.feed(bytes);
        for (int tick = 0; tick < 4; ++tick) {
            station->tick();
        }
    }

    // What the station went through, beside its scans: "station-started 1.0.0",
    // "port-lost COM1 (/dev/ttyS0): the device vanished", ...
    std::vector<std::string> notices() const {
        std::vector<std::string> result;
        for (const auto& entry : history::Outbox(historyFile, "test").after(0, 100)) {
            if (const auto* notice = std::get_if<history::Notice>(&entry)) {
                result.push_back(std::string(history::noticeName(notice->kind)) + " " + notice->subject +
                                 (notice->detail.empty() ? "" : ": " + notice->detail));
            }
        }
        return result;
    }

    std::vector<history::Event> events() const {
        history::HistoryReader reader(historyFile);
        std::vector<history::Event> result;
        reader.forEach({}, [&result](const history::Event& e) { result.push_back(e); });
        return result;
    }

    const testing::TempFolder folder;
    const fs::path& root = folder.root();
    const std::string historyFile = (root / "data" / "quorlan" / "history.sqlite").string();
    testing::FakeView view;
    testing::FakePauser pauser;
    testing::FakeSerialPort port;
    testing::FakeDesktop desktop;
    testing::FakeClock clock;
    testing::FakePortSettingsPrompt prompt;
    platform::PathMapper paths{[this](const std::string& name) -> std::optional<std::string> {
        if (name == "XDG_DATA_HOME") {
            return (root / "data").string();
        }
        return std::nullopt;
    }};
    cnc::Simulator simulator{paths};
    std::vector<std::string> added;
    std::unique_ptr<Station> station;
};

TEST_F(StationHistoryTest, eachKindOfScan_isRecordedWithWhatBecameOfIt) {
    start();
    struct Case {
        std::string scan;
        ScanKind kind;
        Outcome outcome;
        std::string program;
        std::string reason; // a part of it
    };
    const std::string twoD = scan::buildTwoDScan("SIDE.CNC", {{'X', "800"}, {'Y', "300"}, {'Z', "19"}},
                                                 "G71 X800 Y300 Z19\r\n(SIDE)\r\nG01 X10 Y10\r\nM30\r\n", false);
    const Case cases[] = {
        {"FLANGE", ScanKind::Label, Outcome::Queued, "FLANGE.CNC", ""},
        {"%START%", ScanKind::Command, Outcome::Done, "", ""},
        {"%N%", ScanKind::FieldCode, Outcome::Collected, "", ""},
        {"%12PLATE.CNC", ScanKind::SetPart, Outcome::Collected, "", ""},
        {"%22300 200 10", ScanKind::SetPart, Outcome::Queued, "PLATE.CNC", ""},
        {"FLA;NGE", ScanKind::Label, Outcome::Refused, "", "Label not accepted"},
        {"%01NOLIST", ScanKind::SetPart, Outcome::Failed, "", "NOLIST.LST Not Found"},
        {twoD, ScanKind::TwoD, Outcome::Queued, "SIDE.CNC", ""},
        {cnc::buildCompressedScan(twoD), ScanKind::Compressed, Outcome::Queued, "SIDE.CNC", ""},
        {"\xF1garbage", ScanKind::Compressed, Outcome::Refused, "", ""},
    };
    for (const auto& c : cases) {
        // A compressed scan is sent as it is: its data may end in any byte.
        scan(c.kind == ScanKind::Compressed ? c.scan : c.scan + "\r");
    }

    const auto recorded = events();
    ASSERT_EQ(recorded.size(), std::size(cases));
    for (std::size_t i = 0; i < recorded.size(); ++i) {
        const auto& e = recorded[i];
        const auto& c = cases[i];
        SCOPED_TRACE(c.scan.substr(0, 40));
        EXPECT_EQ(e.kind, c.kind);
        EXPECT_EQ(e.outcome, c.outcome) << e.reason << " / " << e.scan;
        EXPECT_EQ(e.program, c.program);
        EXPECT_THAT(e.reason, HasSubstr(c.reason));
        EXPECT_EQ(e.control, "local:cnc");
        EXPECT_EQ(e.timeMs, clock.wall);
        EXPECT_EQ(!e.line.empty(), c.outcome == Outcome::Queued);
    }
    EXPECT_EQ(recorded[0].line, added.at(0)) << "the exact line sent";
    EXPECT_EQ(recorded[0].scan, "FLANGE");
    EXPECT_EQ(recorded[0].dimX, "600");
    EXPECT_THAT(recorded[8].scan, StartsWith("\xC3\xB1")) << "the compressed scan as it came";
    EXPECT_EQ(added.size(), 4u);
}

TEST_F(StationHistoryTest, manualEntry_andALineTheControlRefuses) {
    auto& s = start();
    s.processLabel("PLATE");
    simulator.failNext("AddLine", platform::errc::kAutomation);
    scan("FLANGE\r");

    const auto recorded = events();
    ASSERT_EQ(recorded.size(), 2u);
    EXPECT_EQ(recorded[0].kind, ScanKind::Manual);
    EXPECT_EQ(recorded[0].outcome, Outcome::Queued);
    EXPECT_EQ(recorded[1].outcome, Outcome::Failed);
    EXPECT_EQ(recorded[1].reason,
              "FLANGE.CNC was not queued: The CNC control refused the call (error 440). Scan it again.");
    EXPECT_THAT(recorded[1].line, StartsWith("#161=FLANGE.CNC;")) << "the line that was tried";
    EXPECT_EQ(port.written, "ACK\r") << "only the manual entry's line... and no ACK for the failed one";
}

TEST_F(StationHistoryTest, doubleScanGuard_offTwoLines_onTheSecondWithinItsSecondsRefused_afterThemQueued) {
    auto& s = start();
    scan("FLANGE\r");
    scan("FLANGE\r");
    EXPECT_EQ(added.size(), 2u) << "off by default: the station's rules";

    s.setDuplicateScanSeconds(10);
    scan("FLANGE\r");
    clock.advanceMs(9000);
    scan("FLANGE\r");
    EXPECT_EQ(added.size(), 3u);
    EXPECT_THAT(view.statusText, StartsWith("Double scan: FLANGE.CNC went to the work list 9 s ago"));
    EXPECT_EQ(view.beeps, 1);
    clock.advanceMs(1000);
    scan("FLANGE\r");

    EXPECT_EQ(added.size(), 4u);
    EXPECT_EQ(port.written, "ACK\rACK\rACK\rACK\r");
    const auto recorded = events();
    ASSERT_EQ(recorded.size(), 5u);
    EXPECT_EQ(recorded[3].outcome, Outcome::Refused);
    EXPECT_THAT(recorded[3].reason, StartsWith("Double scan:"));
    std::ifstream ini(root / "windows" / "QZT.INI");
    EXPECT_THAT(std::string(std::istreambuf_iterator<char>(ini), {}), HasSubstr("DuplicateScanSeconds=10"));
}

TEST_F(StationHistoryTest, guardSetInTheSettingsFile_holdsFromTheStart) {
    auto& s = start("DuplicateScanSeconds=5\r\n");
    EXPECT_EQ(s.duplicateScanSeconds(), 5);
    scan("FLANGE\r");
    scan("FLANGE\r");
    EXPECT_EQ(added.size(), 1u);
}

TEST_F(StationHistoryTest, historyThatCannotBeWritten_isSaidOnce_scansGoOn_andItsRecoveryIsSaid) {
    const fs::path share = root / "share";
    start("HistoryFile=" + (share / "h.sqlite").string() + "\r\n");
    scan("FLANGE\r");
    scan("PLATE\r");
    EXPECT_EQ(added.size(), 2u);
    EXPECT_EQ(port.written, "ACK\rACK\r");
    const auto failures = std::count_if(view.statusHistory.begin(), view.statusHistory.end(), [](const auto& text) {
        return text.rfind("History is not being recorded: the folder", 0) == 0;
    });
    EXPECT_EQ(failures, 1);

    fs::create_directories(share);
    scan("FLANGE\r");

    EXPECT_NE(std::find(view.statusHistory.begin(), view.statusHistory.end(),
                        "History is being recorded again; the 2 scans made meanwhile are in it."),
              view.statusHistory.end());
    history::HistoryReader reader((share / "h.sqlite").string());
    EXPECT_EQ(reader.forEach({}, [](const history::Event&) {}), 3);
}

TEST_F(StationHistoryTest, startStopControlAndPortLostAndBack_areKeptBesideTheScans_withoutAWordAboutMqtt) {
    start();
    scan("FLANGE\r");
    port.unplug("the device vanished");
    port.failOpenWith = platform::errc::kInvalidPortNumber;
    station->tick();
    station->tick();
    port.failOpenWith = 0;
    station->tick();
    station->controlReachable(false, "the CNC control at local:cnc could not be reached: nothing is serving");
    station->controlReachable(true, "");
    station->shutdown();

    EXPECT_THAT(notices(), ::testing::ElementsAre(
                               "station-started " QUORLAN_VERSION, "port-lost COM1 (/dev/ttyS0): the device vanished",
                               "port-back COM1 (/dev/ttyS0)",
                               "control-unreachable local:cnc: the CNC control at local:cnc could not be "
                               "reached: nothing is serving",
                               "control-back local:cnc", "station-stopping " QUORLAN_VERSION));
    EXPECT_EQ(events().size(), 1u);
    for (const auto& status : view.statusHistory) {
        EXPECT_THAT(status, ::testing::Not(HasSubstr("MQTT")));
    }
}

TEST_F(StationHistoryTest, aBrokerSettingThatIsNoAddress_isSaid_andPublishingStaysOff) {
    start("MqttBroker=mqtt://broker.shop.lan\r\n");
    EXPECT_THAT(view.statusHistory,
                ::testing::Contains("MqttBroker \"mqtt://broker.shop.lan\" is not a broker's host:port (for example "
                                    "localhost:1883); MQTT events are off."));
    scan("FLANGE\r");
    EXPECT_EQ(events().size(), 1u);
}

} // namespace
} // namespace quorlan::shell
