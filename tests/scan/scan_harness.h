// The scan logic inside a test station: recording window, pauses and port, the control simulator
// with its journal, a scripted field selector, and a temporary drive C:.
#pragma once

#include "cnc/simulator.h"
#include "fakes/fake_pauser.h"
#include "fakes/fake_serial_port.h"
#include "fakes/fake_view.h"
#include "scan/label_processor.h"
#include "scan/two_d_barcode.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <map>
#include <unistd.h>

namespace quorlan::testing {

class FakeFieldSelector final : public fieldsel::FieldSelector {
public:
    struct Call {
        std::int16_t mode;
        float x;
        std::string fieldCode;
    };

    std::string defaultField() override { return defaultFieldCode; }
    fieldsel::MirrorSource mirrorSource() override { return source; }
    bool DetectMirrorTrigger(const std::string&, const std::string& comment, std::string& fieldCode) override {
        triggerComments.push_back(comment);
        fieldCode = triggerSetsField.value_or(fieldCode);
        return normalAndMirrored;
    }
    std::string SelectMachineField(std::int16_t mode, float x, float, const std::string& fieldCode) override {
        calls.push_back({mode, x, fieldCode});
        return automaticChoice[mode];
    }

    std::string defaultFieldCode;
    fieldsel::MirrorSource source = fieldsel::MirrorSource::Barcode;
    std::optional<std::string> triggerSetsField;
    bool normalAndMirrored = false;
    std::map<std::int16_t, std::string> automaticChoice{{0, "S1"}, {1, "A1"}, {8, "T1"}};
    std::vector<Call> calls;
    std::vector<std::string> triggerComments;
};

// What reached the control, with the window's state at that moment.
struct JournalEntry {
    std::string line;
    std::string status;
    std::string written;
    bool automaticIndicator;
};

class ScanHarness {
public:
    ScanHarness() {
        for (const char* folder : {"PROG", "CSV", "OUT"}) {
            std::filesystem::create_directories(root / folder);
        }
        settings.GCodePath = "C:\\PROG\\";
        settings.CSVInPath = "C:\\CSV";
        settings.CSVOutPath = "C:\\OUT\\ALL.CSV";
        port.opened = true;
        link.application() = simulator.createApplication();
        link.workList() = link.application()->NewList();
        simulator.setJournal([this](const std::string& line) {
            journal.push_back({line, view.status(), port.written, view.fieldSelectionIndicator});
        });
        ResetLabelState(state);
    }
    ~ScanHarness() { std::filesystem::remove_all(root); }

    static std::string testName() {
        const auto* test = ::testing::UnitTest::GetInstance()->current_test_info();
        return std::string(test->test_suite_name()) + "." + test->name();
    }

    // The lines the list took.
    std::vector<std::string> addedLines() const {
        std::vector<std::string> lines;
        for (const auto& entry : journal) {
            if (entry.line.starts_with("AddLine ") && entry.line.find(" -> error ") == std::string::npos) {
                lines.push_back(entry.line.substr(8));
            }
        }
        return lines;
    }
    void write(const std::string& relative, const std::string& bytes) const {
        std::ofstream(root / relative, std::ios::binary) << bytes;
    }
    std::string read(const std::string& relative) const {
        std::ifstream file(root / relative, std::ios::binary);
        return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
    }
    bool exists(const std::string& relative) const { return std::filesystem::exists(root / relative); }

    const std::filesystem::path root =
        std::filesystem::temp_directory_path() / ("quorlan-scan-" + std::to_string(::getpid()) + "-" + testName());
    FakeView view;
    FakePauser pauser;
    FakeSerialPort port;
    platform::PathMapper paths{[this](const std::string& name) {
        return name == "QUORLAN_DRIVE_C" ? std::optional<std::string>(root.string()) : std::nullopt;
    }};
    config::StationSettings settings;
    cnc::Simulator simulator;
    cnc::WorkListLink link{simulator, view, pauser};
    FakeFieldSelector selector;
    std::string commandLineUpper;
    scan::ScanContext context{view, pauser, port, paths, settings, link, selector, commandLineUpper};
    scan::LabelState state;
    scan::FieldCodeTable fieldCodes;
    scan::LabelProcessor processor{context, state, fieldCodes};
    scan::TwoDProcessor twoD{context, state, fieldCodes};
    std::vector<JournalEntry> journal;
};

} // namespace quorlan::testing
