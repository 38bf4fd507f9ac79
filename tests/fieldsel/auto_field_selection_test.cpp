#include "fieldsel/auto_field_selection.h"
#include "fieldsel/fake_profile_section.h"

#include <gtest/gtest.h>
#include <vector>

namespace quorlan::fieldsel {
namespace {

using testing::FakeProfileSection;

// Every slot enabled and handing out its own slot code, so a result names the slot chosen.
FakeProfileSection tableFile(const char* halfLimitX, const char* halfLimitY) {
    FakeProfileSection file;
    for (const FieldSlot& slot : FieldSelectionSettings().fieldSlots) {
        file.values["FieldCode_" + slot.code] = slot.code;
        file.values["FieldFlag_" + slot.code] = "1";
    }
    file.values["HalfLimitX"] = halfLimitX;
    file.values["HalfLimitY"] = halfLimitY;
    return file;
}

TEST(AutoFieldSelection, settingsAreLoadedOnFirstUseOnly) {
    FakeProfileSection file = tableFile("", "");
    file.values["FieldCode_DFN"] = "n1";
    AutoFieldSelection selection(file);
    EXPECT_EQ(file.reads, 0);
    EXPECT_EQ(selection.defaultField(), "n1");
    const int reads = file.reads;
    EXPECT_EQ(selection.mirrorSource(), MirrorSource::Barcode);
    EXPECT_EQ(file.reads, reads);
}

TEST(AutoFieldSelection, unitFactorAndStrictLimitsDecideTheFirstNormalChoice) {
    const struct {
        float dimX;
        float dimY;
        const char* limitX;
        const char* limitY;
        const char* expected;
    } cases[] = {
        {100, 50, "1000", "600", "SFN"}, // inches: limits 39.37 and 23.622
        {150, 50, "1000", "600", "FFS"}, // millimetres
        {150, 50, "150", "600", "FFN"},  // equal to the X limit
        {10, 23.622F, "1000", "600", "SFS"},
        {0, 0, "", "", "SFN"},
        {0, 0, "abc", "0", "SFN"},
        {0, 0, "1e300", "1e300", "FFS"},
        // Only the Y limit is rounded to single precision: a part just below the X limit fits.
        {39.37F, 10, "1000", "600", "FFS"},
        {200, 10, "200.000001", "600", "FFS"},
    };
    for (const auto& c : cases) {
        FakeProfileSection file = tableFile(c.limitX, c.limitY);
        AutoFieldSelection selection(file);
        EXPECT_EQ(selection.SelectMachineField(mode::kNormal, c.dimX, c.dimY, ""), c.expected)
            << c.dimX << " " << c.dimY << " " << c.limitX << " " << c.limitY;
    }
}

TEST(AutoFieldSelection, emptyLimitsStillAlternateHalves) {
    FakeProfileSection file = tableFile("", "");
    AutoFieldSelection selection(file);
    EXPECT_EQ(selection.SelectMachineField(mode::kNormal, 10, 10, ""), "SFN");
    EXPECT_EQ(selection.SelectMachineField(mode::kMirrored, 10, 10, ""), "SFM");
    EXPECT_EQ(selection.SelectMachineField(mode::kNormal, 10, 10, ""), "SFN");
    selection.settings().halfLimitX = "1000";
    selection.settings().halfLimitY = "1000";
    EXPECT_EQ(selection.SelectMachineField(mode::kNormal, 10, 10, ""), "FFT");
}

struct Step {
    std::int16_t mode;
    const char* fieldCode;
    const char* expected;
};

TEST(AutoFieldSelection, stateCarriesFromCallToCall) {
    const std::vector<std::vector<Step>> sequences = {
        {{0, "", "FFS"}, {0, "", "FFT"}, {0, "", "FFS"}},
        {{8, "&", "FFS"}, {8, "&", "FFR"}, {8, "&", "FFS"}},
        {{0, "P", "FFS"}, {8, "&", "FFR"}},
        {{8, "&", "FFS"}, {1, "W", "FFR"}, {8, "&", "FFS"}},
        {{6, "A", ""}, {0, "P", "FFA"}, {0, "P", "FFT"}},
        {{6, "x", ""}, {1, "W", "FFS"}},
        {{7, "T", ""}, {0, "P", "FFT"}, {1, "W", "FFA"}},
        {{7, "M", ""}, {8, "&", "FFR"}},
        {{7, "R", ""}, {7, "N1", ""}, {8, "&", "FFS"}},
        {{7, "t", ""}, {0, "P", "FFS"}},
    };
    for (std::size_t i = 0; i < sequences.size(); ++i) {
        FakeProfileSection file = tableFile("1000", "600");
        AutoFieldSelection selection(file);
        for (const Step& step : sequences[i]) {
            EXPECT_EQ(selection.SelectMachineField(step.mode, 150, 50, step.fieldCode), step.expected)
                << "sequence " << i << ", mode " << step.mode << " " << step.fieldCode;
        }
    }
}

TEST(AutoFieldSelection, normAndMirrorMatchOnFirstLabelGivesLeftNormalThenRightMirrored) {
    FakeProfileSection file = tableFile("1000", "600");
    file.values.insert({{"AutoSelSetting", "1"}, {"PNameMSel", "0"}, {"PNameNandMText", "*"}});
    AutoFieldSelection selection(file);
    std::string fieldCode;
    ASSERT_TRUE(selection.DetectMirrorTrigger("FLANGE", "", fieldCode));
    EXPECT_EQ(selection.SelectMachineField(mode::kAlternating, 150, 700, "&"), "SFS");
    EXPECT_EQ(selection.SelectMachineField(mode::kAlternating, 150, 700, "&"), "SFR");
}

TEST(AutoFieldSelection, detectMirrorTriggerTestsTheConfiguredText) {
    const struct {
        MirrorSource source;
        MatchMode mode;
        TriggerSpec trigger;
        const char* name;
        const char* comment;
        bool expectedResult;
        const char* expectedCode;
    } cases[] = {
        {MirrorSource::ProgramName, MatchMode::Mirror, {-1, 4, "x"}, "  abcXef ", "", false, "W"},
        {MirrorSource::ProgramName, MatchMode::Mirror, {-1, 4, "X"}, "ABC", "", false, "P"},
        {MirrorSource::ProgramName, MatchMode::Mirror, {-1, 1, "*"}, "A", "", false, "W"},
        {MirrorSource::ProgramName, MatchMode::Mirror, {-1, 1, "*"}, "  ", "", false, "N1"},
        {MirrorSource::ProgramName, MatchMode::Mirror, {-1, 1, ""}, "ABC", "", false, "N1"},
        {MirrorSource::ProgramName, MatchMode::NormAndMirror, {-1, 2, "B"}, "ABC", "", true, "W"},
        {MirrorSource::ProgramName, MatchMode::NormAndMirror, {-1, 2, "C"}, "ABC", "", false, "P"},
        {MirrorSource::Barcode, MatchMode::Mirror, {-1, 1, "*"}, "ABC", "ABC", false, "N1"},
        // From the right: the trigger stands where the layout shows it, ending the read-out's
        // number of characters from the end.
        {MirrorSource::ProgramName, MatchMode::Mirror, {0, 12, "w"}, "FLANGEW", "", false, "W"},
        {MirrorSource::ProgramName, MatchMode::Mirror, {0, 11, "W"}, "FLANGWE", "", false, "W"},
        {MirrorSource::ProgramName, MatchMode::Mirror, {0, 11, "W"}, "FLANGEW", "", false, "P"},
        {MirrorSource::ProgramName, MatchMode::Mirror, {0, 11, "AB"}, "XXAB", "", false, "W"},
        {MirrorSource::ProgramName, MatchMode::Mirror, {0, 11, "AB"}, "XABX", "", false, "P"},
        {MirrorSource::ProgramName, MatchMode::Mirror, {0, 10, "AB"}, "XABX", "", false, "W"},
        {MirrorSource::ProgramName, MatchMode::Mirror, {0, 1, "AB"}, "XAB", "", false, "P"},
        {MirrorSource::Comment, MatchMode::Mirror, {0, 24, "ZZ"}, "ZZ", " part zz ", false, "W"},
        // A trigger as wide as the layout stands at position 1, "1 From Right": at the text's end.
        {MirrorSource::ProgramName, MatchMode::Mirror, {0, 1, "ABCDEFGHIJKLM"}, "XABCDEFGHIJKLM", "", false, "W"},
        {MirrorSource::ProgramName, MatchMode::Mirror, {0, 1, "ABCDEFGHIJKLM"}, "ABCDEFGHIJKLMX", "", false, "P"},
    };
    for (const auto& c : cases) {
        FakeProfileSection file;
        AutoFieldSelection selection(file);
        selection.settings().mirrorSource = c.source;
        selection.settings().selectedMode = c.mode;
        selection.settings().editor = c.trigger;
        std::string fieldCode = "N1";
        EXPECT_EQ(selection.DetectMirrorTrigger(c.name, c.comment, fieldCode), c.expectedResult) << c.name;
        EXPECT_EQ(fieldCode, c.expectedCode) << c.name << " / " << c.trigger.characters;
    }
}

} // namespace
} // namespace quorlan::fieldsel
