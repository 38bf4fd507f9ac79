#include "scan/label_state.h"

#include <gtest/gtest.h>
#include <vector>

namespace quorlan::scan {
namespace {

std::string flangeLine(const std::string& fieldCode, const std::string& dimZ = "18") {
    LabelState state;
    ResetLabelState(state);
    state.ProgramName = "FLANGE.CNC";
    state.FieldCode = fieldCode;
    state.DimX = "600";
    state.DimY = "400";
    state.DimZ = dimZ;
    std::string line = BuildListLine(state, FieldCodeTable());
    EXPECT_EQ(state.FieldIndex, 0);
    return state.DimZ == dimZ ? line : "DimZ changed to '" + state.DimZ + "': " + line;
}

TEST(BuildListLine, exampleLineByteForByte) {
    EXPECT_EQ(flangeLine("N"), "#161=FLANGE.CNC;#162= ;#164=1;#165=1;#281=;#171=1;#284=0;#285=;#280=;#168=600;"
                               "#169=400;#170=18;#282= ;#283=;#223= ;#277=;#278=;#279=;");
    EXPECT_EQ(flangeLine("N", "0").substr(0, 23), "DimZ changed to '': #16");
}

TEST(BuildListLine, fieldCodePositionAndEvenFlag) {
    const std::pair<std::string, std::string> cases[] = {
        {"N", "#171=1;#284=0;"},   {"M", "#171=2;#284=1;"},    {"R", "#171=6;#284=1;"},    {"N1", "#171=7;#284=0;"},
        {"A/", "#171=16;#284=1;"}, {"T1/", "#171=23;#284=0;"}, {"S/0", "#171=27;#284=0;"}, {"R/1", "#171=36;#284=1;"},
        {"&", "#171=37;#284=0;"},  {" ", "#171=37;#284=0;"},   {"n", "#171=37;#284=0;"},
    };
    for (const auto& [code, items] : cases) {
        EXPECT_NE(flangeLine(code).find(items), std::string::npos) << "'" << code << "'";
    }
}

TEST(NextWord, splitsAtSingleBlanks) {
    const std::string big(40000, 'x');
    const std::pair<std::string, std::vector<std::string>> cases[] = {
        {"600 400 18%", {"600", "400", "18%", ""}},
        {"A  B", {"A", "", "B", "", ""}},
        {" A", {"", "A", ""}},
        {big + " tail", {big, "tail", ""}},
    };
    for (const auto& [text, words] : cases) {
        WordSplitter splitter;
        for (const auto& word : words) {
            EXPECT_EQ(splitter.NextWord(text), word) << text.substr(0, 20);
        }
    }
}

TEST(NextWord, anotherTextStartsOverUnlessItIsUsedUpAlready) {
    WordSplitter splitter;
    std::string words;
    for (const std::string text : {"X Y Z", "A B", "A B", "Q", "", "Q"}) {
        words += splitter.NextWord(text) + "|";
    }
    EXPECT_EQ(words, "X|A|B|||Q|");
}

} // namespace
} // namespace quorlan::scan
