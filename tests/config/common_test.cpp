#include "config/common.h"
#include "fakes/fake_pauser.h"
#include "fakes/fake_view.h"
#include "platform/temp_folder.h"

#include <cmath>
#include <deque>
#include <gtest/gtest.h>

namespace quorlan::config {
namespace {

using platform::MessageAnswer;
using platform::MessageButtons;
using platform::MessageIcon;
using platform::StationError;

TEST(UnexpectedErrorMessage, putsABlankBeforeNonNegativeNumbers) {
    EXPECT_EQ(UnexpectedErrorMessage(StationError(53)), "Unexpected error # 53 occured: File not found");
    EXPECT_EQ(UnexpectedErrorMessage(StationError(-5, "Odd")), "Unexpected error #-5 occured: Odd");
    EXPECT_EQ(UnexpectedErrorMessage(StationError(0, "None")), "Unexpected error # 0 occured: None");

    testing::FakeView view;
    showUnexpectedError(view, StationError(8002));
    ASSERT_EQ(view.messages.size(), 1u);
    EXPECT_EQ(view.messages[0].text, "Unexpected error # 8002 occured: Invalid port number");
    EXPECT_EQ(view.messages[0].icon, MessageIcon::Critical);
    EXPECT_EQ(view.messages[0].buttons, MessageButtons::Ok);
}

// A lookup that fails with the scripted error numbers before it finally answers.
FileLookup scriptedLookup(std::deque<int> failures, bool answer, int& calls) {
    return [failures, answer, &calls](const std::string&) mutable {
        ++calls;
        if (!failures.empty()) {
            const int number = failures.front();
            failures.pop_front();
            throw StationError(number);
        }
        return answer;
    };
}

TEST(FileExists, promptsOnDiskErrorsAndGivesUpOnCancel) {
    const struct {
        const char* name;
        std::deque<int> failures;
        std::deque<MessageAnswer> answers;
        bool expected;
        int lookups;
        std::vector<std::string> prompts;
    } cases[] = {
        {"found", {}, {}, true, 1, {}},
        {"retryAfterIoError",
         {57, 57},
         {MessageAnswer::Retry, MessageAnswer::Retry},
         true,
         3,
         {"Unformatted Disk", "Unformatted Disk"}},
        {"cancelAfterIoError", {57, 57}, {MessageAnswer::Cancel}, false, 1, {"Unformatted Disk"}},
        {"okAfterInsertDisk", {71}, {MessageAnswer::Ok}, true, 2, {"Insert Disk"}},
        {"cancelAfterInsertDisk", {71}, {MessageAnswer::Cancel}, false, 1, {"Insert Disk"}},
        {"deviceUnavailable", {68}, {}, false, 1, {}},
        {"pathNotFound", {76}, {}, false, 1, {}},
    };
    for (const auto& c : cases) {
        testing::FakeView view;
        view.answers = c.answers;
        int calls = 0;
        EXPECT_EQ(FileExists("C:\\X", scriptedLookup(c.failures, true, calls), view), c.expected) << c.name;
        EXPECT_EQ(calls, c.lookups) << c.name;
        std::vector<std::string> prompts;
        for (const auto& message : view.messages) {
            EXPECT_EQ(message.icon, MessageIcon::Question) << c.name;
            prompts.push_back(message.text);
        }
        EXPECT_EQ(prompts, c.prompts) << c.name;
    }
}

TEST(FileExists, unknownErrorIsReportedAndEndsTheProgram) {
    testing::FakeView view;
    int calls = 0;
    EXPECT_THROW(FileExists("C:\\X", scriptedLookup({70}, true, calls), view), EndProgram);
    ASSERT_EQ(view.messages.size(), 1u);
    EXPECT_EQ(view.messages[0].text, "Unexpected error # 70 occured: Permission denied");
    EXPECT_EQ(view.messages[0].icon, MessageIcon::Critical);
}

TEST(FileExists, looksUpRealFiles) {
    const testing::TempFolder folder;
    folder.write("csv/FLANGE.CSV", "1");
    const platform::PathMapper paths([](const std::string&) { return std::nullopt; });
    testing::FakeView view;
    EXPECT_TRUE(FileExists(folder.path() + "\\csv\\flange.csv", paths, view));
    EXPECT_TRUE(FileExists(folder.path() + "\\csv\\*.CSV", paths, view));
    EXPECT_FALSE(FileExists(folder.path() + "\\csv\\", paths, view));
    EXPECT_FALSE(FileExists(folder.path() + "\\nowhere\\FLANGE.CSV", paths, view));
    EXPECT_TRUE(view.messages.empty());
}

TEST(ShowReady, pausesThenShowsReady) {
    testing::FakeView view;
    testing::FakePauser pauser;
    pauser.duringPause = [&view] { EXPECT_EQ(view.status(), "Busy."); };
    view.setStatus("Busy.");
    ShowReady(view, pauser);
    EXPECT_EQ(pauser.pauses, std::vector<int>{600});
    EXPECT_EQ(view.status(), "Ready.");
}

TEST(CenterForm, centresAndRejectsFaults) {
    const Point corner = CenterForm(15360, 11520, 7500, 3900);
    EXPECT_DOUBLE_EQ(corner.left, 3930);
    EXPECT_DOUBLE_EQ(corner.top, 3810);
    EXPECT_DOUBLE_EQ(CenterForm(100, 100, 300, 50).left, -100);
    EXPECT_THROW(CenterForm(INFINITY, 100, 1, 1), StationError);
    EXPECT_THROW(CenterForm(100, NAN, 1, 1), StationError);
}

} // namespace
} // namespace quorlan::config
