#include "platform/error.h"

namespace quorlan::platform {

std::string describeError(int number) {
    switch (number) {
    case errc::kInvalidCall:
        return "Invalid procedure call or argument";
    case errc::kOverflow:
        return "Overflow";
    case errc::kSubscriptOutOfRange:
        return "Subscript out of range";
    case errc::kTypeMismatch:
        return "Type mismatch";
    case errc::kBadFileName:
        return "Bad file name or number";
    case errc::kFileNotFound:
        return "File not found";
    case errc::kDeviceIo:
        return "Device I/O error";
    case errc::kFileAlreadyExists:
        return "File already exists";
    case errc::kDiskFull:
        return "Disk full";
    case errc::kInputPastEnd:
        return "Input past end of file";
    case errc::kDeviceUnavailable:
        return "Device unavailable";
    case errc::kPermissionDenied:
        return "Permission denied";
    case errc::kDiskNotReady:
        return "Disk not ready";
    case errc::kPathFileAccess:
        return "Path/File access error";
    case errc::kPathNotFound:
        return "Path not found";
    case errc::kObjectNotSet:
        return "Object variable or With block variable not set";
    case errc::kInvalidPropertyValue:
        return "Invalid property value";
    case errc::kCannotCreateObject:
        return "The CNC control could not be reached or could not make the object";
    case errc::kNoSuchMethod:
        return "Object doesn't support this property or method";
    case errc::kAutomation:
        return "The CNC control refused the call";
    case errc::kWrongArguments:
        return "Wrong number of arguments or invalid property assignment";
    case errc::kServerUnavailable:
        return "The CNC control's object is gone: the control was restarted or closed";
    case errc::kNoAnswer:
        return "The CNC control did not answer in time";
    case errc::kTooLate:
        return "The CNC control received the call too late to run it";
    case errc::kInvalidPortNumber:
        return "Invalid port number";
    case errc::kPortAlreadyOpen:
        return "Port already open";
    case errc::kPortOpenFailed:
        return "Could not set comm state, there may be one or more invalid communications parameters";
    default:
        return "Application-defined or object-defined error";
    }
}

StationError::StationError(int number) : StationError(number, describeError(number)) {}

StationError::StationError(int number, std::string description)
    : std::runtime_error(description), m_number(number), m_description(std::move(description)) {}

} // namespace quorlan::platform
