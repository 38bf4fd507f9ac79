// Around each work-list line the hand-over sends: what may hold the line back (the double-scan
// guard) and who hears what became of it (the history). The station's rules know neither; with no
// watch, the hand-over is exactly theirs.
#pragma once

#include "scan/label_state.h"

#include <string>

namespace quorlan::scan {

class HandoverWatch {
public:
    virtual ~HandoverWatch() = default;
    // False holds the line back; the watch has then told the operator why.
    virtual bool mayHandOver(const std::string& line, const LabelState& state) = 0;
    // The line reached the work list, or it did not and failure says why.
    virtual void handedOver(const std::string& line, const LabelState& state, bool added,
                            const std::string& failure) = 0;
};

} // namespace quorlan::scan
