// The scan logic as start-up puts it together, with a window, pauses and a port that cost nothing:
// what the benchmarks measure is the station's own work per scan.
#pragma once

#include "cnc/simulator.h"
#include "cnc/work_list_link.h"
#include "scan/label_processor.h"
#include "scan/two_d_barcode.h"

#include <benchmark/benchmark.h>
#include <filesystem>
#include <fstream>
#include <unistd.h>

namespace quorlan::bench {

class QuietView final : public platform::StationView {
public:
    void setStatus(const std::string& text) override { m_status = text; }
    std::string status() const override { return m_status; }
    void setPortText(const std::string&) override {}
    void setPartIndicator(int, bool) override {}
    void setFieldSelectionIndicator(bool) override {}
    void setScanActivity(bool, const std::string&) override {}
    void setLastScan(const std::string&) override {}
    void setExclusionLabel(const std::optional<std::string>&) override {}
    bool option(platform::Option option) const override { return option == platform::Option::Overwrite; }
    void setOption(platform::Option, bool) override {}
    void hideEditorOption() override {}
    void setPollInterval(int) override {}
    platform::MessageAnswer message(const std::string&, platform::MessageIcon, platform::MessageButtons,
                                    const std::string&) override {
        return platform::MessageAnswer::Ok;
    }
    void beep() override {}

private:
    std::string m_status;
};

class NoPause final : public platform::Pauser {
public:
    void pauseMilliseconds(int) override {}
};

class OpenPort final : public platform::SerialPort {
public:
    std::size_t open(int, const platform::SerialParameters&) override { return 0; }
    void close() override {}
    bool isOpen() const override { return true; }
    int waitingCount() override { return 0; }
    std::string readAll() override { return {}; }
    void write(const std::string& bytes) override { benchmark::DoNotOptimize(bytes.data()); }
    std::string takeLossReason() override { return {}; }
    std::string deviceName(int) const override { return {}; }
};

// A default field, so that a plain label is accepted as it is on most stations.
class DefaultFieldSelector final : public fieldsel::FieldSelector {
public:
    std::string defaultField() override { return "N"; }
    fieldsel::MirrorSource mirrorSource() override { return fieldsel::MirrorSource::Barcode; }
    bool DetectMirrorTrigger(const std::string&, const std::string&, std::string&) override { return false; }
    std::string SelectMachineField(std::int16_t, float, float, const std::string&) override { return {}; }
};

// The station as start-up puts it together: the program folder holds the label's program, whose
// dimensions the line takes, and the CSV folder has no file for it, as on most stations.
struct BenchStation {
    BenchStation() {
        std::filesystem::create_directories(root / "programs");
        std::filesystem::create_directories(root / "csv");
        std::ofstream(root / "programs" / "FLANGE.CNC") << "G71 X600 Y400 Z18\r\n(FLANGE PLATE)\r\nM30\r\n";
        settings.GCodePath = (root / "programs").string() + "/";
        settings.CSVInPath = (root / "csv").string();
        settings.CSVOutPath = (root / "all.csv").string();
        link.application() = simulator.createApplication();
        link.workList() = link.application()->NewList();
    }
    ~BenchStation() { std::filesystem::remove_all(root); }

    // Each label of the loop in turn; the simulated list is emptied now and then so it cannot grow
    // without bound.
    void run(benchmark::State& state, const std::vector<std::string>& labels) {
        std::size_t handled = 0;
        for (auto _ : state) {
            for (const auto& label : labels) {
                benchmark::DoNotOptimize(processor.ProcessLabel(label));
            }
            if (++handled % 4096 == 0) {
                link.ClearWorkList();
            }
        }
        if (simulator.rows().empty() || simulator.rows().back().rfind("#161=FLANGE.CNC", 0) != 0) {
            state.SkipWithError("the label did not reach the work list");
        }
    }

    const std::filesystem::path root =
        std::filesystem::temp_directory_path() / ("quorlan-bench-" + std::to_string(::getpid()));
    QuietView view;
    NoPause pauser;
    OpenPort port;
    const platform::PathMapper paths;
    config::StationSettings settings;
    cnc::Simulator simulator;
    cnc::WorkListLink link{simulator, view, pauser};
    DefaultFieldSelector selector;
    const std::string commandLineUpper;
    scan::ScanContext context{view, pauser, port, paths, settings, link, selector, commandLineUpper};
    scan::LabelState state;
    const scan::FieldCodeTable fieldCodes;
    scan::LabelProcessor processor{context, state, fieldCodes};
    scan::TwoDProcessor twoD{context, state, fieldCodes};
};

} // namespace quorlan::bench
