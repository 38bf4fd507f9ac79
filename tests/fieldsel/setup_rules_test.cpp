#include "fieldsel/auto_field_selection.h"
#include "fieldsel/fake_profile_section.h"
#include "fieldsel/setup_pages.h"
#include "fieldsel/trigger_layout.h"

#include <gtest/gtest.h>

namespace quorlan::fieldsel {
namespace {

using testing::FakeProfileSection;

TEST(TriggerLayout, placeTextLaysOutTheTriggerAndKeepsThePositionInRange) {
    FieldSelectionSettings settings;
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
        // Greyed: nothing is laid out, the position is left alone.
        {MirrorSource::Barcode, {-1, 0, "W"}, 1, 0, nullptr, "", ""},
    };
    for (const auto& c : cases) {
        settings.mirrorSource = c.source;
        settings.editor = c.editor;
        const TriggerLayout layout = PlaceText(settings);
        EXPECT_EQ(layout.enabled, c.source != MirrorSource::Barcode);
        EXPECT_EQ(layout.largestPosition, c.largest) << c.editor.characters;
        EXPECT_EQ(settings.editor.position, c.position) << c.editor.characters;
        ASSERT_EQ(layout.display.has_value(), c.row != nullptr) << c.editor.characters;
        if (layout.display) {
            EXPECT_EQ(layout.display->row, c.row);
            EXPECT_EQ(layout.display->fromLeft, c.fromLeft);
            EXPECT_EQ(layout.display->fromRight, c.fromRight);
            EXPECT_EQ(layout.display->showFromLeft, c.editor.fromLeft != 0);
        }
    }
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
