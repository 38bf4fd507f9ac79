// One recorded event of the station's history: a scan and what became of it. A scan that hands
// over two lines (a part made normal and mirrored) is two events, one per line, as each line has
// its own "ACK".
//
// Every text of an event is UTF-8: the history is read by other programs (a spreadsheet, a
// subscriber of the station's events), so the station's Windows-1252 bytes are converted when an
// event is made, with the helpers below.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace quorlan::history {

// What was scanned. The names are stored in the database and written to exports; they never change.
enum class ScanKind {
    Label,      // a plain program label
    SetPart,    // one part of a set of labels (program, dimensions, variables, list file)
    FieldCode,  // a machine-field code label such as %N%
    TwoD,       // a 2D barcode with its program
    Compressed, // a compressed 2D payload
    Manual,     // a label typed into the window
    Command,    // %START%, %STOP%, %END%, %CLEAR%, %SETPOINT%, or a quoted command
};

// What became of it.
enum class Outcome {
    Queued,          // its line reached the work list (and a label was answered "ACK")
    Collected,       // a part of a set or a field code was taken; the set goes on
    Done,            // a command was carried out, a list file loaded
    Refused,         // the station refused it; the reason says why
    Failed,          // the control did not take it; the reason holds its error
    ReachedAfterAll, // a line whose outcome was unknown turned out to be in the list
};

inline constexpr ScanKind kLastScanKind = ScanKind::Command;
inline constexpr Outcome kLastOutcome = Outcome::ReachedAfterAll;

std::string_view kindName(ScanKind kind);
std::string_view outcomeName(Outcome outcome);
std::optional<ScanKind> kindFromName(std::string_view name);
std::optional<Outcome> outcomeFromName(std::string_view name);

// True for the outcomes of a part handed over or meant to be: what the parts-per-hour chart counts.
bool isPartOutcome(Outcome outcome);

struct Event {
    std::int64_t id = 0;     // given by the store: unique and increasing, never reused
    std::int64_t timeMs = 0; // milliseconds since 1970-01-01 UTC
    ScanKind kind = ScanKind::Label;
    std::string scan; // as received, made readable by recordedScan()
    std::string program;
    std::string fieldCode;
    std::string dimX;
    std::string dimY;
    std::string dimZ;
    std::string line; // the exact work-list line sent, empty when none was
    Outcome outcome = Outcome::Queued;
    std::string reason;  // why it was refused, or the control's error
    std::string control; // the control's address ("built-in", "local:NAME", ...)

    bool operator==(const Event&) const = default;
};

// Scans longer than this are cut, with a note of how much was left out.
inline constexpr std::size_t kRecordedScanLength = 256;

// A scan as the history keeps it: control characters escaped as the operator sees them, a long
// scan cut with its length noted, in UTF-8.
std::string recordedScan(std::string_view stationBytes);

// Any other text of the station (program, line, reason) in UTF-8, control characters escaped.
std::string recordedText(std::string_view stationBytes);

} // namespace quorlan::history
