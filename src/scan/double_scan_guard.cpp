#include "scan/double_scan_guard.h"

#include "platform/text.h"

#include <algorithm>

namespace quorlan::scan {

namespace {

// Items of a line that the station chooses, not the label: the field and the even field, which
// automatic selection may alternate from one part to the next.
bool isStationsChoice(std::string_view key) {
    return key == "#171" || key == "#284";
}

// The part a line stands for: its items without the station's choices, their values' surrounding
// blanks dropped (the first line after start-up carries "#162=" where later ones carry "#162= ").
std::string partOf(const std::string& line) {
    std::string part;
    std::size_t start = 0;
    while (start < line.size()) {
        const auto end = std::min(line.find(';', start), line.size());
        const std::string_view item = std::string_view(line).substr(start, end - start);
        const auto equals = item.find('=');
        if (equals == std::string_view::npos) {
            part += item;
            part += ';';
        } else if (!isStationsChoice(item.substr(0, equals))) {
            part += item.substr(0, equals + 1);
            part += platform::trimBlanks(item.substr(equals + 1));
            part += ';';
        }
        start = end + 1;
    }
    return part;
}

} // namespace

int readDuplicateScanSeconds(platform::ProfileSection& settings) {
    const long seconds = settings.getInt(kDuplicateScanSecondsKey, 0);
    return static_cast<int>(std::clamp<long>(seconds, 0, kMaxDuplicateScanSeconds));
}

void saveDuplicateScanSeconds(platform::ProfileSection& settings, int seconds) {
    settings.writeString(kDuplicateScanSecondsKey, std::to_string(std::clamp(seconds, 0, kMaxDuplicateScanSeconds)));
}

void DoubleScanGuard::setSeconds(int seconds) {
    m_seconds = std::clamp(seconds, 0, kMaxDuplicateScanSeconds);
}

std::string DoubleScanGuard::refusal(const std::string& line, const std::string& program) {
    if (m_seconds == 0) {
        return {};
    }
    const std::int64_t now = m_clock.steadyMs();
    forgetOlderThan(now);
    const auto last = m_lastHandOver.find(partOf(line));
    if (last == m_lastHandOver.end()) {
        return {};
    }
    // Whole seconds, rounded up: "0 s ago" would read as no time at all.
    const std::int64_t ago = (now - last->second + 999) / 1000;
    return "Double scan: " + platform::trimBlanks(program) + " went to the work list " + std::to_string(ago) +
           " s ago and was not added again (DuplicateScanSeconds is " + std::to_string(m_seconds) +
           "). To make another part, scan it again after " + std::to_string(m_seconds) + " s.";
}

void DoubleScanGuard::handedOver(const std::string& line) {
    if (m_seconds == 0) {
        return;
    }
    const std::int64_t now = m_clock.steadyMs();
    forgetOlderThan(now);
    m_lastHandOver[partOf(line)] = now;
}

// Only lines handed over within the guard's time can be refused, so the map stays as small as
// the number of parts made in that time.
void DoubleScanGuard::forgetOlderThan(std::int64_t nowMs) {
    const std::int64_t window = std::int64_t{m_seconds} * 1000;
    std::erase_if(m_lastHandOver, [&](const auto& entry) { return nowMs - entry.second >= window; });
}

} // namespace quorlan::scan
