#include "cnc/work_list_link.h"

#include "config/common.h"
#include "platform/error.h"
#include "platform/text.h"

namespace quorlan::cnc {

namespace {

using platform::StationError;

// The program a list line is for: the value of its first item.
std::string programNameOf(const std::string& line) {
    static constexpr std::string_view kProgramItem = "#161=";
    const auto start = line.find(kProgramItem);
    if (start == std::string::npos) {
        return {};
    }
    const auto valueStart = start + kProgramItem.size();
    return line.substr(valueStart, line.find(';', valueStart) - valueStart);
}

} // namespace

WorkListLink::WorkListLink(ControlFactory& factory, platform::StationView& view, platform::Pauser& pauser)
    : m_factory(factory), m_view(view), m_pauser(pauser) {}

void WorkListLink::release() {
    m_workList.reset();
    m_application.reset();
}

Application& WorkListLink::requireApplication() {
    if (!m_application) {
        throw StationError(platform::errc::kObjectNotSet);
    }
    return *m_application;
}

ExeList& WorkListLink::requireWorkList() {
    if (!m_workList) {
        throw StationError(platform::errc::kObjectNotSet);
    }
    return *m_workList;
}

void WorkListLink::ShowWorkList() {
    if (!m_workList) {
        recreateWorkList();
        return;
    }
    m_workList->SetVisible(true);
}

void WorkListLink::ClearWorkList() {
    if (platform::contains(m_commandLineUpper, "NOAPP")) {
        return;
    }
    try {
        requireWorkList().Clear();
    } catch (const StationError&) {
        // A list lost with a restarted control would refuse every clear, and every label that
        // clears first (the first scan, automatic clear) would fail before its line could reach
        // the recovery of ConnectListManager. A new list is an empty one; if even that cannot
        // be had, the caller hears why.
        recreateWorkList();
    }
}

void WorkListLink::StartWorkList() {
    requireApplication().StartList();
}

void WorkListLink::HoldWorkList() {
    requireApplication().HoldList();
}

void WorkListLink::EndWorkList() {
    requireApplication().EndList();
}

void WorkListLink::Setpoint() {
    requireApplication().Setpoint();
}

bool WorkListLink::ConnectListManager(const std::string& line) {
    for (int attempt = 1; attempt <= kAddAttempts; ++attempt) {
        if (attempt > 1) {
            // A failure here is not the list refusing a line but the control refusing a new list:
            // that reaches the caller's handler.
            recreateWorkList();
        }
        try {
            requireWorkList().AddLine(line);
            return true;
        } catch (const StationError&) {
            // the list is gone or refuses: the next attempt starts from a new list object
        }
    }
    reportUnreachable(line);
    return false;
}

void WorkListLink::recreateWorkList() {
    m_workList = m_factory.createObject(kExeListProgId);
    requireWorkList().SetVisible(true);
    requireWorkList().Clear();
}

void WorkListLink::reportUnreachable(const std::string& line) {
    const std::string program = programNameOf(line);
    const std::string text = program.empty() ? std::string("Work list not reachable: the line was not added.")
                                             : "Work list not reachable: the line for " + program + " was not added.";
    m_view.setStatus(text);
    m_view.message(text, platform::MessageIcon::Exclamation);
}

bool WorkListLink::LoadListFile(const std::string& name) {
    const std::string path = m_listPath + name + ".LST";
    try {
        requireApplication().OpenList(path);
    } catch (const StationError& error) {
        config::ShowReady(m_view, m_pauser);
        // Any other failure (a FIFO or a folder under the name, a control that refuses) is named too:
        // a list label that silently loads nothing leaves the operator guessing.
        const std::string text = error.number() == platform::errc::kFileNotFound
                                     ? "List File " + path + " Not Found"
                                     : "List File " + path + " not loaded: " + error.description();
        m_view.message(text, platform::MessageIcon::Exclamation);
        platform::hidePartIndicators(m_view);
    }
    return false;
}

} // namespace quorlan::cnc
