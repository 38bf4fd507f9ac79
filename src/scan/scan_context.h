// What a scan reaches outside the label state: the window, the pauses, the scanner port, the
// settings and the control, shared by label processing and the hand-over.
#pragma once

#include "cnc/work_list_link.h"
#include "config/station_settings.h"
#include "fieldsel/field_selector.h"
#include "platform/path_mapper.h"
#include "platform/pauser.h"
#include "platform/serial_port.h"
#include "platform/view.h"
#include "scan/handover_watch.h"

#include <string>

namespace quorlan::scan {

// Owned by start-up, lives for the run.
struct ScanContext {
    platform::StationView& view;
    platform::Pauser& pauser;
    platform::SerialPort& port;
    const platform::PathMapper& paths;
    const config::StationSettings& settings;
    cnc::WorkListLink& workList;
    fieldsel::FieldSelector& fieldSelector;
    const std::string& commandLineUpper;
    HandoverWatch* watch = nullptr; // none: every line goes, and nobody hears of it
};

} // namespace quorlan::scan
