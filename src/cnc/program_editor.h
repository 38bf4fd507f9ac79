// LaunchEditor: shows a program in the maker's program editor, which offers no interface but its
// keyboard: the editor is started (or found running), brought forward, and given its open command,
// the program name and two Enter keys.
#pragma once

#include "platform/desktop.h"
#include "platform/path_mapper.h"
#include "platform/pauser.h"
#include "platform/view.h"

#include <functional>
#include <optional>
#include <string>

namespace quorlan::cnc {

inline constexpr const char* kEditorPath = "c:\\koridan\\bin\\Varneto.exe";

class ProgramEditor final {
public:
    ProgramEditor(platform::Desktop& desktop, platform::StationView& view, platform::Pauser& pauser,
                  const platform::PathMapper& paths);
    ProgramEditor(const ProgramEditor&) = delete;
    ProgramEditor& operator=(const ProgramEditor&) = delete;

    // A step that fails is skipped and the next one runs; nothing is reported to the caller.
    void LaunchEditor(const std::string& programName);

private:
    // Nothing when the check itself failed.
    std::optional<bool> editorRunning();
    void startEditor();
    void driveEditor(const std::string& programName);
    void attempt(const std::function<void()>& step);
    void reportFailedStart();

    platform::Desktop& m_desktop;
    platform::StationView& m_view;
    platform::Pauser& m_pauser;
    const platform::PathMapper& m_paths;
    // Both persist between calls. Wide enough for any process id or X window id.
    platform::TaskId m_task = 0;
    platform::WindowHandle m_window = 0;
    bool m_failedStartShown = false;
    bool m_unavailableReported = false;
};

} // namespace quorlan::cnc
