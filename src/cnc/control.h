// The CNC control's automation objects as the station uses them: each row of the table of
// operations (control_operations.h) is a member here. Every failing operation throws
// platform::StationError; callers handle it as their rules say.
#pragma once

#include "cnc/control_operations.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace quorlan::cnc {

inline constexpr const char* kExeListProgId = "Koridan.ExeList";

#define QUORLAN_PURE_VIRTUAL(code, object, operation, name, access, Result, method, ...)                               \
    virtual Result method(__VA_ARGS__) = 0;

class ExeList {
public:
    virtual ~ExeList() = default;
    QUORLAN_EXELIST_OPERATIONS(QUORLAN_PURE_VIRTUAL)
};

class Application {
public:
    virtual ~Application() = default;
    QUORLAN_APPLICATION_OPERATIONS(QUORLAN_PURE_VIRTUAL)
};

// Creates the control's objects: the application by its class, a list by its ProgID.
class ControlFactory {
public:
    virtual ~ControlFactory() = default;
    QUORLAN_CONTROL_FACTORY_OPERATIONS(QUORLAN_PURE_VIRTUAL)
};

#undef QUORLAN_PURE_VIRTUAL

} // namespace quorlan::cnc
