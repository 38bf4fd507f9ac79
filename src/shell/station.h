// The station's logic put together: owns the settings, the label state, the link to the control
// and the scan loop, given the platform's adapters. The Qt layer creates one and forwards the
// window's events to it.
#pragma once

#include "cnc/control.h"
#include "cnc/work_list_link.h"
#include "config/station_settings.h"
#include "fieldsel/field_selection_setup.h"
#include "platform/clock.h"
#include "platform/desktop.h"
#include "platform/path_mapper.h"
#include "platform/pauser.h"
#include "platform/serial_port.h"
#include "platform/view.h"
#include "scan/exclusion.h"

#include <chrono>
#include <memory>
#include <optional>
#include <string>

namespace quorlan::shell {

struct HostFolders {
    std::string programFolder;    // the executable's folder
    std::string windowsDirectory; // $QUORLAN_WINDIR, else $XDG_CONFIG_HOME/quorlan
};

// The serial settings dialog as the logic needs it after a port failed to open: the operator's new
// choice, or nothing when the dialog was cancelled (or nobody is at the screen to answer it).
class PortSettingsPrompt {
public:
    virtual ~PortSettingsPrompt() = default;
    virtual std::optional<config::CommChoice> askPortSettings(const config::StationSettings& current) = 0;
};

struct StationOptions {
    std::string commandLine;                   // the program's arguments joined by blanks
    std::chrono::milliseconds listWait{30000}; // giving up the start-up wait for the work list
    std::string controlAddress = "built-in";   // the control as the history names it
    platform::Clock* clock = nullptr;          // none: the system's
};

class Station {
public:
    Station(platform::StationView& view, platform::Pauser& pauser, platform::SerialPort& port,
            cnc::ControlFactory& control, PortSettingsPrompt& prompt, const platform::PathMapper& paths,
            platform::Desktop& desktop, HostFolders folders, StationOptions options);
    ~Station();
    Station(const Station&) = delete;
    Station& operator=(const Station&) = delete;

    // Start-up after the single-instance test: settings, port, field codes, control, work list.
    // Returns false when the program is to end (the control never delivered a work list).
    bool start();

    // Timer1; between scans it also tells what the control said about calls whose outcome was unknown.
    void tick();
    // Manual entry hands the typed (upper-cased) text here.
    bool processLabel(const std::string& text);

    // A check box changed: write its key at once.
    void optionChanged(platform::Option option, bool checked);

    // OpenCommPort with the current settings. On failure the operator is told and asked for other
    // settings (the prompt), which are stored and tried in turn; false when they gave up.
    bool openCommPort();
    // The settings dialog's OK: store port and settings text, save them, reopen the port.
    bool applyCommSettings(const config::CommChoice& choice);
    // The device behind a port number ("CommDevice" + n in the settings, else /dev/ttyS(n-1)).
    std::string deviceForPort(int port);

    // ExInsForm: the boxes it opens with, and its OK.
    scan::ExclusionBoxes exclusionBoxes() const;
    void chooseExclusion(const scan::ExclusionBoxes& boxes);

    config::StationSettings& settings();
    // The hold on the control, shared with the automation test console.
    cnc::WorkListLink& workList();
    const std::string& commandLineUpper() const;
    // The field-selection setup over the live settings that scans use.
    fieldsel::FieldSelectionSetup& fieldSelectionSetup();

    // The history file the station records to (known once started).
    const std::string& historyFile() const;
    // The double-scan guard: its seconds (0 is off), and a new choice, saved at once.
    int duplicateScanSeconds() const;
    void setDuplicateScanSeconds(int seconds);

    // The control stopped answering (why, as the failing call said it), or answers again: kept in
    // the history beside the scans, and published with them.
    void controlReachable(bool reachable, const std::string& why);

    // Unload: close the port, let go of the control.
    void shutdown();

private:
    struct Parts;
    std::unique_ptr<Parts> m_parts;
};

} // namespace quorlan::shell
