// Completion and hand-over of a finished label or 2D program: the missing dimensions from the
// program file, the field choice, the work-list line, the machine start, the acknowledgement to
// the scanner, and the return to idle.
#pragma once

#include "scan/label_state.h"
#include "scan/scan_context.h"

#include <functional>
#include <string>

namespace quorlan::scan {

enum class HandoverForm { Label, TwoD };

// The part's dimensions as numbers, as the field choice takes them.
struct Dimensions {
    float x = 0;
    float y = 0;
    float z = 0;
};

// LaunchEditor: shows the handed-over program in the program editor. Left empty, nothing is shown.
using EditorLauncher = std::function<void(const std::string& programName)>;

class LabelHandover final {
public:
    LabelHandover(ScanContext& context, LabelState& state, const FieldCodeTable& fieldCodes,
                  EditorLauncher launchEditor);

    // A dimension the label gave is kept; one that is empty or zero is taken from the program file.
    Dimensions CompleteDimensions();

    // Hands the line over (twice for a part made normal and mirrored) and returns to idle. A line
    // is acknowledged when it is in the list (also when it got there from an earlier scan whose
    // outcome was unknown). When a line does not reach the list, or whether it did is not known
    // yet, the status keeps what the operator is to do and nothing is started or acknowledged.
    // Either way, and also when an error passes through, the label state is reset.
    void FinishLabel(HandoverForm form, const Dimensions& dimensions);

private:
    bool handOver(HandoverForm form, const Dimensions& dimensions);
    bool SubmitListLine(HandoverForm form, const Dimensions& dimensions);
    bool sendLine(const std::string& line);
    void startMachine();
    void chooseField(const Dimensions& dimensions);
    void chooseAutomatically(std::int16_t mode, const Dimensions& dimensions);
    void settle(bool handedOver);

    ScanContext& m_context;
    LabelState& m_state;
    const FieldCodeTable& m_fieldCodes;
    EditorLauncher m_launchEditor;
};

} // namespace quorlan::scan
