// The station's hold on the CNC control: the application and work-list references, the one-line
// wrappers over the control's list operations, the hand-over of a list line with its recovery,
// and the loading of stored list files.
#pragma once

#include "cnc/control.h"
#include "platform/pauser.h"
#include "platform/view.h"

#include <memory>
#include <string>
#include <utility>

namespace quorlan::cnc {

class WorkListLink {
public:
    // Attempts at handing one line over before the failure is reported (the first try included).
    static constexpr int kAddAttempts = 3;

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

    // Messaggi: each passes the control's errors to its caller. A list that cannot be cleared is
    // replaced by a new one, shown and cleared, as ConnectListManager does.
    void ClearWorkList();
    void StartWorkList();
    void HoldWorkList();
    void EndWorkList();
    void Setpoint();

    // Adds the line; when the list cannot take it, re-creates the list object by its ProgID,
    // shows and clears it, and tries again. Returns false (after telling the operator) when no
    // attempt reached the list.
    bool ConnectListManager(const std::string& line);

    // Opens ListPath + name + ".LST" in the control. Always false, as the label's result. A list
    // that does not load is named in a message box, with the reason unless it is missing.
    bool LoadListFile(const std::string& name);

private:
    Application& requireApplication();
    ExeList& requireWorkList();
    void recreateWorkList();
    void reportUnreachable(const std::string& line);

    ControlFactory& m_factory;
    platform::StationView& m_view;
    platform::Pauser& m_pauser;
    std::shared_ptr<Application> m_application;
    std::shared_ptr<ExeList> m_workList;
    std::string m_commandLineUpper;
    std::string m_listPath;
};

} // namespace quorlan::cnc
