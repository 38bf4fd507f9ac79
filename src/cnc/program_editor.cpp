#include "cnc/program_editor.h"

#include "platform/error.h"

namespace quorlan::cnc {

namespace {

constexpr float kEditorPauseSeconds = 0.5f;
constexpr const char* kFailedStartTitle = "Error:  Unable to launch Editor";
constexpr const char* kFailedStartText = "Probably c:\\koridan\\bin\\Varneto.exe could not be found";

} // namespace

ProgramEditor::ProgramEditor(platform::Desktop& desktop, platform::StationView& view, platform::Pauser& pauser,
                             const platform::PathMapper& paths)
    : m_desktop(desktop), m_view(view), m_pauser(pauser), m_paths(paths) {}

void ProgramEditor::LaunchEditor(const std::string& programName) {
    if (const auto reason = m_desktop.unavailableReason()) {
        // Said once: repeating it on every label would only hide the station's own messages.
        if (!m_unavailableReported) {
            m_unavailableReported = true;
            m_view.setStatus(*reason);
        }
        return;
    }
    // A failed check runs the steps it guards.
    if (editorRunning() != true) {
        startEditor();
    }
    if (editorRunning() != false) {
        driveEditor(programName);
    }
}

std::optional<bool> ProgramEditor::editorRunning() {
    try {
        return m_desktop.isRunning(m_task);
    } catch (const platform::StationError&) {
        return std::nullopt;
    }
}

void ProgramEditor::startEditor() {
    try {
        m_task = m_desktop.startProgram(m_paths.toLocal(kEditorPath));
        m_failedStartShown = false;
    } catch (const platform::StationError&) {
        reportFailedStart();
    }
    attempt([this] { platform::pauseSeconds(m_pauser, kEditorPauseSeconds); });
    attempt([this] { m_desktop.activate(m_task); });
    attempt([this] { m_window = m_desktop.activeWindow(); });
}

void ProgramEditor::driveEditor(const std::string& programName) {
    attempt([this] { m_desktop.makeTopmost(m_window); });
    attempt([this] { m_desktop.activate(m_task); });
    attempt([this] { m_desktop.pressKey(platform::Key::CtrlO); });
    attempt([this] { platform::pauseSeconds(m_pauser, kEditorPauseSeconds); });
    attempt([this, &programName] { m_desktop.typeText(programName); });
    attempt([this] { m_desktop.pressKey(platform::Key::Enter); });
    attempt([this] { m_desktop.pressKey(platform::Key::Enter); });
}

void ProgramEditor::attempt(const std::function<void()>& step) {
    try {
        step();
    } catch (const platform::StationError&) {
        // skipped; the next step runs
    }
}

// Once, not on every label: the operator learns it, and hears of it again only if the editor
// was found in between and went missing once more.
void ProgramEditor::reportFailedStart() {
    if (m_failedStartShown) {
        return;
    }
    m_failedStartShown = true;
    m_view.message(kFailedStartText, platform::MessageIcon::Critical, platform::MessageButtons::Ok, kFailedStartTitle);
}

} // namespace quorlan::cnc
