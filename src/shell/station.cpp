#include "shell/station.h"

#include "cnc/compressed_payload.h"
#include "cnc/program_editor.h"
#include "cnc/work_list_link.h"
#include "config/comm_settings.h"
#include "config/common.h"
#include "config/configuration.h"
#include "fieldsel/auto_field_selection.h"
#include "history/history_settings.h"
#include "platform/error.h"
#include "platform/text.h"
#include "platform/zlib_codec.h"
#include "scan/label_processor.h"
#include "scan/label_state.h"
#include "scan/two_d_barcode.h"
#include "shell/port_watch.h"
#include "shell/scan_history.h"
#include "shell/scan_loop.h"
#include "shell/station_events.h"
#include "shell/watched_view.h"

#include <functional>

namespace quorlan::shell {

namespace {

constexpr const char* kHelpFileName = "\\DRUMELI.HLP";
constexpr int kListWaitStepMs = 100;

// Start-up and manual entry hold the scan loop: scans keep being framed, and are dispatched when
// the hold ends, never nested inside another label.
class HoldGuard {
public:
    explicit HoldGuard(ScanLoop& loop) : m_loop(loop) { m_loop.hold(); }
    ~HoldGuard() { m_loop.release(); }
    HoldGuard(const HoldGuard&) = delete;
    HoldGuard& operator=(const HoldGuard&) = delete;

private:
    ScanLoop& m_loop;
};

} // namespace

struct Station::Parts {
    Parts(platform::StationView& view, platform::Pauser& pauser, platform::SerialPort& port,
          cnc::ControlFactory& control, PortSettingsPrompt& prompt, const platform::PathMapper& paths,
          platform::Desktop& desktop, HostFolders folders, StationOptions options)
        : view(view), pauser(pauser), port(port), control(control), prompt(prompt), paths(paths),
          folders(std::move(folders)), options(std::move(options)), watched(view),
          clock(this->options.clock != nullptr ? *this->options.clock : systemClock),
          settingsFile(settings, paths, this->folders.windowsDirectory,
                       [this](const std::string& text) { watched.setStatus(text); }),
          workList(control, watched, pauser), fieldSelection(settingsFile),
          history(watched, clock, fieldCodes), context{watched,        pauser,           port,
                                                       paths,          settings,         workList,
                                                       fieldSelection, commandLineUpper, &history},
          editor(desktop, watched, pauser, paths), labels(context, labelState, fieldCodes, launchEditor()),
          twoD(context, labelState, fieldCodes, launchEditor()), portWatch(port, watched, settings),
          scanLoop(port, watched, routes()),
          fieldSelectionSetup(fieldSelection, labelState.LastProgramName, labelState.LastProgramComment),
          events(watched) {
        history.setRecorded([this] { events.recorded(); });
        portWatch.setOnChange([this](bool open, const std::string& name, const std::string& reason) {
            history.note(open ? history::NoticeKind::PortBack : history::NoticeKind::PortLost, name, reason);
        });
    }

    scan::EditorLauncher launchEditor() {
        return [this](const std::string& name) { editor.LaunchEditor(name); };
    }

    // Each route runs through the history, which records what became of the scan.
    ScanRoutes routes() {
        ScanRoutes result;
        result.processLabel = [this](const std::string& text) {
            return history.label(text, false, [&] { return labels.ProcessLabel(text); });
        };
        result.process2DBarcode = [this](const std::string& text) {
            history.twoD(text, [&] { twoD.Process2DBarcode(text); });
        };
        result.expandCompressedScan = [this](const std::string& text) {
            return history.compressed(text,
                                      [&] { return cnc::ExpandCompressedScan(text, decompressor, paths, watched); });
        };
        return result;
    }

    // An error in a start-up step is reported and start-up goes on with the next step.
    void startupStep(const std::function<void()>& step) {
        try {
            step();
        } catch (const platform::StationError& error) {
            config::showUnexpectedError(view, error);
        }
    }

