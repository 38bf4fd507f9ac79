#include "shell/qt/station_binding.h"

#include "config/qt/settings_dialog.h"
#include "history/qt/history_window.h"
#include "scan/qt/double_scan_dialog.h"

namespace quorlan::shell {

namespace {

// One History window, made on first use and kept with the main window; opening it again brings it
// to the front with what was recorded meanwhile.
void showHistoryWindow(Station& station, MainWindow& window) {
    auto* history = window.findChild<history::HistoryWindow*>();
    if (history == nullptr) {
        history = new history::HistoryWindow(station.historyFile(), &window);
    }
    if (history->isVisible()) {
        history->refresh();
    }
    history->show();
    history->raise();
    history->activateWindow();
}

WindowActions stationActions(Station& station, MainWindow& window, PortSettingsPrompt& prompt,
                             fieldsel::MacFldsHost& fieldSelection) {
    WindowActions actions;
    actions.tick = [&station] { station.tick(); };
    actions.processLabel = [&station](const std::string& label) { return station.processLabel(label); };
    actions.optionChanged = [&station](platform::Option option, bool checked) {
        station.optionChanged(option, checked);
    };
    actions.commSettings = [&station, &prompt] {
        if (const auto choice = prompt.askPortSettings(station.settings())) {
            station.applyCommSettings(*choice);
        }
    };
    actions.autoFieldSelect = [&fieldSelection] { fieldSelection.show(); };
    actions.exclusionBoxes = [&station] { return station.exclusionBoxes(); };
    actions.exclusionChosen = [&station](const scan::ExclusionBoxes& boxes) { station.chooseExclusion(boxes); };
    actions.showHistory = [&station, &window] { showHistoryWindow(station, window); };
    actions.doubleScanGuard = [&station, &window] {
        if (window.unattended()) {
            return;
        }
        if (const auto seconds = scan::askDuplicateScanSeconds(station.duplicateScanSeconds(), &window)) {
            station.setDuplicateScanSeconds(*seconds);
        }
    };
    actions.shutdown = [&station, &fieldSelection] {
        fieldSelection.unload();
        station.shutdown();
    };
    return actions;
}

} // namespace

SettingsDialogPrompt::SettingsDialogPrompt(MainWindow& window, const platform::SerialPort& port)
    : m_window(window), m_port(port) {}

std::optional<config::CommChoice> SettingsDialogPrompt::askPortSettings(const config::StationSettings& current) {
    if (m_window.unattended()) {
        return std::nullopt;
    }
    return config::askCommSettings(
        m_state, current, [this](int port) { return m_port.deviceName(port); }, &m_window);
}

StationAssembly::StationAssembly(MainWindow& window, cnc::ControlFactory& control, const platform::PathMapper& paths,
                                 platform::Desktop& desktop, HostFolders folders, StationOptions options)
    : m_prompt(window, m_port),
      m_station(window, m_pauser, m_port, control, m_prompt, paths, desktop, std::move(folders), std::move(options)),
      m_fieldSelection(m_station.fieldSelectionSetup(), window, window.unattended()) {
    m_port.setDeviceLookup([this](int number) { return m_station.deviceForPort(number); });
    window.setActions(stationActions(m_station, window, m_prompt, m_fieldSelection));
}

} // namespace quorlan::shell
