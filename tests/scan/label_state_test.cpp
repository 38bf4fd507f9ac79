#include "scan/label_state.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace quorlan::scan {
namespace {

LabelState flangeState() {
    LabelState state;
    ResetLabelState(state);
    state.ProgramName = "FLANGE.CNC";
    state.FieldCode = "N";
    state.DimX = "600";
    state.DimY = "400";
    state.DimZ = "18";
    return state;
}

TEST(BuildListLine, flangeExampleComesOutByteForByte) {
    const FieldCodeTable table;
    LabelState state = flangeState();
    EXPECT_EQ(BuildListLine(state, table),
              "#161=FLANGE.CNC;#162= ;#164=1;#165=1;#281=;#171=1;#284=0;#285=;#280=;#168=600;#169=400;#170=18;"
              "#282= ;#283=;#223= ;#277=;#278=;#279=;");
    EXPECT_EQ(state.FieldIndex, 0);
    EXPECT_EQ(state.FieldIndexEven, 0);
}

TEST(BuildListLine, fieldCodeGivesPositionAndEvenFlag) {
    const FieldCodeTable table;
    const struct {
        std::string code;
        std::string items;
    } cases[] = {
        {"N", "#171=1;#284=0;"},   {"M", "#171=2;#284=1;"},    {"R", "#171=6;#284=1;"},    {"N1", "#171=7;#284=0;"},
        {"A/", "#171=16;#284=1;"}, {"T1/", "#171=23;#284=0;"}, {"S/0", "#171=27;#284=0;"}, {"R/1", "#171=36;#284=1;"},
        {"&", "#171=37;#284=0;"},  {" ", "#171=37;#284=0;"},   {"", "#171=37;#284=0;"},    {"n", "#171=37;#284=0;"},
    };
    for (const auto& c : cases) {
        LabelState state = flangeState();
        state.FieldCode = c.code;
        EXPECT_NE(BuildListLine(state, table).find(c.items), std::string::npos) << "field code '" << c.code << "'";
    }
}

TEST(BuildListLine, dimensionsThatReadAsZeroAreBlankedInTheStateToo) {
    const FieldCodeTable table;
    LabelState state = flangeState();
    state.DimX = " ";
    state.DimY = "abc";
    state.DimZ = "0";
    EXPECT_NE(BuildListLine(state, table).find("#168=;#169=;#170=;"), std::string::npos);
    EXPECT_EQ(state.DimX, "");
    EXPECT_EQ(state.DimY, "");
    EXPECT_EQ(state.DimZ, "");
}

TEST(BuildListLine, beforeAnyResetTheResetFieldsAreEmpty) {
    const FieldCodeTable table;
    LabelState state;
    state.ProgramName = "P.CNC";
    EXPECT_EQ(BuildListLine(state, table), "#161=P.CNC;#162=;#164=;#165=;#281=;#171=37;#284=0;#285=;#280=;#168=;"
                                           "#169=;#170=;#282=;#283=;#223=;#277=;#278=;#279=;");
}

TEST(FieldCodeTable, positionsAreSuffixMajor) {
    const FieldCodeTable table;
    const std::vector<std::string> firstRow{"N", "M", "S", "A", "T", "R"};
    const std::vector<std::string> suffixes{"", "1", "/", "1/", "/0", "/1"};
    for (std::size_t row = 0; row < suffixes.size(); ++row) {
        for (std::size_t letter = 0; letter < firstRow.size(); ++letter) {
            const int position = static_cast<int>(6 * row + letter + 1);
            EXPECT_EQ(table.at(position), firstRow[letter] + suffixes[row]);
            EXPECT_EQ(table.positionOf(firstRow[letter] + suffixes[row]), position);
        }
    }
    EXPECT_TRUE(table.IsFieldCode("N1/"));
    EXPECT_FALSE(table.IsFieldCode("n"));
    EXPECT_FALSE(table.IsFieldCode("N "));
    EXPECT_FALSE(table.IsFieldCode(""));
}

TEST(ResetLabelState, blanksTheLineFieldsAndKeepsSetProgress) {
    LabelState state;
    state.FieldPreset = true;
    state.ProgramComment = "COMMENT";
    state.CollectedParts = "21";
    state.ListValue281 = "";
    ResetLabelState(state);
    EXPECT_EQ(state.ProgramName, " ");
    EXPECT_EQ(state.Repetitions, "1");
    EXPECT_EQ(state.ListValue165, "1");
    EXPECT_EQ(state.FieldCode, " ");
    EXPECT_EQ(state.DimZ, " ");
    EXPECT_EQ(state.Variables[LabelState::I], " ");
    EXPECT_EQ(state.ListValue223, " ");
    EXPECT_TRUE(state.FieldPreset);
    EXPECT_EQ(state.ProgramComment, "COMMENT");
    EXPECT_EQ(state.CollectedParts, "21");
    EXPECT_EQ(state.ListValue281, "");
}

TEST(NextWord, splitsAtSingleBlanks) {
    const struct {
        std::string text;
        std::vector<std::string> words;
    } cases[] = {
        {"600 400 18%", {"600", "400", "18%", "", ""}},
        {"A  B", {"A", "", "B", "", ""}},
        {" A", {"", "A", ""}},
        {"A ", {"A", "", ""}},
        {"WORD", {"WORD", ""}},
        {"1 2 3 4%", {"1", "2", "3", "4%", ""}},
    };
    for (const auto& c : cases) {
        WordSplitter splitter;
        for (std::size_t i = 0; i < c.words.size(); ++i) {
            EXPECT_EQ(splitter.NextWord(c.text), c.words[i]) << "'" << c.text << "' word " << i;
        }
    }
}

TEST(NextWord, emptyTextResetsAndAnotherTextStartsOver) {
    WordSplitter splitter;
    EXPECT_EQ(splitter.NextWord("A B"), "A");
    EXPECT_EQ(splitter.NextWord("X Y Z"), "X");
    EXPECT_EQ(splitter.NextWord("X Y Z"), "Y");
    // A shorter text after a longer one is taken as used up until the splitter is reset.
    EXPECT_EQ(splitter.NextWord("Q"), "");
    EXPECT_EQ(splitter.NextWord(""), "");
    EXPECT_EQ(splitter.NextWord("Q"), "Q");
}

TEST(NextWord, textsBeyondThe16BitLimitSplitCorrectly) {
    const std::string first(40000, 'x');
    const std::string text = first + " tail";
    WordSplitter splitter;
    EXPECT_EQ(splitter.NextWord(text), first);
    EXPECT_EQ(splitter.NextWord(text), "tail");
    EXPECT_EQ(splitter.NextWord(text), "");
}

} // namespace
} // namespace quorlan::scan
