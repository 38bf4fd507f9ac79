#include "answers.h"

namespace quorlan::scan_tool {

bool AckExpectation::expectsAck(const std::string& bytes) {
    switch (m_expect) {
    case Expect::All:
        return true;
    case Expect::None:
        return false;
    case Expect::Auto:
        break;
    }
    std::string text = bytes;
    // A quoted command fixes the field and leaves the text before its "$" to be read on.
    if (text.starts_with('\'') && text.find('$') != std::string::npos) {
        text = text.substr(1, text.find('$') - 1);
    }
    // 2D programs, plain or compressed, are queued without an answer to the scanner.
    if (text.starts_with('\xF1') || text.find('^') != std::string::npos) {
        return false;
    }
    // One burst may hold several labels, each ending at a "%" after its first character.
    bool acknowledged = false;
    while (!text.empty()) {
        const std::size_t end = text.find('%', 1);
        const std::string label = end == std::string::npos ? text : text.substr(0, end + 1);
        text = end == std::string::npos ? std::string() : text.substr(end + 1);
        acknowledged = labelAcknowledged(label) || acknowledged;
    }
    return acknowledged;
}

bool AckExpectation::labelAcknowledged(const std::string& label) {
    // Plain program names are handed over; other texts that the station cannot read get no ACK
    // either, and expecting one makes the failure show.
    if (label.size() < 3 || label.front() != '%') {
        return true;
    }
    // Commands and field codes ("%START%", "%N%") have a letter where a part label has its part
    // number; a list label (part 0) loads a list and hands nothing over.
    const char partNumber = label[1];
    if (partNumber < '1' || partNumber > '9') {
        return false;
    }
    return completesSet(partNumber, label[2]);
}

// A set is handed over when it holds as many parts as its count says; a count of 9 is one part
// to be repeated.
bool AckExpectation::completesSet(char partNumber, char partCount) {
    if (m_collectedParts.find(partNumber) != std::string::npos) {
        return false; // the station refuses a part it already has
    }
    m_collectedParts += partNumber;
    const std::size_t count = partCount == '9' ? 1 : (partCount >= '0' && partCount <= '8' ? partCount - '0' : 0);
    if (m_collectedParts.size() != count) {
        return false;
    }
    m_collectedParts.clear();
    return true;
}

std::vector<std::string> AnswerLines::add(const std::string& bytes) {
    std::vector<std::string> lines;
    for (char c : bytes) {
        if (c == '\r') {
            lines.push_back(m_pending);
            m_pending.clear();
        } else if (c != '\n') {
            m_pending += c;
        }
    }
    return lines;
}

} // namespace quorlan::scan_tool
