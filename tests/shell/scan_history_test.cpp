// The place where a line found in the list after all is recorded, and the history's quiet flush.
#include "fakes/fake_clock.h"
#include "fakes/fake_view.h"
#include "history/history_reader.h"
#include "shell/scan_history.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <unistd.h>

namespace quorlan::shell {
namespace {

namespace fs = std::filesystem;

TEST(ScanHistoryTest, aLineFoundInTheListAfterAll_isRecordedAsSuch_withItsScan) {
    const fs::path root = fs::temp_directory_path() / ("scan_history_test_" + std::to_string(::getpid()));
    testing::FakeView view;
    WatchedView watched(view);
    testing::FakeClock clock;
    const scan::FieldCodeTable fieldCodes;
    {
        ScanHistory history(watched, clock, fieldCodes);
        history.open({(root / "h.sqlite").string(), true, 365}, "local:cnc");
        history.label("TOP", false, [&] {
            history.reachedAfterAll("#161=TOP.CNC;#162= ;", "TOP.CNC ");
            return true;
        });
        clock.advanceMs(5000);
        history.idle();
    }

    history::HistoryReader reader((root / "h.sqlite").string());
    const auto events = reader.page({}, std::nullopt, 10);
    ASSERT_EQ(events.size(), 1u) << "the scan's own event is that one";
    EXPECT_EQ(events[0].outcome, history::Outcome::ReachedAfterAll);
    EXPECT_EQ(events[0].scan, "TOP");
    EXPECT_EQ(events[0].program, "TOP.CNC");
    EXPECT_EQ(events[0].line, "#161=TOP.CNC;#162= ;");
    EXPECT_TRUE(view.statusHistory.empty()) << "nothing said while the history works";
    fs::remove_all(root);
}

} // namespace
} // namespace quorlan::shell
