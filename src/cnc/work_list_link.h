// The station's hold on the CNC control: the application and work-list references, the one-line
// wrappers over the control's list operations, the hand-over of a list line with its recovery,
// the loading of stored list files, and what the station tells the operator when a call fails.
//
// Every failure of a call leaves the operator knowing what to do. A call that did not run (the
// control could not be reached, or refused it) was not done: scan it again. A call whose answer
// never came may have run: the station says so, asks the control the next time it reaches it, and
// then says what became of it ("reached the work list after all: nothing to do", or "scan it
// again"). The list is made anew only when it is really gone: the control was restarted, or says
// the object no longer exists; never because an answer came late.
#pragma once

#include "cnc/control.h"
#include "platform/pauser.h"
#include "platform/view.h"

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace quorlan::cnc {

// What became of one line handed over.
enum class LineOutcome {
    Added,           // it is in the list
    ReachedAfterAll, // it is in the list once: it was scanned again while the fate of its earlier
                     // hand-over was unknown, and that one turned out to have reached the list
    NotAdded,        // it is not in the list; the operator was told what to do
    Unknown,         // it may be in the list: the station tells once the control answers
};

class WorkListLink {
public:
    // Attempts at handing one line over to a list that turns out to be gone (the first included).
    static constexpr int kAddAttempts = 3;
    // How often the station asks, while a call's outcome is unknown, whether the control answers again.
    static constexpr std::chrono::seconds kOutcomeCheckInterval{3};

    WorkListLink(ControlFactory& factory, platform::StationView& view, platform::Pauser& pauser);

    // References filled by start-up, replaced by the recovery, released at shut-down.
    std::shared_ptr<Application>& application() { return m_application; }
    std::shared_ptr<ExeList>& workList() { return m_workList; }
    void setCommandLineUpper(std::string commandLineUpper) { m_commandLineUpper = std::move(commandLineUpper); }
    const std::string& commandLineUpper() const { return m_commandLineUpper; }
    void setListPath(std::string listPath) { m_listPath = std::move(listPath); }
    void release();

    // Shows the work list (its Visible set True). Without one (the station started with NOAPP),
    // the list is first created by its ProgID, shown and cleared, as the recovery does.
    void ShowWorkList();

    // Messaggi: each passes the control's errors to its caller. A list that is gone is replaced
    // by a new one, shown and cleared, before it is cleared; an application object that is gone
    // is made anew by its class before the call goes again.
    void ClearWorkList();
    void StartWorkList();
    void HoldWorkList();
    void EndWorkList();
    void Setpoint();

    // Adds the line. When the list is gone, re-creates the list object by its ProgID, shows and
    // clears it, and tries again. A line scanned again while the outcome of the same line's last
    // hand-over is unknown is that hand-over's retry: it is added only if that one did not reach
    // the list. Tells the operator whatever is not plain success.
    LineOutcome ConnectListManager(const std::string& line);

    // Opens ListPath + name + ".LST" in the control. Always false, as the label's result. A list
    // that does not load is named in a message box, with the reason unless it is missing.
    bool LoadListFile(const std::string& name);

    // On every tick: tells what the control has said about calls whose outcome was unknown, and
    // while any is still unknown, asks it again every kOutcomeCheckInterval.
    void CheckLateOutcomes();

    // Told a line's outcome that was unknown when it was handed over, with the program it is for:
    // Added (it did reach the list), or NotAdded.
    using LateLineObserver =
        std::function<void(const std::string& line, const std::string& program, LineOutcome outcome)>;
    void setLateLineObserver(LateLineObserver observer) { m_lateLineObserver = std::move(observer); }

private:
    struct UnknownLine {
        std::uint64_t ticket = 0;
        std::string line;
    };

    Application& requireApplication();
    ExeList& requireWorkList();
    void onApplication(void (Application::*operation)());
    void recreateWorkList();
    void replaceLostList();
    std::optional<LineOutcome> retryOfUnknownLine(const std::string& line);
    LineOutcome addLine(const std::string& line);
    LineOutcome notAdded(const std::string& line, const platform::StationError& error);
    void tellLateOutcomes(const std::string* retriedLine, bool* reachedAfterAll);
    void tellLineOutcome(const LateOutcome& outcome, const std::string& line);
    void tellCallOutcome(const LateOutcome& outcome);
    void warn(const std::string& text);

    ControlFactory& m_factory;
    platform::StationView& m_view;
    platform::Pauser& m_pauser;
    std::shared_ptr<Application> m_application;
    std::shared_ptr<ExeList> m_workList;
    std::string m_commandLineUpper;
    std::string m_listPath;
    std::vector<UnknownLine> m_unknownLines; // the newest last
    std::chrono::steady_clock::time_point m_nextCheck{};
    bool m_checking = false;
    LateLineObserver m_lateLineObserver;
};

} // namespace quorlan::cnc
