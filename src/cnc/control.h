// The CNC control's automation objects as the station uses them: each row of the table of
// operations (control_operations.h) is a member here. Every failing operation throws
// platform::StationError; callers handle it as their rules say. What a failure means for the
// station is in its number (see CallFailure below).
#pragma once

#include "cnc/control_operations.h"
#include "platform/error.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace quorlan::cnc {

inline constexpr const char* kExeListProgId = "Koridan.ExeList";

// What a failed call means for the station.
enum class CallFailure {
    NotRun,     // it did not run, or ran and failed: the control could not be reached or refused it
    Unknown,    // it was sent and its answer never came: it may have run (OutcomeUnknown)
    ObjectGone, // the object called is no more: the control was restarted, or it says so
};
CallFailure classify(const platform::StationError& error);

// A call whose answer never came. The control tells later what became of it: the station learns
// it the next time it reaches the control (ControlFactory::takeLateOutcomes), under the ticket.
class OutcomeUnknown final : public platform::StationError {
public:
    OutcomeUnknown(std::uint64_t ticket, std::string description)
        : StationError(platform::errc::kNoAnswer, std::move(description)), m_ticket(ticket) {}
    std::uint64_t ticket() const { return m_ticket; }

private:
    std::uint64_t m_ticket;
};

struct LateOutcome {
    enum class Kind {
        Ran,              // it ran and succeeded
        Failed,           // it ran and failed with error
        NeverRan,         // it did not run, and never will
        ControlRestarted, // the control that had it is gone, its objects and list with it
        Forgotten,        // the control no longer remembers: it cannot be told
    };
    std::uint64_t ticket = 0;
    Operation operation = Operation::AddLine;
    Kind kind = Kind::NeverRan;
    std::int32_t error = 0;
};

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

    // Calls that failed with OutcomeUnknown and are not told yet. A control in this process has none.
    virtual bool awaitingOutcomes() const { return false; }
    // Reaches the control, if it can, to learn what became of them; throws nothing.
    virtual void learnOutcomes() {}
    // What the control told since the last take, each call once.
    virtual std::vector<LateOutcome> takeLateOutcomes() { return {}; }
};

#undef QUORLAN_PURE_VIRTUAL

} // namespace quorlan::cnc
