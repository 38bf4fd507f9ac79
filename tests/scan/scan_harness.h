// A station around the scan logic for tests: recording window, pauses and scanner port, the
// control simulator with its journal, a scripted field selector, and a temporary drive C:.
#pragma once

#include "cnc/simulator.h"
#include "cnc/work_list_link.h"
#include "fakes/fake_pauser.h"
#include "fakes/fake_serial_port.h"
#include "fakes/fake_view.h"
#include "fieldsel/field_selector.h"
#include "scan/label_processor.h"

#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <unistd.h>
#include <vector>

namespace quorlan::testing {

class FakeFieldSelector final : public fieldsel::FieldSelector {
public:
    struct Call {
        std::int16_t mode;
        float x;
        float y;
        std::string fieldCode;
    };

    std::string defaultField() override { return defaultFieldCode; }
    fieldsel::MirrorSource mirrorSource() override { return source; }
    bool DetectMirrorTrigger(const std::string&, const std::string&, std::string& fieldCode) override {
        if (!triggerSetsField.empty()) {
            fieldCode = triggerSetsField;
        }
        return normalAndMirrored;
    }
    std::string SelectMachineField(std::int16_t mode, float x, float y, const std::string& fieldCode) override {
        calls.push_back({mode, x, y, fieldCode});
        const auto choice = automaticChoice.find(mode);
        return choice == automaticChoice.end() ? std::string() : choice->second;
    }

    std::string defaultFieldCode;
    fieldsel::MirrorSource source = fieldsel::MirrorSource::Barcode;
    std::string triggerSetsField;
    bool normalAndMirrored = false;
    // What the automatic modes choose.
    std::map<std::int16_t, std::string> automaticChoice{
        {fieldsel::mode::kNormal, "S1"}, {fieldsel::mode::kMirrored, "A1"}, {fieldsel::mode::kAlternating, "T1"}};
    std::vector<Call> calls;
};

// What the control received, with the window's state at that moment.
struct JournalEntry {
    std::string line;
    std::string status;
    std::string written;
    bool automaticIndicator;
};

class TempDrive {
public:
    TempDrive() {
        static int counter = 0;
        root = std::filesystem::temp_directory_path() /
               ("quorlan-scan-" + std::to_string(::getpid()) + "-" + std::to_string(++counter));
        std::filesystem::create_directories(root);
    }
    ~TempDrive() {
        std::error_code ignored;
        std::filesystem::remove_all(root, ignored);
    }
    TempDrive(const TempDrive&) = delete;
    TempDrive& operator=(const TempDrive&) = delete;

    void write(const std::string& relative, const std::string& bytes) const {
        const auto path = root / relative;
        std::filesystem::create_directories(path.parent_path());
        std::ofstream(path, std::ios::binary) << bytes;
    }
    std::string read(const std::string& relative) const {
        std::ifstream file(root / relative, std::ios::binary);
        return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
    }
    bool exists(const std::string& relative) const { return std::filesystem::exists(root / relative); }

    std::filesystem::path root;
};

class ScanHarness {
public:
    ScanHarness()
        : paths([this](const std::string& name) -> std::optional<std::string> {
              if (name == "QUORLAN_DRIVE_C") {
                  return drive.root.string();
              }
              return std::nullopt;
          }),
          link(simulator, view, pauser), context{view,     pauser, port,     paths,
                                                 settings, link,   selector, commandLineUpper} {
        settings.GCodePath = "C:\\PROG\\";
        settings.CSVInPath = "C:\\CSV";
        settings.CSVOutPath = "C:\\OUT\\ALL.CSV";
        std::filesystem::create_directories(drive.root / "PROG");
        std::filesystem::create_directories(drive.root / "CSV");
        std::filesystem::create_directories(drive.root / "OUT");
        port.opened = true;
        link.application() = simulator.createApplication();
        link.workList() = link.application()->NewList();
        simulator.setJournal([this](const std::string& line) {
            journal.push_back({line, view.status(), port.written, view.fieldSelectionIndicator});
        });
        ResetLabelState(state);
    }

    std::vector<std::string> journalLines() const {
        std::vector<std::string> lines;
        for (const auto& entry : journal) {
            lines.push_back(entry.line);
        }
        return lines;
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
    void writeProgram(const std::string& name, const std::string& text) const { drive.write("PROG/" + name, text); }

    TempDrive drive;
    FakeView view;
    FakePauser pauser;
    FakeSerialPort port;
    platform::PathMapper paths;
    config::StationSettings settings;
    cnc::Simulator simulator;
    cnc::WorkListLink link;
    FakeFieldSelector selector;
    std::string commandLineUpper;
    scan::ScanContext context;
    scan::LabelState state;
    scan::FieldCodeTable fieldCodes;
    scan::LabelProcessor processor{context, state, fieldCodes};
    std::vector<JournalEntry> journal;
};

} // namespace quorlan::testing
