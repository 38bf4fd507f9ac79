// Every operation of the control's objects, described once. The interfaces (control.h), the codes
// and names of the control protocol, the serving end's dispatch (control_session.cpp) and the
// calling end's objects (remote_control.cpp) are all made from this table. An operation is added
// here and where it gets its meaning (the simulator), nowhere else.
//
// One row per operation:
//   X(code, object, operation, "name", access, result, method, parameter types...)
//   code       the byte that names it in the control protocol; never reused or renumbered, so that
//              a station and a control of other versions still agree on what they ask
//   object     the interface it belongs to: ControlFactory (the control itself, which creates the
//              other two), Application or ExeList
//   operation  its enumerator in Operation
//   name       as the control's interface, the journal and the messages call it
//   access     Get reads a property and changes nothing; Put writes a property; Call is a method
//   result, method, parameter types: the member function of the interface (at most two parameters)
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

// clang-format off
#define QUORLAN_CONTROL_FACTORY_OPERATIONS(X) \
    X(1,  ControlFactory, CreateApplication, "CreateApplication", Call, std::shared_ptr<Application>, createApplication) \
    X(2,  ControlFactory, CreateObject,      "CreateObject",      Call, std::shared_ptr<ExeList>,     createObject, const std::string&)

// NewList may return no list while the control cannot deliver one yet.
#define QUORLAN_APPLICATION_OPERATIONS(X) \
    X(3,  Application, ApplicationVisible,    "Application.Visible", Get,  bool,                     Visible) \
    X(4,  Application, ApplicationSetVisible, "Application.Visible", Put,  void,                     SetVisible, bool) \
    X(5,  Application, Connected,             "Connected",           Get,  bool,                     Connected) \
    X(6,  Application, AccessLevel,           "AccessLevel",         Get,  std::int16_t,             AccessLevel) \
    X(7,  Application, SetWindowState,        "WindowState",         Put,  void,                     SetWindowState, std::int32_t) \
    X(8,  Application, ListOpened,            "ListOpened",          Get,  std::int16_t,             ListOpened) \
    X(9,  Application, Quit,                  "Quit",                Call, void,                     Quit, bool) \
    X(10, Application, OpenList,              "OpenList",            Call, std::shared_ptr<ExeList>, OpenList, const std::string&) \
    X(11, Application, NewList,               "NewList",             Call, std::shared_ptr<ExeList>, NewList) \
    X(12, Application, StartList,             "StartList",           Call, void,                     StartList) \
    X(13, Application, HoldList,              "HoldList",            Call, void,                     HoldList) \
    X(14, Application, EndList,               "EndList",             Call, void,                     EndList) \
    X(15, Application, Setpoint,              "Setpoint",            Call, void,                     Setpoint) \
    X(16, Application, EnableOpenList,        "EnableOpenList",      Call, void,                     EnableOpenList, bool) \
    X(17, Application, EnableSaveList,        "EnableSaveList",      Call, void,                     EnableSaveList, bool) \
    X(18, Application, EnableNewList,         "EnableNewList",       Call, void,                     EnableNewList, bool) \
    X(19, Application, ShowOnTop,             "ShowOnTop",           Call, void,                     ShowOnTop, bool)

#define QUORLAN_EXELIST_OPERATIONS(X) \
    X(20, ExeList, ListInRun,         "ListInRun",         Get,  bool,                     ListInRun) \
    X(21, ExeList, ListVisible,       "Visible",           Get,  bool,                     Visible) \
    X(22, ExeList, ListSetVisible,    "Visible",           Put,  void,                     SetVisible, bool) \
    X(23, ExeList, Columns,           "Columns",           Get,  std::int16_t,             Columns) \
    X(24, ExeList, Rows,              "Rows",              Get,  std::int32_t,             Rows) \
    X(25, ExeList, RepetitionCount,   "RepetitionCount",   Get,  std::int32_t,             RepetitionCount) \
    X(26, ExeList, ExeRow,            "ExeRow",            Get,  std::int32_t,             ExeRow) \
    X(27, ExeList, ColumnInfo,        "ColumnInfo",        Get,  std::vector<std::string>, ColumnInfo) \
    X(28, ExeList, AddLine,           "AddLine",           Call, std::int32_t,             AddLine, const std::string&) \
    X(29, ExeList, DelLine,           "DelLine",           Call, std::int32_t,             DelLine, std::int32_t) \
    X(30, ExeList, GetLine,           "GetLine",           Call, std::string,              GetLine, std::int32_t) \
    X(31, ExeList, SetLine,           "SetLine",           Call, void,                     SetLine, std::int32_t, const std::string&) \
    X(32, ExeList, AppendList,        "AppendList",        Call, std::int32_t,             AppendList, const std::string&) \
    X(33, ExeList, Clear,             "Clear",             Call, void,                     Clear) \
    X(34, ExeList, ViewWorks,         "ViewWorks",         Call, void,                     ViewWorks) \
    X(35, ExeList, ViewWorksThrought, "ViewWorksThrought", Call, void,                     ViewWorksThrought) \
    X(36, ExeList, CloseList,         "CloseList",         Call, void,                     CloseList, bool)

