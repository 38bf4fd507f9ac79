// Failures travel as one exception type carrying the error number and description that the
// station's messages show ("Unexpected error # 53 occured: File not found").
#pragma once

#include <stdexcept>
#include <string>

namespace quorlan::platform {

namespace errc {
inline constexpr int kInvalidCall = 5;
inline constexpr int kOverflow = 6;
inline constexpr int kSubscriptOutOfRange = 9;
inline constexpr int kTypeMismatch = 13;
inline constexpr int kBadFileName = 52;
inline constexpr int kFileNotFound = 53;
inline constexpr int kDeviceIo = 57;
inline constexpr int kFileAlreadyExists = 58;
inline constexpr int kDiskFull = 61;
inline constexpr int kInputPastEnd = 62;
inline constexpr int kDeviceUnavailable = 68;
inline constexpr int kPermissionDenied = 70;
inline constexpr int kDiskNotReady = 71;
inline constexpr int kPathFileAccess = 75;
inline constexpr int kPathNotFound = 76;
inline constexpr int kObjectNotSet = 91;
inline constexpr int kNoAnswer = 286;
inline constexpr int kTooLate = 287;
inline constexpr int kInvalidPropertyValue = 380;
inline constexpr int kCannotCreateObject = 429;
inline constexpr int kNoSuchMethod = 438;
inline constexpr int kAutomation = 440;
inline constexpr int kWrongArguments = 450;
inline constexpr int kServerUnavailable = 462;
inline constexpr int kInvalidPortNumber = 8002;
inline constexpr int kPortAlreadyOpen = 8005;
inline constexpr int kPortOpenFailed = 8015;
} // namespace errc

// The standard description of an error number, as the operator has always seen it.
std::string describeError(int number);

class StationError : public std::runtime_error {
public:
    explicit StationError(int number);
    StationError(int number, std::string description);

    int number() const { return m_number; }
    const std::string& description() const { return m_description; }

private:
    int m_number;
    std::string m_description;
};

} // namespace quorlan::platform
