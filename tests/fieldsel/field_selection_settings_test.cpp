#include "fieldsel/fake_profile_section.h"
#include "fieldsel/field_selection_settings.h"

#include <gtest/gtest.h>

namespace quorlan::fieldsel {
namespace {

using testing::FakeProfileSection;

FieldSelectionSettings loadFrom(FakeProfileSection& file) {
    FieldSelectionSettings settings;
    settings.load(file);
    return settings;
}

TEST(FieldSelectionSettings, loadWithoutKeys_givesBarcodeMirrorAndEmptyValues) {
    FakeProfileSection file;
    FieldSelectionSettings settings = loadFrom(file);
    for (const FieldSlot& slot : settings.fieldSlots) {
        EXPECT_EQ(slot.fieldCode, "") << slot.code;
        EXPECT_EQ(slot.enabled, 0) << slot.code;
    }
    EXPECT_EQ(settings.halfLimitX, "");
    EXPECT_EQ(settings.halfLimitY, "");
    EXPECT_EQ(settings.mirrorSource, MirrorSource::Barcode);
    EXPECT_EQ(settings.selectedMode, MatchMode::Mirror);
    for (const TriggerSpec& trigger : settings.triggers) {
        EXPECT_EQ(trigger.fromLeft, 0);
        EXPECT_EQ(trigger.position, 0);
        EXPECT_EQ(trigger.characters, "");
    }
}

TEST(FieldSelectionSettings, readSetting_treatsMarkerAsMissingAndCutsAtNul) {
    FakeProfileSection file;
    file.values = {{"A", "END.-"}, {"B", std::string("ab\0cd", 5)}, {"C", "FFS"}, {"D", ""}};
    for (const auto& [key, expected] : {std::pair{"A", ""}, {"B", "ab"}, {"C", "FFS"}, {"D", ""}, {"E", ""}}) {
        EXPECT_EQ(ReadSetting(file, key), expected) << key;
    }
}

// Read through a trigger that is not active, so the editor does not adjust its position.
TEST(FieldSelectionSettings, numbersRoundHalvesToEvenAndClampSwitchesAreNonzero) {
    const struct {
        const char* text;
        int position;
        int flag;
        int fromLeft;
    } cases[] = {
        {"2.5", 2, 1, -1},    {"3.5", 4, 1, -1}, {"-2.5", -2, 1, -1},     {"0.4", 0, 0, 0},
        {"12abc", 12, 1, -1}, {"abc", 0, 0, 0},  {"99999", 32767, 1, -1}, {"-1e9", -32768, 1, -1},
    };
    for (const auto& c : cases) {
        FakeProfileSection file;
        file.values = {{"PNameNandMCPos", c.text}, {"FieldFlag_FFS", c.text}, {"CommentMirrorLR", c.text}};
        const FieldSelectionSettings settings = loadFrom(file);
        EXPECT_EQ(settings.triggers[1].position, c.position) << c.text;
        EXPECT_EQ(settings.slot("FFS").enabled, c.flag) << c.text;
        EXPECT_EQ(settings.triggers[2].fromLeft, c.fromLeft) << c.text;
    }
}

TEST(FieldSelectionSettings, autoSelSettingSelectsSourceAndItsMode) {
    const struct {
        std::map<std::string, std::string> values;
        MirrorSource source;
        MatchMode mode;
    } cases[] = {
        {{{"AutoSelSetting", "1"}, {"PNameMSel", "1"}}, MirrorSource::ProgramName, MatchMode::Mirror},
        {{{"AutoSelSetting", "1"}, {"CommentMSel", "1"}}, MirrorSource::ProgramName, MatchMode::NormAndMirror},
        {{{"AutoSelSetting", "2"}, {"PNameMSel", "1"}}, MirrorSource::Comment, MatchMode::NormAndMirror},
        {{{"AutoSelSetting", "2"}, {"CommentMSel", "1"}}, MirrorSource::Comment, MatchMode::Mirror},
        {{{"AutoSelSetting", "7"}}, MirrorSource::Barcode, MatchMode::Mirror},
    };
    for (const auto& c : cases) {
        FakeProfileSection file;
        file.values = c.values;
        const FieldSelectionSettings settings = loadFrom(file);
        EXPECT_EQ(settings.mirrorSource, c.source) << static_cast<int>(c.source);
        EXPECT_EQ(settings.selectedMode, c.mode) << static_cast<int>(c.source);
    }
}

TEST(FieldSelectionSettings, editorTakesActiveTriggerWithPositionWithinLayout) {
    const struct {
        const char* source;
        const char* text;
        const char* position;
        int expected;
    } cases[] = {
        {"1", "W", "0", 1},
        {"1", "W", "50", 12},
        {"2", "AB", "40", 24},
        {"2", "AB", "7", 7},
        {"1", "ABCDEFGHIJKLMN", "5", 1},
    };
    for (const auto& c : cases) {
        FakeProfileSection file;
        file.values = {{"AutoSelSetting", c.source},
                       {"PNameMSel", "1"},
                       {"CommentMSel", "1"},
                       {"PNameMirrorText", c.text},
                       {"CommentMirrorText", c.text},
                       {"PNameMirrorLR", "-1"},
                       {"PNameMirrorCPos", c.position},
                       {"CommentMirrorCPos", c.position}};
        FieldSelectionSettings settings = loadFrom(file);
        EXPECT_EQ(settings.editor.position, c.expected) << c.source << c.position;
        EXPECT_EQ(settings.editor.characters, c.text);
        EXPECT_EQ(settings.activeTrigger()->position, c.expected);
    }
}

TEST(FieldSelectionSettings, saveWritesKeysInOrderWithCodesUpperCased) {
    FieldSelectionSettings settings;
    settings.slot("SFS").fieldCode = "s";
    settings.slot("SFS").enabled = 1;
    settings.halfLimitX = "1000";
    settings.mirrorSource = MirrorSource::Comment;
    settings.selectedMode = MatchMode::NormAndMirror;
    settings.editor = {0, 7, "ab"};
    FakeProfileSection file;
    settings.save(file);

    std::vector<std::string> expected;
    for (const FieldSlot& slot : settings.fieldSlots) {
        expected.push_back("FieldCode_" + slot.code);
        expected.push_back("FieldFlag_" + slot.code);
    }
    expected.insert(expected.end(), {"HalfLimitX", "HalfLimitY", "AutoSelSetting"});
    for (const char* trigger : {"PNameMirror", "PNameNandM", "CommentMirror", "CommentNandM"}) {
        for (const char* part : {"LR", "CPos", "Text"}) {
            expected.push_back(std::string(trigger) + part);
        }
    }
    expected.insert(expected.end(), {"PNameMSel", "CommentMSel"});
    EXPECT_EQ(file.written, expected);

    EXPECT_EQ(settings.slot("SFS").fieldCode, "s");
    const std::map<std::string, std::string> values = {
        {"FieldCode_SFS", "S"},    {"FieldFlag_SFS", "1"},     {"FieldFlag_SFA", "0"},  {"FieldFlag_SFN", "1"},
        {"FieldFlag_DFN", "1"},    {"HalfLimitX", "1000"},     {"AutoSelSetting", "2"}, {"CommentNandMLR", "0"},
        {"CommentNandMCPos", "7"}, {"CommentNandMText", "ab"}, {"PNameMirrorLR", "0"},  {"CommentMSel", "0"},
    };
    for (const auto& [key, value] : values) {
        EXPECT_EQ(file.values[key], value) << key;
    }
}

} // namespace
} // namespace quorlan::fieldsel