    // The control may need a while before it hands out its work list. The wait keeps the window
    // alive, and gives up after a bounded time rather than hanging the station.
    // A control whose application object could not be created can never deliver a list either:
    // that ends the same way as a control that never answers.
    bool waitForWorkList() {
        const std::int64_t deadline = clock.steadyMs() + options.listWait.count();
        while (true) {
            auto& application = workList.application();
            if (application) {
                if (auto list = application->NewList()) {
                    workList.workList() = std::move(list);
                    return true;
                }
            }
            if (!application || clock.steadyMs() >= deadline) {
                view.message("Koridan Connection Failed!", platform::MessageIcon::Critical,
                             platform::MessageButtons::Ok, "ERROR");
                return false;
            }
            pauser.pauseMilliseconds(kListWaitStepMs);
        }
    }

    void store(const config::CommChoice& choice) {
        settings.CommPort = static_cast<std::int16_t>(choice.port);
        settings.CommSettings = choice.settings;
        config::SaveCommSettings(settings, settingsFile);
    }

    platform::StationView& view;
    platform::Pauser& pauser;
    platform::SerialPort& port;
    cnc::ControlFactory& control;
    PortSettingsPrompt& prompt;
    const platform::PathMapper& paths;
    HostFolders folders;
    StationOptions options;

