// Process2DBarcode: a 2D barcode carrying a whole program with its header is saved as a program
// file and queued like a label; one naming a list file loads the list.
#pragma once

#include "scan/handover.h"
#include "scan/label_state.h"
#include "scan/scan_context.h"

#include <optional>
#include <string>

namespace quorlan::scan {

class TwoDProcessor final {
public:
    TwoDProcessor(ScanContext& context, LabelState& state, const FieldCodeTable& fieldCodes,
                  EditorLauncher launchEditor = {});

    // A scan that cannot be used as it stands - an unsafe program name, a field code or dimension
    // the work-list line may not carry, no "!" before the program, a program that cannot be saved -
    // is refused with the reason in the status line: nothing is written and nothing is queued.
    void Process2DBarcode(std::string scan);

private:
    void loadList(const std::string& scan);
    std::optional<std::string> refusal(const std::string& scan) const;
    void readHeader(const std::string& header);
    bool saveProgram(const std::string& programText);
    void abandon();

    ScanContext& m_context;
    LabelState& m_state;
    LabelHandover m_handover;
};

} // namespace quorlan::scan