#define QUORLAN_CONTROL_OPERATIONS(X) \
    QUORLAN_CONTROL_FACTORY_OPERATIONS(X) \
    QUORLAN_APPLICATION_OPERATIONS(X) \
    QUORLAN_EXELIST_OPERATIONS(X)

// A row's parameter types as a parameter list with names ("bool a"), and those names as arguments
// ("a"), for the code that implements a member by passing its arguments on.
#define QUORLAN_PARAMETERS(...) \
    QUORLAN_BY_COUNT(__VA_ARGS__ __VA_OPT__(,) QUORLAN_PARAMETERS_2, QUORLAN_PARAMETERS_1, QUORLAN_PARAMETERS_0)(__VA_ARGS__)
#define QUORLAN_ARGUMENTS(...) \
    QUORLAN_BY_COUNT(__VA_ARGS__ __VA_OPT__(,) QUORLAN_ARGUMENTS_2, QUORLAN_ARGUMENTS_1, QUORLAN_ARGUMENTS_0)(__VA_ARGS__)
#define QUORLAN_BY_COUNT(first, second, chosen, ...) chosen
#define QUORLAN_PARAMETERS_0()
#define QUORLAN_PARAMETERS_1(A) A a
#define QUORLAN_PARAMETERS_2(A, B) A a, B b
#define QUORLAN_ARGUMENTS_0()
#define QUORLAN_ARGUMENTS_1(A) a
#define QUORLAN_ARGUMENTS_2(A, B) a, b

// Declares a row's member in a class that implements the interface.
#define QUORLAN_OVERRIDE_MEMBER(code, object, operation, name, access, Result, method, ...) \
    Result method(__VA_ARGS__) override;

// Implements a row's member by handing its operation and arguments to the class's own
//   template <typename Result> Result forward(Operation, std::vector<Value> arguments)
// which performs it by whatever way the class reaches the control.
#define QUORLAN_FORWARD_MEMBER(code, object, operation, name, access, Result, method, ...) \
    Result method(QUORLAN_PARAMETERS(__VA_ARGS__)) override { \
        return this->template forward<Result>(Operation::operation, {QUORLAN_ARGUMENTS(__VA_ARGS__)}); \
    }
// clang-format on

namespace quorlan::cnc {

class ControlFactory;
class Application;
class ExeList;

#define QUORLAN_ENUMERATOR(code, object, operation, ...) operation = code,
enum class Operation : std::uint8_t {
    QUORLAN_CONTROL_OPERATIONS(QUORLAN_ENUMERATOR)
    // Not an operation of the control: the caller lets go of an object (the control protocol's own).
    Release = 255,
};
#undef QUORLAN_ENUMERATOR

enum class ObjectKind : std::uint8_t { ControlFactory, Application, ExeList };
enum class Access : std::uint8_t { Get, Put, Call };

// A row of the table, for code that handles every operation alike.
struct OperationInfo {
    Operation operation;
    ObjectKind object;
    std::string_view name;
    Access access;
    std::size_t arguments;
};

// Whether a member's result is one of the control's objects, which a caller holds by reference.
template <typename T> inline constexpr bool kIsControlObject = false;
template <typename Object> inline constexpr bool kIsControlObject<std::shared_ptr<Object>> = true;

template <typename... Parameters> inline constexpr std::size_t kParameterCount = sizeof...(Parameters);

#define QUORLAN_OPERATION_INFO(code, object, operation, name, access, Result, method, ...)                             \
    OperationInfo{Operation::operation, ObjectKind::object, name, Access::access, kParameterCount<__VA_ARGS__>},
inline constexpr OperationInfo kOperations[] = {QUORLAN_CONTROL_OPERATIONS(QUORLAN_OPERATION_INFO)};
#undef QUORLAN_OPERATION_INFO

// The operation's row; null for Release and for a code that names no operation.
constexpr const OperationInfo* describe(Operation operation) {
    for (const OperationInfo& info : kOperations) {
        if (info.operation == operation) {
            return &info;
        }
    }
    return nullptr;
}

} // namespace quorlan::cnc
