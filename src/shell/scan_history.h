// What the station keeps of each scan in its history, and the double-scan guard that stands at the
// same place: just before a line goes to the control.
//
// Every line the hand-over sends is an event of its own, recorded the moment its fate is known,
// before the "ACK": a part made normal and mirrored is two events, as it is two lines and two
// "ACK"s. A scan that sends no line (a part of a set, a command, a refusal) is one event when it
// ends. Recording never throws and never changes what the station does or says; a history that
// cannot be written is reported once in the status line.
#pragma once

#include "history/history_settings.h"
#include "history/history_store.h"
#include "platform/clock.h"
#include "scan/double_scan_guard.h"
#include "scan/handover_watch.h"
#include "shell/watched_view.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace quorlan::shell {

class ScanHistory final : public scan::HandoverWatch {
public:
    ScanHistory(WatchedView& view, platform::Clock& clock, const scan::FieldCodeTable& fieldCodes);

    // Start-up: the file the settings name, the control's address for every event, and the
    // events older than the days to keep removed (in bounded time; the rest at the next start).
    void open(const history::HistorySettings& settings, std::string control);
    const std::string& file() const { return m_file; }

    // One routed scan: runs it and records what became of it. The kind of a label is told from
    // its text; manual entry says so itself.
    bool label(const std::string& text, bool typed, const std::function<bool()>& route);
    void twoD(const std::string& text, const std::function<void()>& route);
    // A compressed scan is expanded first and then routed as what it holds: its events are
    // recorded with the compressed scan as it came. One that cannot be expanded is recorded here.
    std::string compressed(const std::string& text, const std::function<std::string()>& expand);

    // A line whose fate was unknown (the control's answer was lost) was found in the list after
    // all: the place where the station, once it learns that, records it.
    void reachedAfterAll(const std::string& line, const std::string& program);

    bool mayHandOver(const std::string& line, const scan::LabelState& state) override;
    void handedOver(const std::string& line, const scan::LabelState& state, bool added,
                    const std::string& failure) override;

    // What the station itself went through (started, stopping, the control or the scanner's port
    // lost and back), kept beside the scans. Station texts, in the station's bytes.
    void note(history::NoticeKind kind, const std::string& subject, const std::string& detail = {});
    // Told after each event or notice handed to the history (the event publisher's nudge).
    void setRecorded(std::function<void()> recorded) { m_recorded = std::move(recorded); }

    scan::DoubleScanGuard& guard() { return m_guard; }
    // Each timer tick: once the station has been quiet for a moment after recording, the events
    // written so far reach the disk itself, off the path of any scan.
    void idle();

private:
    struct Current {
        history::ScanKind kind;
        std::string scan;
        bool recorded = false; // its events are recorded already, or what it holds records them
    };

    void run(history::ScanKind kind, const std::string& text, const std::function<void()>& route);
    history::ScanKind labelKind(const std::string& text) const;
    void recordEnd(const Current& scan);
    history::Event eventOf(const Current& scan, history::Outcome outcome, std::string reason) const;
    void record(history::Event event);
    void kept();

    WatchedView& m_view;
    platform::Clock& m_clock;
    const scan::FieldCodeTable& m_fieldCodes;
    scan::DoubleScanGuard m_guard;
    std::unique_ptr<history::HistoryStore> m_store;
    std::string m_file;
    std::string m_control;
    std::optional<Current> m_current;
    std::optional<std::string> m_compressedScan;  // the compressed scan being routed as what it holds
    std::optional<std::int64_t> m_unflushedSince; // steady time of the last event not yet on the disk
    std::function<void()> m_recorded;
};

} // namespace quorlan::shell
