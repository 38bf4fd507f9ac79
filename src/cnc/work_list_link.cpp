#include "cnc/work_list_link.h"

#include "config/common.h"
#include "platform/error.h"
#include "platform/text.h"

#include <algorithm>

namespace quorlan::cnc {

namespace {

using platform::StationError;

// Lines whose outcome is awaited; more than a station ever has unknown at once.
constexpr std::size_t kMaxUnknownLines = 64;

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

// The line as the operator knows it.
std::string lineName(const std::string& line) {
    const std::string program = programNameOf(line);
    return program.empty() ? std::string("The line") : program;
}

std::string operationName(Operation operation) {
    return std::string(describe(operation) == nullptr ? std::string_view("the call") : describe(operation)->name);
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

void WorkListLink::warn(const std::string& text) {
    m_view.setStatus(text);
    m_view.message(text, platform::MessageIcon::Exclamation);
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
    if (!m_workList) {
        recreateWorkList();
        return;
    }
    try {
        m_workList->Clear();
    } catch (const StationError& error) {
        // A list lost with a restarted control refuses every clear, and every label that clears
        // first (the first scan, automatic clear) would fail before its line could reach the
        // recovery of ConnectListManager. A new list is an empty one. Any other failure is the
        // caller's: a clear that came late or was refused must not cost the list its object.
        if (classify(error) != CallFailure::ObjectGone) {
            throw;
        }
        replaceLostList();
    }
}

// A control restarted since start-up has none of the objects the station held: the application
// is made anew by its class, once, and the call goes again.
void WorkListLink::onApplication(void (Application::*operation)()) {
    try {
        (requireApplication().*operation)();
    } catch (const StationError& error) {
        if (classify(error) != CallFailure::ObjectGone) {
            throw;
        }
        m_application = m_factory.createApplication();
        (requireApplication().*operation)();
    }
}

void WorkListLink::StartWorkList() {
    onApplication(&Application::StartList);
}

void WorkListLink::HoldWorkList() {
    onApplication(&Application::HoldList);
}

void WorkListLink::EndWorkList() {
    onApplication(&Application::EndList);
}

void WorkListLink::Setpoint() {
    onApplication(&Application::Setpoint);
}

LineOutcome WorkListLink::ConnectListManager(const std::string& line) {
    if (const auto retried = retryOfUnknownLine(line)) {
        return *retried;
    }
    return addLine(line);
}

// The operator scans a line again when its hand-over was not acknowledged. While that hand-over's
// fate is unknown, the control is asked first: if it did reach the list, the scan is answered by
// it, and a line that was acknowledged is never taken for a retry, so a part scanned twice on
// purpose gets two lines.
std::optional<LineOutcome> WorkListLink::retryOfUnknownLine(const std::string& line) {
    if (m_factory.awaitingOutcomes()) {
        m_factory.learnOutcomes();
    }
    const bool retry = !m_unknownLines.empty() && m_unknownLines.back().line == line;
    bool reachedAfterAll = false;
    tellLateOutcomes(retry ? &line : nullptr, &reachedAfterAll);
    const std::string name = lineName(line);
    if (!retry) {
        if (m_factory.awaitingOutcomes()) {
            // It did not even answer the greeting just now: a call would only wait as long again.
            warn(name + " was not queued: the CNC control does not answer (it may be stopped or busy). Scan it "
                        "again once it answers.");
            return LineOutcome::NotAdded;
        }
        return std::nullopt;
    }
    if (reachedAfterAll) {
        m_view.setStatus(name + " reached the work list after all, from its earlier scan; it was not added again.");
        return LineOutcome::ReachedAfterAll;
    }
    if (!m_unknownLines.empty() && m_unknownLines.back().line == line) {
        m_view.setStatus(name + " was not queued now: the CNC control still does not answer, so whether " + name +
                         " scanned before reached the work list is not known yet. Nothing to do: the station will "
                         "say as soon as the control answers.");
        return LineOutcome::NotAdded;
    }
    return std::nullopt; // the earlier hand-over did not reach the list: this one goes
}

LineOutcome WorkListLink::addLine(const std::string& line) {
    for (int attempt = 1; attempt <= kAddAttempts; ++attempt) {
        if (!m_workList) {
            // Without a list since start-up (NOAPP): the first line makes one. A failure here is
            // the control refusing a new list: that reaches the caller's handler.
            recreateWorkList();
        }
        try {
            m_workList->AddLine(line);
            return LineOutcome::Added;
        } catch (const OutcomeUnknown& error) {
            m_unknownLines.push_back({error.ticket(), line});
            // Time for the operator to scan it again before the station settles its fate alone:
            // a scan on its way is then taken for the retry it is.
            m_nextCheck = std::chrono::steady_clock::now() + kOutcomeCheckInterval;
            if (m_unknownLines.size() > kMaxUnknownLines) {
                m_unknownLines.erase(m_unknownLines.begin());
            }
            m_view.setStatus(lineName(line) + ": " + error.description());
            return LineOutcome::Unknown;
        } catch (const StationError& error) {
            if (classify(error) != CallFailure::ObjectGone) {
                return notAdded(line, error);
            }
            replaceLostList();
        }
    }
    return notAdded(line, StationError(platform::errc::kServerUnavailable,
                                       "the CNC control's work list was gone each time a new one was made"));
}

LineOutcome WorkListLink::notAdded(const std::string& line, const StationError& error) {
    const std::string name = lineName(line);
    warn(name + " was not queued: " + error.description() + " (error " + std::to_string(error.number()) +
         "). Scan it again" +
         (error.number() == platform::errc::kCannotCreateObject ? " once the control answers." : "."));
    return LineOutcome::NotAdded;
}

void WorkListLink::recreateWorkList() {
    m_workList = m_factory.createObject(kExeListProgId);
    requireWorkList().SetVisible(true);
    requireWorkList().Clear();
}

void WorkListLink::replaceLostList() {
    recreateWorkList();
    m_view.setStatus("The CNC control's work list was gone (the control was restarted): a new, empty one took its "
                     "place, and lines queued before are not in it.");
}

void WorkListLink::CheckLateOutcomes() {
    if (m_checking) {
        return;
    }
    m_checking = true;
    const auto now = std::chrono::steady_clock::now();
    if (m_factory.awaitingOutcomes() && now >= m_nextCheck) {
        m_factory.learnOutcomes();
        m_nextCheck = std::chrono::steady_clock::now() + kOutcomeCheckInterval;
    }
    tellLateOutcomes(nullptr, nullptr);
    m_checking = false;
}

// Each outcome the control told since the last time, said once. A line's retry being handed over
// says its own.
void WorkListLink::tellLateOutcomes(const std::string* retriedLine, bool* reachedAfterAll) {
    for (const LateOutcome& outcome : m_factory.takeLateOutcomes()) {
        const auto unknown =
            std::find_if(m_unknownLines.begin(), m_unknownLines.end(),
                         [&outcome](const UnknownLine& line) { return line.ticket == outcome.ticket; });
        if (unknown == m_unknownLines.end()) {
            tellCallOutcome(outcome);
            continue;
        }
        const std::string line = unknown->line;
        m_unknownLines.erase(unknown);
        const bool reached = outcome.kind == LateOutcome::Kind::Ran;
        if (m_lateLineObserver) {
            m_lateLineObserver(line, programNameOf(line), reached ? LineOutcome::Added : LineOutcome::NotAdded);
        }
        if (retriedLine != nullptr && *retriedLine == line) {
            *reachedAfterAll = reached;
        } else {
            tellLineOutcome(outcome, line);
        }
    }
}

void WorkListLink::tellLineOutcome(const LateOutcome& outcome, const std::string& line) {
    const std::string name = lineName(line);
    switch (outcome.kind) {
    case LateOutcome::Kind::Ran:
        m_view.setStatus(name + " reached the work list after all: nothing to do.");
        return;
    case LateOutcome::Kind::Failed:
    case LateOutcome::Kind::NeverRan:
        warn(name + " did not reach the work list: scan it again.");
        return;
    case LateOutcome::Kind::ControlRestarted:
        warn(name + " is not in the work list: the CNC control was restarted before it told whether " + name +
             " had reached it. Scan it again.");
        return;
    case LateOutcome::Kind::Forgotten:
        warn("Whether " + name +
             " reached the work list cannot be told: the CNC control no longer remembers. Look "
             "at its work list, and scan " +
             name + " again only if it is not there.");
        return;
    }
}

void WorkListLink::tellCallOutcome(const LateOutcome& outcome) {
    const std::string name = operationName(outcome.operation);
    switch (outcome.kind) {
    case LateOutcome::Kind::Ran:
        m_view.setStatus("The CNC control did run " + name + " after all: nothing to do.");
        return;
    case LateOutcome::Kind::Failed:
    case LateOutcome::Kind::NeverRan:
        warn("The CNC control did not run " + name + ": scan the label that asked for it again.");
        return;
    case LateOutcome::Kind::ControlRestarted:
        warn("The CNC control was restarted before it told whether it ran " + name +
             ": scan the label that asked for it again.");
        return;
    case LateOutcome::Kind::Forgotten:
        warn("Whether the CNC control ran " + name +
             " cannot be told any more: look at the control before you scan "
             "the label that asked for it again.");
        return;
    }
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
