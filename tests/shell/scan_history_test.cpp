// The place where a line found in the list after all is recorded, and the history's quiet flush.
#include "fakes/fake_clock.h"
#include "fakes/fake_view.h"
#include "fakes/temp_folder.h"
#include "history/history_reader.h"
#include "shell/scan_history.h"

#include <filesystem>
#include <gtest/gtest.h>

namespace quorlan::shell {
namespace {

namespace fs = std::filesystem;

TEST(ScanHistoryTest, aLineFoundInTheListAfterAll_isRecordedAsSuch_withItsScan) {
    const testing::TempFolder folder;
    const fs::path& root = folder.root();
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
}

TEST(ScanHistoryTest, guard_letsAScansMirroredCopyGo_andRefusesTheNextScanOfThePart) {
    const testing::TempFolder folder;
    const fs::path& root = folder.root();
    testing::FakeView view;
    WatchedView watched(view);
    testing::FakeClock clock;
    const scan::FieldCodeTable fieldCodes;
    ScanHistory history(watched, clock, fieldCodes);
    history.open({(root / "h.sqlite").string(), true, 365}, "built-in");
    history.guard().setSeconds(10);
    scan::LabelState state;
    state.ProgramName = "FLANGE.CNC";
    const auto handOver = [&](const std::string& line) {
        const bool may = history.mayHandOver(line, state);
        if (may) {
            history.handedOver(line, state, true, {});
        }
        return may;
    };
    std::vector<bool> allowed;

    history.label("FLANGE", false, [&] {
        allowed.push_back(handOver("#161=FLANGE.CNC;#171=7;"));
        allowed.push_back(handOver("#161=FLANGE.CNC;#171=8;")); // its mirrored copy
        return true;
    });
    clock.advanceMs(3000);
    history.label("FLANGE", false, [&] { return handOver("#161=FLANGE.CNC;#171=7;"); });

    EXPECT_EQ(allowed, (std::vector<bool>{true, true}));
    EXPECT_EQ(view.beeps, 1);
    EXPECT_EQ(view.statusText.rfind("Double scan: FLANGE.CNC went to the work list 3 s ago", 0), 0u);
}

} // namespace
} // namespace quorlan::shell
