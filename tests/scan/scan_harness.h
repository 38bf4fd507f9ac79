// The scan logic inside a test station: recording window, pauses and port, the control simulator
// with its journal, a scripted field selector, and a temporary drive C:.
#pragma once

#include "cnc/simulator.h"
#include "fakes/fake_field_selector.h"
#include "fakes/fake_pauser.h"
#include "fakes/fake_serial_port.h"
#include "fakes/fake_view.h"
#include "fakes/temp_folder.h"
#include "scan/label_processor.h"
#include "scan/two_d_barcode.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <map>

namespace quorlan::testing {

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
    void write(const std::string& relative, const std::string& bytes) const { folder.write(relative, bytes); }
    std::string read(const std::string& relative) const { return folder.read(relative); }
    bool exists(const std::string& relative) const { return std::filesystem::exists(root / relative); }

    const TempFolder folder;
    const std::filesystem::path& root = folder.root();
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
