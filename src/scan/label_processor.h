// ProcessLabel: what a one-dimensional label is (a command, a field code, a part of a set, a plain
// program name) and what it does.
#pragma once

#include "cnc/work_list_link.h"
#include "config/station_settings.h"
#include "fieldsel/field_selector.h"
#include "platform/path_mapper.h"
#include "platform/pauser.h"
#include "platform/serial_port.h"
#include "platform/view.h"
#include "scan/label_state.h"

#include <string>

namespace quorlan::scan {

// Everything a scan reaches outside the label state. Owned by start-up, lives for the run.
struct ScanContext {
    platform::StationView& view;
    platform::Pauser& pauser;
    platform::SerialPort& port;
    const platform::PathMapper& paths;
    const config::StationSettings& settings;
    cnc::WorkListLink& workList;
    fieldsel::FieldSelector& fieldSelector;
    const std::string& commandLineUpper;
};

class LabelProcessor {
public:
    LabelProcessor(ScanContext& context, LabelState& state, const FieldCodeTable& fieldCodes);

    // True when the label was accepted.
    bool ProcessLabel(const std::string& text);

private:
    ScanContext& m_context;
    LabelState& m_state;
    const FieldCodeTable& m_fieldCodes;
    WordSplitter m_words;
};

} // namespace quorlan::scan
