// The simulated control's Application and ExeList as automation objects: an IDispatch whose
// members are the rows of the table of operations (control_operations.h), found by name
// (GetIDsOfNames) and called with method, property-get and property-put (Invoke), as late-bound
// clients such as the bridge call the maker's server.
#pragma once

#include "cnc/control.h"

#include <memory>
#include <ole2.h>
#include <windows.h>

namespace quorlan::standin {

// A new automation object over the simulated object, with one reference for the caller.
IDispatch* newAutomationObject(std::shared_ptr<cnc::Application> application);
IDispatch* newAutomationObject(std::shared_ptr<cnc::ExeList> list);

} // namespace quorlan::standin
