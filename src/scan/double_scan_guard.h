// The optional double-scan guard: a scanner that fires twice, or an operator who scans the same
// label twice by mistake, would make the part twice. With "DuplicateScanSeconds" set, a line that
// is the same as one handed over less than that many seconds ago is held back. 0, the default,
// leaves the station's rules as they are: every scan makes its part.
//
// The same label is the same part: a plain label, a set or a 2D scan whose line is the one that
// went out a moment ago, but for the field the station chose (automatic selection may alternate
// it) and blanks around the values. The caller asks once per scan: the mirrored copy of a part is
// the same scan's second line, not a second scan.
#pragma once

#include "platform/clock.h"
#include "platform/profile.h"

#include <cstdint>
#include <map>
#include <string>

namespace quorlan::scan {

inline constexpr const char* kDuplicateScanSecondsKey = "DuplicateScanSeconds";
// An hour is far beyond any double scan; larger values are typing errors.
inline constexpr int kMaxDuplicateScanSeconds = 3600;

// The key's value, within 0 and the largest; a missing key or one below 0 is 0 (off).
int readDuplicateScanSeconds(platform::ProfileSection& settings);
void saveDuplicateScanSeconds(platform::ProfileSection& settings, int seconds);

class DoubleScanGuard final {
public:
    explicit DoubleScanGuard(platform::Clock& clock) : m_clock(clock) {}

    void setSeconds(int seconds);
    int seconds() const { return m_seconds; }

    // What to tell the operator when the line for program went out less than the set seconds
    // ago; empty when it may go.
    std::string refusal(const std::string& line, const std::string& program);
    // The line reached the list just now.
    void handedOver(const std::string& line);

private:
    void forgetOlderThan(std::int64_t nowMs);

    platform::Clock& m_clock;
    int m_seconds = 0;
    std::map<std::string, std::int64_t> m_lastHandOver; // part -> steady time; only the recent ones
};

} // namespace quorlan::scan
