// Small routines every subsystem shares.
#pragma once

#include "platform/error.h"
#include "platform/path_mapper.h"
#include "platform/pauser.h"
#include "platform/view.h"

#include <functional>
#include <string>

namespace quorlan::config {

// Thrown where a rule says the program ends; the Qt layer catches it at its entry points and
// ends the process. Deliberately not a std::exception, so no handler swallows it by accident.
struct EndProgram {
    int exitCode = 1;
};

// "Unexpected error # 53 occured: File not found"
std::string UnexpectedErrorMessage(const platform::StationError& error);
// The same message in a critical message box.
void showUnexpectedError(platform::StationView& view, const platform::StationError& error);

// Whether an ordinary file matches the path (wildcards in the file name are honoured). Disk
// errors prompt the operator as the station always did; an unknown error ends the program.
bool FileExists(const std::string& windowsPath, const platform::PathMapper& paths, platform::StationView& view);

// The lookup behind FileExists: whether a file matches, or a StationError with the file system's
// error number (see platform/file_lookup.h).
using FileLookup = std::function<bool(const std::string& windowsPath)>;
bool FileExists(const std::string& windowsPath, const FileLookup& lookup, platform::StationView& view);

// Pause 0.6 s, then "Ready." in the status line.
void ShowReady(platform::StationView& view, platform::Pauser& pauser);

inline constexpr float kLabelPauseSeconds = 0.6f;

// CenterForm: the top-left corner that centres a window of the given size on the screen.
struct Point {
    double left = 0;
    double top = 0;
};
Point CenterForm(double screenWidth, double screenHeight, double windowWidth, double windowHeight);

} // namespace quorlan::config
