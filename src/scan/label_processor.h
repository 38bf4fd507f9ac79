// ProcessLabel: what a one-dimensional label is (a command, a field code, a part of a set, a plain
// program name) and what it does.
#pragma once

#include "scan/handover.h"
#include "scan/label_state.h"
#include "scan/scan_context.h"

#include <initializer_list>
#include <optional>
#include <string>

namespace quorlan::scan {

class LabelProcessor final {
public:
    LabelProcessor(ScanContext& context, LabelState& state, const FieldCodeTable& fieldCodes,
                   EditorLauncher launchEditor = {});

    // True when the label was accepted.
    bool ProcessLabel(const std::string& text);

private:
    // Chooses the closing status of a label that did not complete its set.
    enum class Outcome { FormatError, RunFieldNotSelected, Accepted };

    struct Scan {
        std::string text; // the working copy, shortened as its parts are read
        char partCount = '\0';
        Outcome outcome = Outcome::FormatError;
        bool result = false;
    };

    void clearOnFirstScan();
    bool runControlLabel(const std::string& text);
    void clearLabelOrList();
    bool runFieldCodeLabel(const std::string& text);
    // Each returns ProcessLabel's result when the label ends there, nothing when the set goes on
    // to the completion test.
    std::optional<bool> readPlainLabel(Scan& scan);
    std::optional<bool> readPartLabel(Scan& scan);
    bool loadList(const std::string& listName);
    void readProgramPartOrUncount(char part, std::string& content);
    void readProgramPart(std::string& content);
    void readWords(const std::string& content, std::initializer_list<std::string*> targets);
    void applyDefaultField(Scan& scan);
    void dropPartialSet();
    void writeCsvRecord();
    // True, after telling the operator why, when the name cannot be used.
    bool refuseProgramName(const std::string& name);
    bool conclude(const Scan& scan);

    ScanContext& m_context;
    LabelState& m_state;
    const FieldCodeTable& m_fieldCodes;
    WordSplitter m_words;
    LabelHandover m_handover;
};

} // namespace quorlan::scan
