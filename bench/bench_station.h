// The scan logic as start-up puts it together, with the tests' fakes for the window, the pauses, the
// port and the field selection, which cost next to nothing: what the benchmarks measure is the
// station's own work per scan.
#pragma once

#include "cnc/simulator.h"
#include "cnc/work_list_link.h"
#include "fakes/fake_field_selector.h"
#include "fakes/fake_pauser.h"
#include "fakes/fake_serial_port.h"
#include "fakes/fake_view.h"
#include "fakes/temp_folder.h"
#include "scan/label_processor.h"
#include "scan/two_d_barcode.h"

#include <benchmark/benchmark.h>
#include <filesystem>

namespace quorlan::bench {

// The station as start-up puts it together: the program folder holds the label's program, whose
// dimensions the line takes, and the CSV folder has no file for it, as on most stations.
struct BenchStation {
    BenchStation() {
        folder.write("programs/FLANGE.CNC", "G71 X600 Y400 Z18\r\n(FLANGE PLATE)\r\nM30\r\n");
        settings.GCodePath = folder.path("programs") + "/";
        settings.CSVInPath = folder.makeFolder("csv");
        settings.CSVOutPath = folder.path("all.csv");
        view.setOption(platform::Option::Overwrite, true);
        port.opened = true;
        selector.defaultFieldCode = "N";
        link.application() = simulator.createApplication();
        link.workList() = link.application()->NewList();
    }

    // Each label of the loop in turn; the simulated list and what the fakes record are emptied now
    // and then so they cannot grow without bound.
    void run(benchmark::State& state, const std::vector<std::string>& labels) {
        std::size_t handled = 0;
        for (auto _ : state) {
            for (const auto& label : labels) {
                benchmark::DoNotOptimize(processor.ProcessLabel(label));
            }
            if (++handled % 4096 == 0) {
                link.ClearWorkList();
                view.statusHistory.clear();
                pauser.pauses.clear();
                port.written.clear();
                selector.calls.clear();
                selector.triggerComments.clear();
            }
        }
        if (simulator.rows().empty() || simulator.rows().back().rfind("#161=FLANGE.CNC", 0) != 0) {
            state.SkipWithError("the label did not reach the work list");
        }
    }

    const testing::TempFolder folder;
    testing::FakeView view;
    testing::FakePauser pauser;
    testing::FakeSerialPort port;
    const platform::PathMapper paths;
    config::StationSettings settings;
    cnc::Simulator simulator;
    cnc::WorkListLink link{simulator, view, pauser};
    testing::FakeFieldSelector selector;
    const std::string commandLineUpper;
    scan::ScanContext context{view, pauser, port, paths, settings, link, selector, commandLineUpper};
    scan::LabelState state;
    const scan::FieldCodeTable fieldCodes;
    scan::LabelProcessor processor{context, state, fieldCodes};
    scan::TwoDProcessor twoD{context, state, fieldCodes};
};

} // namespace quorlan::bench
