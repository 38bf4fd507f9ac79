// The scan path through the whole station with MQTT events on: a plain label from the scanner's
// bytes through framing, label processing, the hand-over to the built-in control, its history record
// and the nudge to the publisher, with MqttBroker naming a real broker that takes every event as
// it comes; beside it, in the same run, the same station with no MqttBroker. Pauses return at
// once, so what is timed is the station's own work per scan.
#include "cnc/simulator.h"
#include "events/test_broker.h"
#include "fakes/fake_desktop.h"
#include "fakes/fake_pauser.h"
#include "fakes/fake_port_settings_prompt.h"
#include "fakes/fake_serial_port.h"
#include "fakes/fake_view.h"
#include "history_bench.h"
#include "shell/station.h"

#include <fstream>
#include <memory>
#include <optional>

namespace {

namespace bench = quorlan::bench;
namespace testing = quorlan::testing;
using namespace quorlan;

// The station as the tests put it together, its history and settings in a folder of its own.
class BenchStation {
public:
    explicit BenchStation(const std::string& extraSettings) {
        folder.write("progs/FLANGE.CNC", "G71 X600 Y400 Z18\r\n(FLANGE PLATE)\r\nM30\r\n");
        folder.write("windows/QZT.INI", "[KORVALDE]\r\nCommPort=1\r\nFieldCode_DFN=N\r\nAutoStart= 0\r\nAutoClear= "
                                        "0\r\nGCodePath=" +
                                            folder.path("progs") + "/\r\nCSVInPath=" + folder.makeFolder("csv") +
                                            "\r\n" + extraSettings);
        shell::StationOptions options;
        options.commandLine = "NOAPP";
        station = std::make_unique<shell::Station>(
            view, pauser, port, simulator, prompt, paths, desktop,
            shell::HostFolders{folder.makeFolder("program"), folder.path("windows")}, options);
        started = station->start();
    }
    ~BenchStation() { station->shutdown(); }

    // As the scanner sends a label: its bytes, framed by the quiet ticks that follow.
    void scan(const std::string& label) {
        port.feed(label + "\r");
        for (int tick = 0; tick < 4; ++tick) {
            station->tick();
        }
    }

    // Untimed now and then: the list and what the fakes record cannot grow without bound.
    void tidy() {
        scan("%CLEAR%");
        noteFailures();
        view.statusHistory.clear();
        pauser.pauses.clear();
        port.written.clear();
    }

    // A benchmark of a publisher that does not publish would measure nothing.
    void noteFailures() {
        for (const auto& status : view.statusHistory) {
            failed = failed || status.find("MQTT events are not being published") != std::string::npos;
        }
    }

    const testing::TempFolder folder;
    testing::FakeView view;
    testing::FakePauser pauser;
    testing::FakeSerialPort port;
    testing::FakeDesktop desktop;
    testing::FakePortSettingsPrompt prompt;
    const platform::PathMapper paths{[this](const std::string& name) -> std::optional<std::string> {
        if (name == "XDG_DATA_HOME") {
            return folder.path("data");
        }
        return std::nullopt;
    }};
    cnc::Simulator simulator{paths};
    std::unique_ptr<shell::Station> station;
    bool started = false;
    bool failed = false;
};

void labelThroughTheStation(benchmark::State& state, bool publishing) {
    std::optional<testing::TestBroker> broker;
    std::string settings;
    if (publishing) {
        try {
            broker.emplace();
        } catch (const std::exception& error) {
            state.SkipWithError(error.what());
            return;
        }
        settings =
            "MqttBroker=" + broker->host() + ":" + std::to_string(broker->port()) + "\r\nMqttTopic=quorlan/bench\r\n";
    }
    BenchStation at(settings);
    if (!at.started) {
        state.SkipWithError("the station did not start");
        return;
    }
    {
        bench::Samples samples(state);
        std::size_t handled = 0;
        for (auto _ : state) {
            samples.time([&] { at.scan("FLANGE"); });
            if (++handled % 1024 == 0) {
                state.PauseTiming();
                at.tidy();
                state.ResumeTiming();
            }
        }
    }
    at.scan("FLANGE");
    at.noteFailures();
    if (at.simulator.rows().empty() || at.simulator.rows().back().rfind("#161=FLANGE.CNC", 0) != 0) {
        state.SkipWithError("the label did not reach the work list");
    } else if (at.failed) {
        state.SkipWithError("the events were not published");
    }
}

// MqttBroker names a broker that takes each event as it comes.
void labelThroughTheStationPublishing(benchmark::State& state) {
    labelThroughTheStation(state, true);
}
BENCHMARK(labelThroughTheStationPublishing);

// The same station without MqttBroker, in the same run.
void labelThroughTheStationWithoutMqtt(benchmark::State& state) {
    labelThroughTheStation(state, false);
}
BENCHMARK(labelThroughTheStationWithoutMqtt);

} // namespace
