// The station's side of the conversation: which scans it acknowledges, and its answers split
// into lines ("ACK" and a carriage return per acknowledged label).
#pragma once

#include "options.h"

#include <string>
#include <vector>

namespace quorlan::scan_tool {

// Follows the scans of one run as the station reads them, to tell which are answered "ACK".
class AckExpectation {
public:
    explicit AckExpectation(Expect expect) : m_expect(expect) {}

    // bytes: the scan as it goes on the line. Called once per scan, in order.
    bool expectsAck(const std::string& bytes);

private:
    bool labelAcknowledged(const std::string& label);
    bool completesSet(char partNumber, char partCount);

    Expect m_expect;
    std::string m_collectedParts; // the part numbers of the set being collected
};

// Collects what the station sends and hands out each line ended by a carriage return (line
// feeds are dropped).
class AnswerLines {
public:
    std::vector<std::string> add(const std::string& bytes);

private:
    std::string m_pending;
};

} // namespace quorlan::scan_tool
