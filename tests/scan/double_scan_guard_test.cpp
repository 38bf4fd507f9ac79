#include "fakes/fake_clock.h"
#include "fieldsel/fake_profile_section.h"
#include "scan/double_scan_guard.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace quorlan::scan {
namespace {

constexpr const char* kFlange = "#161=FLANGE.CNC;#171=1;";
constexpr const char* kFlangeOtherField = "#161=FLANGE.CNC;#171=2;#284=1;";
constexpr const char* kPlate = "#161=PLATE.CNC;#171=1;";

// Each step in turn on one guard: the clock moves, then a line is checked and, if it may go,
// handed over.
struct Step {
    std::int64_t waitMs;
    const char* line;
    bool refused;
};

void run(int seconds, std::initializer_list<Step> steps) {
    testing::FakeClock clock;
    DoubleScanGuard guard(clock);
    guard.setSeconds(seconds);
    int number = 0;
    for (const auto& step : steps) {
        clock.advanceMs(step.waitMs);
        const bool refused = !guard.refusal(step.line, "FLANGE.CNC").empty();
        EXPECT_EQ(refused, step.refused) << "step " << number << " (" << step.line << ")";
        if (!refused) {
            guard.handedOver(step.line);
        }
        ++number;
    }
}

TEST(DoubleScanGuardTest, off_everyScanMakesItsPart) {
    run(0, {{0, kFlange, false}, {0, kFlange, false}, {1, kFlange, false}});
}

TEST(DoubleScanGuardTest, on_theSameLineWithinTheSecondsIsRefused_onceTheyArePastItGoes) {
    run(10, {{0, kFlange, false}, {9999, kFlange, true}, {1, kFlange, false}, {0, kFlange, true}});
}

TEST(DoubleScanGuardTest, on_otherPartsGo_andEachPartCountsFromItsOwnHandOver) {
    run(10, {{0, kFlange, false},
             {0, kFlangeOtherField, true}, // the field is the station's choice, not the label's
             {4000, kPlate, false},
             {1000, kFlange, true}, // a plate between does not make FLANGE new
             {5000, kFlange, false},
             {4999, kFlange, true}});
}

TEST(DoubleScanGuardTest, on_blanksAroundAValueMakeNoOtherPart) {
    run(10, {{0, "#161=FLANGE.CNC;#162=;#171=1;", false},
             {0, "#161=FLANGE.CNC;#162= ;#171=1;", true},
             {0, "#161=FLANGE.CNC;#162=X;#171=1;", false}});
}

TEST(DoubleScanGuardTest, refusal_saysWhatHappenedAndWhatToDo) {
    testing::FakeClock clock;
    DoubleScanGuard guard(clock);
    guard.setSeconds(10);
    guard.handedOver(kFlange);
    clock.advanceMs(2500);

    EXPECT_EQ(guard.refusal(kFlange, "FLANGE.CNC "),
              "Double scan: FLANGE.CNC went to the work list 3 s ago and was not added again "
              "(DuplicateScanSeconds is 10). To make another part, scan it again after 10 s.");
}

TEST(DoubleScanGuardTest, setting_isReadWithinItsBounds_andSavedAsANumber) {
    struct Case {
        std::optional<std::string> value;
        int seconds;
    };
    const Case cases[] = {{std::nullopt, 0}, {"5", 5}, {"-3", 0}, {"99999", kMaxDuplicateScanSeconds}, {"x", 0}};
    for (const auto& c : cases) {
        testing::FakeProfileSection settings;
        if (c.value) {
            settings.values[kDuplicateScanSecondsKey] = *c.value;
        }
        EXPECT_EQ(readDuplicateScanSeconds(settings), c.seconds) << c.value.value_or("(none)");
    }
    testing::FakeProfileSection settings;
    saveDuplicateScanSeconds(settings, 12);
    EXPECT_EQ(settings.values[kDuplicateScanSecondsKey], "12");
}

} // namespace
} // namespace quorlan::scan
