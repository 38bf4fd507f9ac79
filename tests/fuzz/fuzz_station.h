// The whole station over fakes, for the fuzz targets: the recording window, pauses that return at
// once, a scripted serial port and the control simulator, in a workspace of its own under the
// temporary folder (settings, a program folder with programs of both kinds, CSV folders). Scans go
// in through the port and the scan loop, as the scanner delivers them.
//
// After each input the targets check what must hold whatever came in: every line the list took
// is a well-formed list line, the scanner got nothing but "ACK"s, and nothing was written outside
// the workspace's folders.
#pragma once

#include "cnc/simulator.h"
#include "config/common.h"
#include "fakes/fake_desktop.h"
#include "fakes/fake_pauser.h"
#include "fakes/fake_port_settings_prompt.h"
#include "fakes/fake_serial_port.h"
#include "fakes/fake_view.h"
#include "fakes/temp_folder.h"
#include "shell/station.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <string>

namespace quorlan::fuzzing {

namespace fs = std::filesystem;

inline void writeFile(const fs::path& path, const std::string& bytes) {
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

// Stops the run: libFuzzer takes an abort as a finding and keeps the input.
[[noreturn]] inline void broken(const std::string& what, const std::string& detail) {
    std::fprintf(stderr, "broken: %s: %s\n", what.c_str(), detail.c_str());
    std::abort();
}

// Created once per process; the station's own files in it are restored before each input.
class Workspace {
public:
    static Workspace& instance() {
        static Workspace workspace;
        return workspace;
    }

    const testing::TempFolder folder;
    const fs::path root = folder.root();
    const fs::path drive = root / "drive_c";

    // The files each input starts from; whatever the last input saved or appended is gone.
    void reset() const {
        fs::remove_all(drive / "PROGS");
        fs::remove_all(drive / "OUT");
        fs::create_directories(drive / "OUT");
        fs::create_directories(drive / "Koridan" / "Bin");
        writeFile(drive / "PROGS" / "FLANGE.CNC", "G71 X600 Y400 Z18\r\n(FLANGE PLATE)\r\nM30\r\n");
        writeFile(drive / "PROGS" / "SIDE.CNC", "QZT 1\r\n;;SIDE PANEL\r\nINFO\r\nUN X=1200 Y=300 Z=19\r\n");
        writeFile(drive / "PROGS" / "lsx" / "JOB1.LST",
                  "#161=FLANGE.CNC;#162= ;#164=1;#165=1;#281=;#171=1;#284=0;#285=;#280=;#168=600;#169=400;"
                  "#170=18;#282= ;#283=;#223= ;#277=;#278=;#279=;\r\n");
        writeFile(drive / "CSV" / "FLANGE.CSV", "1;2;3\r\n");
    }

    // Anything in the workspace but under the folders the settings name is a stray write.
    void checkNothingStray() const {
        static const fs::path kAllowed[] = {"windows",     "drive_c/PROGS",   "drive_c/CSV",
                                            "drive_c/OUT", "drive_c/Koridan", "data/quorlan"};
        for (const auto& entry : fs::recursive_directory_iterator(root)) {
            const fs::path relative = fs::relative(entry.path(), root);
            bool allowed = relative == "drive_c" || relative == "data";
            for (const fs::path& folder : kAllowed) {
                const auto [end, unused] =
                    std::mismatch(folder.begin(), folder.end(), relative.begin(), relative.end());
                allowed = allowed || end == folder.end();
            }
            if (!allowed) {
                broken("written outside the configured folders", entry.path().string());
            }
        }
    }

private:
    Workspace() {
        writeFile(root / "windows" / "QZT.INI",
                  "[KORVALDE]\r\nCommPort=1\r\nCommPollTime=100\r\nGCodePath=C:\\PROGS\\\r\n"
                  "ListPath=C:\\PROGS\\lsx\\\r\nCSVInPath=C:\\CSV\\\r\nCSVOutPath=C:\\OUT\\Quorlan.csv\r\n"
                  "AutoStart= 1\r\nOverwrite= 1\r\nAutoClear= 0\r\nAutoSelSetting=3\r\nFieldCode_DFN=N\r\n"
                  "HalfLimitX=1500\r\nHalfLimitY=700\r\n");
    }
};

class FuzzStation {
public:
    FuzzStation() {
        workspace.reset();
        station = std::make_unique<shell::Station>(
            view, pauser, port, simulator, prompt, paths, desktop,
            shell::HostFolders{(workspace.root / "program").string(), (workspace.root / "windows").string()},
            shell::StationOptions{"", std::chrono::milliseconds(0)});
        if (!station->start()) {
            broken("start-up", view.statusText);
        }
    }

    // One scan as the scanner sends it, then the quiet ticks that end it. False when the rules
    // ended the program (the station would have stopped here).
    bool scan(const std::string& bytes) {
        port.feed(bytes);
        try {
            for (int tick = 0; tick < 4; ++tick) {
                station->tick();
            }
        } catch (const config::EndProgram&) {
            return false;
        }
        return true;
    }

    void checkInvariants() const {
        for (const std::string& row : simulator.rows()) {
            checkListLine(row);
        }
        for (std::size_t at = 0; at < port.written.size(); at += 4) {
            if (port.written.compare(at, 4, "ACK\r") != 0) {
                broken("the scanner was sent something else than ACK", port.written);
            }
        }
        workspace.checkNothingStray();
    }

    Workspace& workspace = Workspace::instance();
    testing::FakeView view;
    testing::FakePauser pauser;
    testing::FakeSerialPort port;
    testing::FakeDesktop desktop;
    testing::FakePortSettingsPrompt prompt;
    platform::PathMapper paths{[&root = workspace.root](const std::string& name) -> std::optional<std::string> {
        if (name == "QUORLAN_DRIVE_C") {
            return (root / "drive_c").string();
        }
        if (name == "XDG_DATA_HOME") { // the history
            return (root / "data").string();
        }
        return std::nullopt;
    }};
    cnc::Simulator simulator{paths};
    std::unique_ptr<shell::Station> station;

private:
    // "#161=...;#162=...;" with 18 items, each "#" and digits, "=", and a value without control
    // characters (";" ends the value).
    static void checkListLine(const std::string& line) {
        int items = 0;
        std::size_t at = 0;
        while (at < line.size()) {
            const std::size_t end = line.find(';', at);
            if (end == std::string::npos) {
                broken("list line not ended by ';'", line);
            }
            const std::string item = line.substr(at, end - at);
            const std::size_t equals = item.find('=');
            if (item.size() < 5 || item[0] != '#' || equals != 4) {
                broken("list item is not #NNN=value", line);
            }
            for (unsigned char c : item) {
                if (c < 0x20 || c == 0x7F) {
                    broken("control character in a list line", line);
                }
            }
            ++items;
            at = end + 1;
        }
        if (items != 18) {
            broken("list line without 18 items", line);
        }
    }
};

} // namespace quorlan::fuzzing
