#include "config/common.h"

#include "platform/file_lookup.h"

#include <cmath>
#include <optional>

namespace quorlan::config {

namespace {

using platform::MessageAnswer;
using platform::MessageButtons;
using platform::MessageIcon;

// Whether the operator wants the lookup repeated after a disk error; nullopt for errors that
// are no disk prompt.
std::optional<bool> askToRepeat(int errorNumber, platform::StationView& view) {
    switch (errorNumber) {
    case platform::errc::kDeviceIo:
        return view.message("Unformatted Disk", MessageIcon::Question, MessageButtons::RetryCancel) ==
               MessageAnswer::Retry;
    case platform::errc::kDiskNotReady:
        return view.message("Insert Disk", MessageIcon::Question, MessageButtons::OkCancel) == MessageAnswer::Ok;
    case platform::errc::kDeviceUnavailable:
    case platform::errc::kPathNotFound:
        return false;
    default:
        return std::nullopt;
    }
}

} // namespace

std::string UnexpectedErrorMessage(const platform::StationError& error) {
    const std::string sign = error.number() >= 0 ? " " : "";
    return "Unexpected error #" + sign + std::to_string(error.number()) + " occured: " + error.description();
}

void showUnexpectedError(platform::StationView& view, const platform::StationError& error) {
    view.message(UnexpectedErrorMessage(error), MessageIcon::Critical, MessageButtons::Ok);
}

bool FileExists(const std::string& windowsPath, const FileLookup& lookup, platform::StationView& view) {
    for (;;) {
        try {
            return lookup(windowsPath);
        } catch (const platform::StationError& error) {
            const auto repeat = askToRepeat(error.number(), view);
            if (!repeat) {
                showUnexpectedError(view, error);
                throw EndProgram{};
            }
            if (!*repeat) {
                return false;
            }
        }
    }
}

bool FileExists(const std::string& windowsPath, const platform::PathMapper& paths, platform::StationView& view) {
    return FileExists(
        windowsPath, [&paths](const std::string& path) { return platform::findFile(path, paths); }, view);
}

void ShowReady(platform::StationView& view, platform::Pauser& pauser) {
    platform::pauseSeconds(pauser, kLabelPauseSeconds);
    view.setStatus("Ready.");
}

Point CenterForm(double screenWidth, double screenHeight, double windowWidth, double windowHeight) {
    Point corner;
    corner.top = screenHeight / 2 - windowHeight / 2;
    corner.left = screenWidth / 2 - windowWidth / 2;
    if (!std::isfinite(corner.top) || !std::isfinite(corner.left)) {
        throw platform::StationError(platform::errc::kOverflow);
    }
    return corner;
}

} // namespace quorlan::config
