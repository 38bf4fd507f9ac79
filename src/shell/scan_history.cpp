#include "shell/scan_history.h"

#include "config/common.h"
#include "platform/error.h"
#include "platform/text.h"

#include <array>
#include <chrono>
#include <string_view>

namespace quorlan::shell {

namespace {

using history::Outcome;
using history::ScanKind;

constexpr std::chrono::milliseconds kRetentionBudget{250};
constexpr std::int64_t kFlushAfterQuietMs = 2000;

// The labels that are commands to the control, as label processing reads them.
constexpr std::array<std::string_view, 6> kCommandLabels = {"%START%", "%STOP%",     "%END%",
                                                            "%CLEAR%", "%SETPOINT%", "%SETP%"};

// What a scan that sent no line came to, from what the operator was shown: a message box is a
// failure, a status line other than the station's progress texts a refusal.
Outcome outcomeWithoutLine(ScanKind kind, const std::string& status, const std::string& message) {
    if (kind == ScanKind::Command) {
        return Outcome::Done;
    }
    if (kind == ScanKind::FieldCode || status == " Waiting for next barcode...") {
        return Outcome::Collected;
    }
    if (!message.empty()) {
        return Outcome::Failed;
    }
    if (status == "Ready." || platform::startsWith(status, "Reading Barcode-Label.")) {
        return Outcome::Done;
    }
    return Outcome::Refused;
}

} // namespace

ScanHistory::ScanHistory(WatchedView& view, platform::Clock& clock, const scan::FieldCodeTable& fieldCodes)
    : m_view(view), m_clock(clock), m_fieldCodes(fieldCodes), m_guard(clock) {}

void ScanHistory::open(const history::HistorySettings& settings, std::string control) {
    m_file = settings.file;
    m_control = std::move(control);
    m_store = std::make_unique<history::HistoryStore>(history::StoreOptions{settings.file, settings.defaultPlace},
                                                      [this](const std::string& text) { m_view.setStatus(text); });
    if (const auto cutoff = history::retentionCutoff(m_clock.wallMs(), settings.days)) {
        m_store->removeOlderThan(*cutoff, kRetentionBudget);
    } else {
        m_store->open();
    }
}

bool ScanHistory::label(const std::string& text, bool typed, const std::function<bool()>& route) {
    bool accepted = false;
    run(typed ? ScanKind::Manual : labelKind(text), text, [&] { accepted = route(); });
    return accepted;
}

void ScanHistory::twoD(const std::string& text, const std::function<void()>& route) {
    run(ScanKind::TwoD, text, route);
}

std::string ScanHistory::compressed(const std::string& text, const std::function<std::string()>& expand) {
    std::string expanded;
    m_compressedScan.reset();
    run(ScanKind::Compressed, text, [&] {
        expanded = expand();
        if (!expanded.empty()) {
            // What it holds is routed next and records the events; this scan records none itself.
            m_current->recorded = true;
        }
    });
    if (!expanded.empty()) {
        m_compressedScan = text;
    }
    return expanded;
}

ScanKind ScanHistory::labelKind(const std::string& text) const {
    for (const auto command : kCommandLabels) {
        if (text == command) {
            return ScanKind::Command;
        }
    }
    const std::string trimmed = platform::trimBlanks(text);
    if (text.size() >= 3 && text.size() <= 5 && trimmed.size() > 1 &&
        m_fieldCodes.IsFieldCode(trimmed.substr(1, text.size() - 2))) {
        return ScanKind::FieldCode;
    }
    return platform::contains(text, "%") || platform::contains(text, "$") ? ScanKind::SetPart : ScanKind::Label;
}

void ScanHistory::run(ScanKind kind, const std::string& text, const std::function<void()>& route) {
    if (m_compressedScan) {
        kind = ScanKind::Compressed;
    }
    m_current = Current{kind, m_compressedScan.value_or(text)};
    m_compressedScan.reset();
    m_view.startScan();
    try {
        route();
    } catch (const platform::StationError& error) {
        if (!m_current->recorded) {
            record(eventOf(*m_current, Outcome::Failed, config::UnexpectedErrorMessage(error)));
        }
        m_current.reset();
        throw;
    } catch (const std::exception& error) {
        if (!m_current->recorded) {
            record(eventOf(*m_current, Outcome::Failed, error.what()));
        }
        m_current.reset();
        throw;
    }
    if (!m_current->recorded) {
        const std::string status = m_view.status();
        const Outcome outcome = outcomeWithoutLine(m_current->kind, status, m_view.lastMessage());
        const std::string& reason = !m_view.lastMessage().empty() ? m_view.lastMessage() : status;
        record(eventOf(*m_current, outcome,
                       outcome == Outcome::Refused || outcome == Outcome::Failed ? reason : std::string()));
    }
    m_current.reset();
}

bool ScanHistory::mayHandOver(const std::string& line, const scan::LabelState& state) {
    // A second line of the same scan is the part's mirrored copy, never a double scan.
    if (m_current && m_current->recorded) {
        return true;
    }
    const std::string refusal = m_guard.refusal(line, state.ProgramName);
    if (refusal.empty()) {
        return true;
    }
    m_view.setStatus(refusal);
    m_view.beep();
    handedOver({}, state, false, refusal);
    return false;
}

void ScanHistory::handedOver(const std::string& line, const scan::LabelState& state, bool added,
                             const std::string& failure) {
    if (added) {
        m_guard.handedOver(line);
    }
    const Current scan = m_current.value_or(Current{ScanKind::Label, {}});
    history::Event event =
        eventOf(scan, added ? Outcome::Queued : (line.empty() ? Outcome::Refused : Outcome::Failed), failure);
    event.program = history::recordedText(platform::trimBlanks(state.ProgramName));
    event.fieldCode = history::recordedText(state.FieldCode);
    event.dimX = history::recordedText(state.DimX);
    event.dimY = history::recordedText(state.DimY);
    event.dimZ = history::recordedText(state.DimZ);
    event.line = history::recordedText(line);
    if (m_current) {
        m_current->recorded = true;
    }
    record(std::move(event));
}

void ScanHistory::reachedAfterAll(const std::string& line, const std::string& program) {
    history::Event event = eventOf(m_current.value_or(Current{ScanKind::Label, {}}), Outcome::ReachedAfterAll, {});
    event.program = history::recordedText(platform::trimBlanks(program));
    event.line = history::recordedText(line);
    if (m_current) {
        m_current->recorded = true;
    }
    record(std::move(event));
}

history::Event ScanHistory::eventOf(const Current& scan, Outcome outcome, std::string reason) const {
    history::Event event;
    event.kind = scan.kind;
    event.scan = history::recordedScan(scan.scan);
    event.outcome = outcome;
    event.reason = history::recordedText(reason);
    return event;
}

void ScanHistory::record(history::Event event) {
    if (!m_store) {
        return;
    }
    event.timeMs = m_clock.wallMs();
    event.control = m_control;
    m_store->record(std::move(event));
    kept();
}

void ScanHistory::note(history::NoticeKind kind, const std::string& subject, const std::string& detail) {
    if (!m_store) {
        return;
    }
    m_store->note({0, m_clock.wallMs(), kind, history::recordedText(subject), history::recordedText(detail)});
    kept();
}

void ScanHistory::kept() {
    m_unflushedSince = m_clock.steadyMs();
    if (m_recorded) {
        m_recorded();
    }
}

void ScanHistory::idle() {
    if (m_store && m_unflushedSince && m_clock.steadyMs() - *m_unflushedSince >= kFlushAfterQuietMs) {
        m_store->flush();
        m_unflushedSince.reset();
    }
}

} // namespace quorlan::shell