    // Every message the logic gives goes through here, so the history can tell what a scan came to.
    WatchedView watched;
    platform::SystemClock systemClock;
    platform::Clock& clock;
    config::StationSettings settings;
    config::SettingsFile settingsFile;
    std::string commandLineUpper;
    std::string helpFile;
    cnc::WorkListLink workList;
    fieldsel::AutoFieldSelection fieldSelection;
    scan::FieldCodeTable fieldCodes;
    scan::LabelState labelState;
    ScanHistory history;
    scan::ScanContext context;
    scan::ExclusionSelection exclusion;
    cnc::ProgramEditor editor;
    scan::LabelProcessor labels;
    scan::TwoDProcessor twoD;
    platform::ZlibDecompressor decompressor;
    PortWatch portWatch;
    ScanLoop scanLoop;
    fieldsel::FieldSelectionSetup fieldSelectionSetup;
    StationEvents events;
};

Station::Station(platform::StationView& view, platform::Pauser& pauser, platform::SerialPort& port,
                 cnc::ControlFactory& control, PortSettingsPrompt& prompt, const platform::PathMapper& paths,
                 platform::Desktop& desktop, HostFolders folders, StationOptions options)
    : m_parts(std::make_unique<Parts>(view, pauser, port, control, prompt, paths, desktop, std::move(folders),
                                      std::move(options))) {}

Station::~Station() = default;

bool Station::start() {
    Parts& p = *m_parts;
    HoldGuard hold(p.scanLoop);
    if (config::LoadConfiguration(p.settings, p.watched, p.paths, p.folders.programFolder,
                                  p.folders.windowsDirectory)) {
        openCommPort();
    }
    // Beyond the rules' start-up, and silent unless the history cannot be kept.
    p.startupStep([&] {
        p.history.open(history::readHistorySettings(p.settingsFile, p.paths), p.options.controlAddress);
        p.history.guard().setSeconds(scan::readDuplicateScanSeconds(p.settingsFile));
    });
    p.workList.setLateLineObserver([&p](const std::string& line, const std::string& program, cnc::LineOutcome outcome) {
        if (outcome == cnc::LineOutcome::Added) {
            p.history.reachedAfterAll(line, program);
        }
    });
    // The events go out from the history: off, and silent, unless MqttBroker names a broker.
    p.startupStep([&] {
        p.events.start(p.settingsFile, p.paths, p.history.file(), p.options.controlAddress);
        p.history.note(history::NoticeKind::StationStarted, QUORLAN_VERSION);
    });
    p.workList.setListPath(p.settings.ListPath);
    p.startupStep([&] { p.helpFile = p.folders.programFolder + kHelpFileName; });
    p.startupStep([&] { p.workList.application() = p.control.createApplication(); });
    p.startupStep([&] {
        p.commandLineUpper = platform::toUpper(p.options.commandLine);
        p.workList.setCommandLineUpper(p.commandLineUpper);
    });
    bool connected = true;
    if (!platform::contains(p.commandLineUpper, "NOAPP")) {
        p.startupStep([&] { connected = p.waitForWorkList(); });
    }
    if (!connected) {
        return false;
    }
    p.labelState.FirstScan = true;
    return true;
}

void Station::tick() {
    Parts& p = *m_parts;
    if (p.portWatch.ready()) {
        p.scanLoop.tick();
    }
    // Between scans only: what the control tells about a call must not interleave with a label, and
    // a scan on its way may be the retry of the very call it tells about.
    if (!p.scanLoop.busy() && p.scanLoop.pendingText().empty() && p.scanLoop.queuedScans() == 0) {
        HoldGuard hold(p.scanLoop);
        p.workList.CheckLateOutcomes();
    }
    if (!p.scanLoop.busy()) {
        p.history.idle();
        p.events.tick();
    }
}

bool Station::processLabel(const std::string& text) {
    Parts& p = *m_parts;
    if (p.scanLoop.busy()) {
        // Pressed while a scan is being handed over: the label would interleave with it.
        p.view.setStatus("Busy with a scan; press OK again in a moment.");
        return false;
    }
    HoldGuard hold(p.scanLoop);
    return p.history.label(text, true, [&] { return p.labels.ProcessLabel(text); });
}

void Station::optionChanged(platform::Option option, bool checked) {
    config::SaveOption(m_parts->settingsFile, option, checked);
}

bool Station::openCommPort() {
    Parts& p = *m_parts;
    // Whatever the operator chooses, the scanner is wanted: a port that does not open now is
    // tried again on every tick, with the status line saying why it is closed.
    p.portWatch.keepOpen();
    while (!config::OpenCommPort(p.settings, p.port, p.view)) {
        const auto choice = p.prompt.askPortSettings(p.settings);
        if (!choice) {
            return false;
        }
        p.store(*choice);
    }
    return true;
}

bool Station::applyCommSettings(const config::CommChoice& choice) {
    m_parts->store(choice);
    return openCommPort();
}

std::string Station::deviceForPort(int port) {
    if (port < 1) {
        return {};
    }
    const std::string configured =
        m_parts->settingsFile.getString("CommDevice" + std::to_string(port), "", config::kStringBufferSize);
    return configured.empty() ? "/dev/ttyS" + std::to_string(port - 1) : configured;
}

scan::ExclusionBoxes Station::exclusionBoxes() const {
    return m_parts->exclusion.boxes();
}

void Station::chooseExclusion(const scan::ExclusionBoxes& boxes) {
    m_parts->exclusion.choose(boxes, m_parts->settingsFile, m_parts->view);
}

config::StationSettings& Station::settings() {
    return m_parts->settings;
}

cnc::WorkListLink& Station::workList() {
    return m_parts->workList;
}

const std::string& Station::commandLineUpper() const {
    return m_parts->commandLineUpper;
}

fieldsel::FieldSelectionSetup& Station::fieldSelectionSetup() {
    return m_parts->fieldSelectionSetup;
}

const std::string& Station::historyFile() const {
    return m_parts->history.file();
}

int Station::duplicateScanSeconds() const {
    return m_parts->history.guard().seconds();
}

void Station::setDuplicateScanSeconds(int seconds) {
    m_parts->history.guard().setSeconds(seconds);
    scan::saveDuplicateScanSeconds(m_parts->settingsFile, m_parts->history.guard().seconds());
}

void Station::controlReachable(bool reachable, const std::string& why) {
    m_parts->history.note(reachable ? history::NoticeKind::ControlBack : history::NoticeKind::ControlUnreachable,
                          m_parts->options.controlAddress, why);
}

void Station::shutdown() {
    Parts& p = *m_parts;
    p.history.note(history::NoticeKind::StationStopping, QUORLAN_VERSION);
    p.events.stop();
    p.portWatch.stop();
    if (p.port.isOpen()) {
        p.port.close();
    }
    p.workList.release();
}

} // namespace quorlan::shell
