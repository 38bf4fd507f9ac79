#include "config/common.h"
#include "fakes/fake_pauser.h"
#include "fakes/fake_view.h"
#include "fakes/temp_folder.h"

#include <cmath>
#include <deque>
#include <gtest/gtest.h>

namespace quorlan::config {
namespace {

using platform::MessageAnswer;
using platform::StationError;

TEST(UnexpectedErrorMessage, putsABlankBeforeNonNegativeNumbers) {
    EXPECT_EQ(UnexpectedErrorMessage(StationError(53)), "Unexpected error # 53 occured: File not found");
    EXPECT_EQ(UnexpectedErrorMessage(StationError(-5, "Odd")), "Unexpected error #-5 occured: Odd");
}

TEST(FileExists, promptsOnDiskErrorsAndGivesUpOnCancel) {
    const struct {
        std::deque<int> failures; // error numbers of the lookups before the one that finds the file
        std::deque<MessageAnswer> answers;
        bool expected;
        std::vector<std::string> prompts;
    } cases[] = {
        {{57, 57}, {MessageAnswer::Retry, MessageAnswer::Retry}, true, {"Unformatted Disk", "Unformatted Disk"}},
        {{57}, {MessageAnswer::Cancel}, false, {"Unformatted Disk"}},
        {{71}, {MessageAnswer::Ok}, true, {"Insert Disk"}},
        {{71}, {MessageAnswer::Cancel}, false, {"Insert Disk"}},
        {{68}, {}, false, {}},
        {{76}, {}, false, {}},
    };
    for (auto c : cases) {
        testing::FakeView view;
        view.answers = c.answers;
        const auto lookup = [&c](const std::string&) {
            if (c.failures.empty()) {
                return true;
            }
            const int number = c.failures.front();
            c.failures.pop_front();
            throw StationError(number);
        };
        EXPECT_EQ(FileExists("C:\\X", lookup, view), c.expected);
        std::vector<std::string> prompts;
        for (const auto& message : view.messages) {
            EXPECT_EQ(message.icon, platform::MessageIcon::Question);
            prompts.push_back(message.text);
        }
        EXPECT_EQ(prompts, c.prompts);
    }
}

TEST(FileExists, unknownErrorIsReportedAndEndsTheProgram) {
    testing::FakeView view;
    const auto lookup = [](const std::string&) -> bool { throw StationError(70); };
    EXPECT_THROW(FileExists("C:\\X", lookup, view), EndProgram);
    ASSERT_EQ(view.messages.size(), 1u);
    EXPECT_EQ(view.messages[0].text, "Unexpected error # 70 occured: Permission denied");
    EXPECT_EQ(view.messages[0].icon, platform::MessageIcon::Critical);
}

TEST(FileExists, looksUpRealFilesQuietly) {
    const testing::TempFolder folder;
    folder.write("csv/FLANGE.CSV", "1");
    const platform::PathMapper paths([](const std::string&) { return std::nullopt; });
    testing::FakeView view;
    EXPECT_TRUE(FileExists(folder.path() + "\\csv\\*.CSV", paths, view));
    EXPECT_FALSE(FileExists(folder.path() + "\\csv\\", paths, view));
    EXPECT_FALSE(FileExists(folder.path() + "\\nowhere\\FLANGE.CSV", paths, view));
    EXPECT_TRUE(view.messages.empty());
}

TEST(ShowReady, pausesThenShowsReady) {
    testing::FakeView view;
    testing::FakePauser pauser;
    view.setStatus("Busy.");
    ShowReady(view, pauser);
    EXPECT_EQ(pauser.pauses, std::vector<int>{600});
    EXPECT_EQ(view.status(), "Ready.");
}

TEST(CenterForm, centresAndRaisesFaults) {
    EXPECT_DOUBLE_EQ(CenterForm(15360, 11520, 7500, 3900).left, 3930);
    EXPECT_DOUBLE_EQ(CenterForm(15360, 11520, 7500, 3900).top, 3810);
    EXPECT_THROW(CenterForm(NAN, 1, 1, 1), StationError);
}

} // namespace
} // namespace quorlan::config
