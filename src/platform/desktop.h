// What driving the program editor needs from the desktop: starting a program, telling whether it
// still runs, bringing its window forward, and sending keystrokes to the active window. Each call
// that fails throws StationError.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace quorlan::platform {

// 0 is no task and no window.
using TaskId = std::int64_t;
using WindowHandle = std::uint64_t;

enum class Key { CtrlO, Enter };

class Desktop {
public:
    virtual ~Desktop() = default;

    // Why programs cannot be started and driven here, for the status line; nothing when they can.
    virtual std::optional<std::string> unavailableReason() const = 0;

    // Starts the program (a local path) with a normal, focused window.
    virtual TaskId startProgram(const std::string& localPath) = 0;
    virtual bool isRunning(TaskId task) = 0;
    virtual void activate(TaskId task) = 0;
    virtual WindowHandle activeWindow() = 0;
    // Keeps the window above the others, without moving or resizing it.
    virtual void makeTopmost(WindowHandle window) = 0;
    // Types the text character for character: no character is read as a command.
    virtual void typeText(const std::string& text) = 0;
    virtual void pressKey(Key key) = 0;
};

} // namespace quorlan::platform
