#include "cnc/program_editor.h"
#include "fakes/fake_desktop.h"
#include "fakes/fake_pauser.h"
#include "fakes/fake_view.h"

#include <gtest/gtest.h>

namespace quorlan::cnc {
namespace {

using Steps = std::vector<std::string>;

const std::string kEditor = "/sites/c/koridan/bin/Varneto.exe";

class ProgramEditorTest : public ::testing::Test {
protected:
    ProgramEditorTest() {
        pauser.duringPause = [this] { desktop.step("pause " + std::to_string(pauser.pauses.back())); };
        desktop.nextTask = 40000; // beyond 16 bits, as process ids here often are
        desktop.active = 77;
    }

    // The editor comes up when it is started.
    void editorStarts() { desktop.running.insert(desktop.nextTask); }

    testing::FakeDesktop desktop;
    testing::FakeView view;
    testing::FakePauser pauser;
    platform::PathMapper paths{[](const std::string& name) {
        return name == "QUORLAN_DRIVE_C" ? std::optional<std::string>("/sites/c") : std::nullopt;
    }};
    ProgramEditor editor{desktop, view, pauser, paths};
};

const Steps kDriveSteps(const std::string& name, const std::string& window = "77", const std::string& task = "40000") {
    return {"topmost " + window, "activate " + task, "key Ctrl+O", "pause 500",
            "type " + name,      "key Enter",        "key Enter"};
}

Steps joined(Steps first, const Steps& second) {
    first.insert(first.end(), second.begin(), second.end());
    return first;
}

TEST_F(ProgramEditorTest, firstCallStartsTheEditorThenDrivesIt) {
    editorStarts();
    editor.LaunchEditor("FLANGE.CNC");
    const Steps start = {"running? 0",     "start " + kEditor, "pause 500",
                         "activate 40000", "active window",    "running? 40000"};
    EXPECT_EQ(desktop.steps, joined(start, kDriveSteps("FLANGE.CNC")));
    EXPECT_TRUE(view.messages.empty());
}

TEST_F(ProgramEditorTest, secondCallWhileTheEditorRunsOnlyDrivesIt) {
    editorStarts();
    editor.LaunchEditor("FLANGE.CNC");
    desktop.steps.clear();
    desktop.active = 99; // the window kept from the start is the one raised
    editor.LaunchEditor("BASE.CNC");
    EXPECT_EQ(desktop.steps, joined({"running? 40000", "running? 40000"}, kDriveSteps("BASE.CNC")));
}

TEST_F(ProgramEditorTest, programNamesAreTypedAsTheyAre) {
    editorStarts();
    for (const std::string& name : {std::string("A+B(1).CNC"), std::string("+^%~()[]{}.CNC"),
                                    std::string(" TWO WORDS .CNC"), std::string("{ENTER}"), std::string(300, 'X')}) {
        desktop.steps.clear();
        editor.LaunchEditor(name);
        ASSERT_GE(desktop.steps.size(), 3u);
        EXPECT_EQ(desktop.steps[desktop.steps.size() - 3], "type " + name);
    }
}

TEST_F(ProgramEditorTest, failingStepsAreSkippedAndTheNextOnesRun) {
    editorStarts();
    desktop.failing = {"activate", "topmost", "key"};
    editor.LaunchEditor("FLANGE.CNC");
    EXPECT_EQ(desktop.steps.back(), "key Enter");
    EXPECT_EQ(std::count(desktop.steps.begin(), desktop.steps.end(), "type FLANGE.CNC"), 1);
    EXPECT_TRUE(view.messages.empty());
}

TEST_F(ProgramEditorTest, failingRunningCheckRunsBothStartAndDrive) {
    desktop.failing = {"running?"};
    editor.LaunchEditor("FLANGE.CNC");
    const Steps start = {"running? 0",     "start " + kEditor, "pause 500",
                         "activate 40000", "active window",    "running? 40000"};
    EXPECT_EQ(desktop.steps, joined(start, kDriveSteps("FLANGE.CNC")));
}

TEST_F(ProgramEditorTest, editorThatEndsAtOnceIsNotTypedIntoAndIsStartedAgainNextTime) {
    editor.LaunchEditor("FLANGE.CNC");
    EXPECT_EQ(desktop.steps.back(), "running? 40000");
    desktop.steps.clear();
    editor.LaunchEditor("FLANGE.CNC");
    EXPECT_EQ(desktop.steps.at(1), "start " + kEditor);
    EXPECT_TRUE(view.messages.empty());
}

TEST_F(ProgramEditorTest, failedStartIsShownOnceUntilAStartSucceedsInBetween) {
    desktop.failing = {"start"};
    for (int label = 0; label < 3; ++label) {
        editor.LaunchEditor("FLANGE.CNC");
    }
    ASSERT_EQ(view.messages.size(), 1u);
    EXPECT_EQ(view.messages[0].title, "Error:  Unable to launch Editor");
    EXPECT_EQ(view.messages[0].text, "Probably c:\\koridan\\bin\\Varneto.exe could not be found");
    EXPECT_EQ(view.messages[0].icon, platform::MessageIcon::Critical);
    // Nothing was started, so nothing is typed: the steps after the start find no editor.
    EXPECT_EQ(std::count(desktop.steps.begin(), desktop.steps.end(), "key Ctrl+O"), 0);

    desktop.failing.clear();
    editor.LaunchEditor("FLANGE.CNC"); // starts, then the editor is gone again
    desktop.failing = {"start"};
    editor.LaunchEditor("FLANGE.CNC");
    editor.LaunchEditor("FLANGE.CNC");
    EXPECT_EQ(view.messages.size(), 2u);
}

TEST_F(ProgramEditorTest, withoutADisplayTheLaunchIsReportedOnceAndSkipped) {
    desktop.unavailable = "No X display: the program is not shown in the editor.";
    editor.LaunchEditor("FLANGE.CNC");
    view.setStatus("Ready.");
    editor.LaunchEditor("BASE.CNC");
    EXPECT_TRUE(desktop.steps.empty());
    EXPECT_EQ(view.statusHistory, (Steps{"No X display: the program is not shown in the editor.", "Ready."}));
    EXPECT_TRUE(view.messages.empty());
}

} // namespace
} // namespace quorlan::cnc
