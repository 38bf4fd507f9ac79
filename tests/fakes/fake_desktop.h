// A desktop that records every step asked of it in order, with scripted answers and failures.
#pragma once

#include "platform/desktop.h"
#include "platform/error.h"

#include <set>
#include <string>
#include <vector>

namespace quorlan::testing {

class FakeDesktop final : public platform::Desktop {
public:
    std::optional<std::string> unavailableReason() const override { return unavailable; }
    platform::TaskId startProgram(const std::string& localPath) override {
        step("start " + localPath);
        failIf("start");
        return nextTask;
    }
    bool isRunning(platform::TaskId task) override {
        step("running? " + std::to_string(task));
        failIf("running?");
        return running.count(task) > 0;
    }
    void activate(platform::TaskId task) override {
        step("activate " + std::to_string(task));
        failIf("activate");
    }
    platform::WindowHandle activeWindow() override {
        step("active window");
        failIf("active window");
        return active;
    }
    void makeTopmost(platform::WindowHandle window) override {
        step("topmost " + std::to_string(window));
        failIf("topmost");
    }
    void typeText(const std::string& text) override {
        step("type " + text);
        failIf("type");
    }
    void pressKey(platform::Key key) override {
        step(key == platform::Key::CtrlO ? "key Ctrl+O" : "key Enter");
        failIf("key");
    }

    // Steps recorded by others (the pauses) join the same sequence.
    void step(const std::string& text) { steps.push_back(text); }

    std::optional<std::string> unavailable;
    platform::TaskId nextTask = 0;
    std::set<platform::TaskId> running;
    platform::WindowHandle active = 0;
    std::set<std::string> failing; // the step names that throw
    std::vector<std::string> steps;

private:
    void failIf(const std::string& name) const {
        if (failing.count(name) > 0) {
            throw platform::StationError(platform::errc::kInvalidCall);
        }
    }
};

} // namespace quorlan::testing
