#include "fieldsel/fake_profile_section.h"
#include "fieldsel/field_selection_setup.h"

#include <gtest/gtest.h>

namespace quorlan::fieldsel {
namespace {

using testing::FakeProfileSection;

class FieldSelectionSetupTest : public ::testing::Test {
protected:
    FieldSelectionSettings& settings() { return setup.settings(); }

    FakeProfileSection file;
    AutoFieldSelection selection{file};
    std::string lastName = "FLANGEW";
    std::string lastComment = "FLANGE PLATE";
    FieldSelectionSetup setup{selection, lastName, lastComment};
};

TEST_F(FieldSelectionSetupTest, placeTextLaysOutTheTriggerAndKeepsThePositionInRange) {
    const struct {
        MirrorSource source;
        TriggerSpec editor;
        int largest;
        int position;
        const char* row; // nullptr: the display keeps what it showed
        const char* fromLeft;
        const char* fromRight;
    } cases[] = {
        {MirrorSource::ProgramName, {-1, 12, "W"}, 12, 12, "???????????W", "12 From Left", "1 From Right"},
        {MirrorSource::ProgramName, {0, 1, "AB"}, 11, 1, "AB??????????", "1 From Left", "11 From Right"},
        {MirrorSource::Comment, {-1, 24, "ZZ"}, 24, 24, "???????????????????????ZZ", "24 From Left", "1 From Right"},
        // Typing a longer trigger pulls the position back to the last one that fits.
        {MirrorSource::ProgramName, {-1, 12, "WX"}, 11, 11, "??????????WX", "11 From Left", "1 From Right"},
        {MirrorSource::ProgramName, {-1, 0, "W"}, 12, 1, "W???????????", "1 From Left", "12 From Right"},
        // As wide as the layout or wider: position 1, nothing to scroll, the row cut to its width.
        {MirrorSource::ProgramName, {-1, 5, "ABCDEFGHIJKLM"}, 1, 1, "ABCDEFGHIJKL", "1 From Left", "1 From Right"},
        {MirrorSource::ProgramName, {0, 5, "ABCDEFGHIJKLMNOP"}, 1, 1, "ABCDEFGHIJKL", "1 From Left", "1 From Right"},
        {MirrorSource::ProgramName, {-1, 13, ""}, 13, 13, nullptr, "", ""},
    };
    for (const auto& c : cases) {
        settings().mirrorSource = c.source;
        settings().editor = c.editor;
        const TriggerLayout layout = setup.placeText();
        EXPECT_TRUE(layout.enabled);
        EXPECT_EQ(layout.largestPosition, c.largest) << c.editor.characters;
        EXPECT_EQ(settings().editor.position, c.position) << c.editor.characters;
        ASSERT_EQ(layout.display.has_value(), c.row != nullptr) << c.editor.characters;
        if (layout.display) {
            EXPECT_EQ(layout.display->row, c.row);
            EXPECT_EQ(layout.display->fromLeft, c.fromLeft);
            EXPECT_EQ(layout.display->fromRight, c.fromRight);
            EXPECT_EQ(layout.display->showFromLeft, c.editor.fromLeft != 0);
        }
    }
}

TEST_F(FieldSelectionSetupTest, barcodeGreysTheEditorAndChangesNothing) {
    settings().editor = {-1, 0, "W"};
    const TriggerLayout layout = setup.placeText();
    EXPECT_FALSE(layout.enabled);
    EXPECT_FALSE(layout.display.has_value());
    EXPECT_EQ(settings().editor.position, 0);
    EXPECT_EQ(setup.comparisonText(), std::nullopt);
}

TEST_F(FieldSelectionSetupTest, eachSourceAndModeKeepsItsOwnTrigger) {
    setup.selectSource(MirrorSource::ProgramName);
    settings().editor.characters = "A"; // Program name, Mirror
    setup.selectMode(MatchMode::NormAndMirror);
    EXPECT_EQ(settings().editor.characters, "");
    settings().editor = {0, 3, "B"};
    setup.selectSource(MirrorSource::Comment); // the mode option stays on Norm and Mirror
    settings().editor.characters = "C";
    setup.selectMode(MatchMode::Mirror);
    settings().editor.characters = "D";
    setup.selectSource(MirrorSource::Barcode);
    setup.selectSource(MirrorSource::ProgramName);
    EXPECT_EQ(settings().editor.characters, "A");
    setup.selectMode(MatchMode::NormAndMirror);
    EXPECT_EQ(settings().editor, (TriggerSpec{0, 3, "B"}));

    EXPECT_EQ(settings().triggers[0].characters, "A");
    EXPECT_EQ(settings().triggers[2].characters, "D");
    EXPECT_EQ(settings().triggers[3].characters, "C");
    EXPECT_EQ(settings().commentMode, MatchMode::Mirror);
    EXPECT_EQ(settings().programNameMode, MatchMode::Mirror); // stored when its Mirror trigger was left
    EXPECT_EQ(file.written.size(), 0U);
}

TEST_F(FieldSelectionSetupTest, cancelPutsBackWhatWasShownAndWritesNothing) {
    file.values = {{"AutoSelSetting", "1"}, {"PNameMSel", "1"}, {"PNameMirrorText", "W"}, {"FieldCode_SFN", "N"}};
    setup.open();
    const FieldSelectionSettings shown = settings();
    settings().slot("SFN").fieldCode = "M";
    settings().slot("FFS").enabled = 1;
    settings().halfLimitX = "abc";
    settings().editor.characters = "X";
    setup.selectSource(MirrorSource::Comment);
    setup.cancel();
    EXPECT_EQ(settings(), shown);
    EXPECT_TRUE(file.written.empty());
}

TEST_F(FieldSelectionSetupTest, confirmWritesTheEditorAndLaterCancelKeepsIt) {
    setup.open();
    setup.selectSource(MirrorSource::Comment);
    settings().editor = {-1, 4, "mir"};
    setup.confirm();
    EXPECT_EQ(file.values["AutoSelSetting"], "2");
    EXPECT_EQ(file.values["CommentMirrorText"], "mir");
    EXPECT_EQ(file.values["CommentMirrorCPos"], "4");
    EXPECT_EQ(file.values["CommentMirrorLR"], "-1");
    const FieldSelectionSettings saved = settings();
    setup.cancel(); // nothing was opened since
    EXPECT_EQ(settings(), saved);
}

TEST_F(FieldSelectionSetupTest, setAllAndClearAllActOnTheTabsCheckBoxesOnly) {
    const std::vector<std::string> standard = {"SFS", "SFA", "SFT", "SFR"};
    const std::vector<std::string> frontAndBack = {"BFN", "BFM", "FFN", "FFM", "BFS", "BFA",
                                                   "BFT", "BFR", "FFS", "FFA", "FFT", "FFR"};
    const struct {
        SetupTab tab;
        const std::vector<std::string>* changed;
    } cases[] = {
        {SetupTab::AutoFieldSelect, nullptr},
        {SetupTab::StandardFields, &standard},
        {SetupTab::FrontAndBack, &frontAndBack},
        {SetupTab::FieldLimits, nullptr},
    };
    for (const auto& c : cases) {
        for (const bool enabled : {true, false}) {
            for (FieldSlot& slot : settings().fieldSlots) {
                slot.enabled = enabled ? 0 : 1;
            }
            setup.setAllOnTab(c.tab, enabled);
            for (const FieldSlot& slot : settings().fieldSlots) {
                const bool listed = c.changed != nullptr &&
                                    std::find(c.changed->begin(), c.changed->end(), slot.code) != c.changed->end();
                EXPECT_EQ(slot.enabled == 1, listed == enabled) << static_cast<int>(c.tab) << " " << slot.code;
            }
        }
    }
}

TEST_F(FieldSelectionSetupTest, doubleClickComparesWithTheLastLabelOfTheSource) {
    setup.selectSource(MirrorSource::ProgramName);
    EXPECT_EQ(setup.comparisonText(), "FLANGEW");
    setup.selectSource(MirrorSource::Comment);
    lastComment.clear(); // a later label without a comment
    EXPECT_EQ(setup.comparisonText(), "");
}

TEST(FieldSelectionFirstUse, hookRunsOnceWhenTheSettingsAreFirstRead) {
    FakeProfileSection file;
    AutoFieldSelection selection(file);
    int created = 0;
    selection.setFirstUseHook([&] { ++created; });
    EXPECT_EQ(created, 0);
    selection.defaultField(); // a scan comes first
    selection.settings();
    EXPECT_EQ(created, 1);
    selection.setFirstUseHook([&] { created += 10; }); // already read: at once
    EXPECT_EQ(created, 11);
}

TEST(SetupPages, everyTableSlotHasItsRowPartAndEnd) {
    using enum TableRow;
    using enum TablePart;
    using enum FieldEnd;
    const std::pair<const char*, std::optional<SlotPlace>> cases[] = {
        {"SFN", SlotPlace{WholeDepth, FullLength, Left}},
        {"SFM", SlotPlace{WholeDepth, FullLength, Right}},
        {"SFS", SlotPlace{WholeDepth, LeftHalf, Left}},
        {"SFA", SlotPlace{WholeDepth, LeftHalf, Right}},
        {"SFT", SlotPlace{WholeDepth, RightHalf, Left}},
        {"SFR", SlotPlace{WholeDepth, RightHalf, Right}},
        {"BFN", SlotPlace{Back, FullLength, Left}},
        {"FFM", SlotPlace{Front, FullLength, Right}},
        {"BFA", SlotPlace{Back, LeftHalf, Right}},
        {"FFT", SlotPlace{Front, RightHalf, Left}},
        {"DFN", std::nullopt},
        {"SF", std::nullopt},
        {"SXN", std::nullopt},
        {"FFX", std::nullopt},
    };
    for (const auto& [code, place] : cases) {
        EXPECT_EQ(placeOf(code), place) << code;
    }
}

} // namespace
} // namespace quorlan::fieldsel
