// The maker's automation server as the station's ControlFactory: its objects are created through
// COM, by class or ProgID, and every operation is called by its name through IDispatch, so that any
// version of the control that has these members serves. A failing call throws StationError with
// the number the control raised, or the one that stands for the COM failure (429: cannot be
// created, 438: no such member, 462: the server is gone).
#pragma once

#include "cnc/control.h"

#include <memory>
#include <objbase.h>
#include <string>
#include <windows.h>

namespace quorlan::bridge {

// The maker's class of the Application object.
inline constexpr const char* kApplicationClass = "{288F2FEF-1083-4A1E-BAD7-4B36D0100F29}";

struct ComClasses {
    std::string application = kApplicationClass; // "{...}" or a ProgID
    std::string list = cnc::kExeListProgId;      // the ProgID, or "{...}", that the station's CreateObject names
    // Where the objects are created: CLSCTX_ALL takes an in-process server before a server process.
    DWORD context = CLSCTX_ALL;
};

// Used from threads that have joined COM's multithreaded apartment.
class ComControl final : public cnc::ControlFactory {
public:
    explicit ComControl(ComClasses classes = {}) : m_classes(std::move(classes)) {}

    std::shared_ptr<cnc::Application> createApplication() override;
    // The station names the list by the control's ProgID; it is created by classes.list. Any other
    // name is refused (429): nothing but the control's own objects is created on this PC.
    std::shared_ptr<cnc::ExeList> createObject(const std::string& progId) override;

private:
    ComClasses m_classes;
};

} // namespace quorlan::bridge
