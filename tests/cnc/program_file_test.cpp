#include "cnc/field_splitter.h"
#include "cnc/line_values.h"
#include "cnc/program_file.h"
#include "fakes/fake_view.h"
#include "fakes/temp_folder.h"

#include <gtest/gtest.h>

namespace quorlan::cnc {
namespace {

TEST(FieldSplitter, everySeparatorEndsAFieldAndMissingFieldsReadEmpty) {
    const std::string gcode = "G71 X600 Y400 Z18";
    EXPECT_EQ(fieldAt(gcode, "XYZT", 1), "G71 ");
    EXPECT_EQ(fieldAt(gcode, "XYZT", 4), "18");
    EXPECT_EQ(fieldAt(gcode, "XYZT", 5), "");
    EXPECT_EQ(fieldAt(gcode, "XYZT", 0), "");
    EXPECT_EQ(fieldAt("UN  X=1", " =", 2), "");
}

TEST(ProgramName, onlyNamesOfFilesInsideTheFolderThatALineCanCarryAreSafe) {
    for (const std::string& safe : std::vector<std::string>{"FLANGE.CNC", "A B.CNC", "PART7%", ".HIDDEN",
                                                            "\xD1\xE9.CNC", std::string(255, 'A')}) {
        EXPECT_EQ(programNameFault(safe), "") << safe;
    }
    const struct {
        std::string name;
        const char* fault;
    } unsafe[] = {
        {"../X.CNC", "it leads out of the program folder"},
        {"A/B.CNC", "it leads out of the program folder"},
        {"A\\B.CNC", "it leads out of the program folder"},
        {"X..CNC", "it leads out of the program folder"},
        {"..", "it leads out of the program folder"},
        {"C:X.CNC", "it names a drive"},
        {".", "it names no file"},
        {"", "it names no file"},
        {"   ", "it names no file"},
        {"P*.CNC", "it holds a wildcard"},
        {"P?.CNC", "it holds a wildcard"},
        {std::string(256, 'A'), "it is longer than 255 bytes"},
        {std::string("A\0B", 3), "it holds the control character \\x00"},
        {"A\r\nB", "it holds the control character \\r"},
        {"A;#171=9", "it holds \";\", which separates the items of a work-list line"},
    };
    for (const auto& c : unsafe) {
        EXPECT_EQ(programNameFault(c.name), c.fault) << c.name;
        EXPECT_FALSE(isSafeProgramName(c.name)) << c.name;
    }
}

TEST(LineValues, semicolonsAndControlCharactersAreRefusedInScansAndBlankedInFiles) {
    const struct {
        std::string text;
        const char* fault;
        const char* blanked;
    } cases[] = {
        {"FLANGE PLATE 600", "", "FLANGE PLATE 600"},
        {"\xE9\xF1\x80\xFF", "", "\xE9\xF1\x80\xFF"},
        {"A;B", "it holds \";\", which separates the items of a work-list line", "A B"},
        {"A\tB\x1B[2J", "it holds the control character \\t", "A B [2J"},
        {"A\x7F\x81\x9D", "it holds the control character \\x7F", "A   "},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(lineValueFault(c.text), c.fault) << c.text;
        EXPECT_EQ(withLineBreakersBlanked(c.text), c.blanked) << c.text;
    }
}

class CheckProgramFileTest : public ::testing::Test {
protected:
    // The outputs start as sentinels, so that "left untouched" shows.
    void check(const std::string& folderPath, const std::string& name) {
        x = -1;
        y = -2;
        z = -3;
        comment = "stale";
        CheckProgramFile(folderPath, name, paths, view, x, y, z, comment);
    }

    testing::TempFolder folder;
    platform::PathMapper paths{[](const std::string&) { return std::nullopt; }};
    testing::FakeView view;
    float x = 0;
    float y = 0;
    float z = 0;
    std::string comment;
};

TEST_F(CheckProgramFileTest, takesWhatTheFileGivesAndKeepsWhatWasReadWhenItFails) {
    const char kBinaryGCode[] = "G71 X1\0\xff Y2 Z3\n\0\x01\x02(\x80)";
    const struct {
        const char* what;
        std::string contents;
        float x, y, z;
        const char* comment;
    } cases[] = {
        {"header", "QZT HEADER\r\n; FLANGE 600\r\nUN X=600 Y=400 Z=18\r\n", 600, 400, 18, "FLANGE 600"},
        {"marker in any case anywhere", "\n  ; made by qzt\n\n;;SHORT\n\nUN X=1.5 Y=2 Z=3\n", 1.5f, 2, 3, "SHORT"},
        {"UN only from the third line", "QZT\n; RUN ONE\nG0\nUN X=7 Y=8 Z=9\n", 7, 8, 9, "RUN ONE"},
        {"lenient header numbers", "QZT\n;;C\nUN X=600MM Y=ABC Z=\n", 600, 0, 0, "C"},
        {"G-code in lower case", "g71 x600 y400 z18\r\n(FLANGE)\r\n", 600, 400, 18, "FLANGE"},
        {"G70 after blank lines", "\r\n  G70 X10.5 Y20 Z1.25 T1\r\n\r\n  (PLATE ONE) rest\r\n", 10.5f, 20, 1.25f,
         "PLATE ONE"},
        {"G-code without Z", "G71 X600 Y400\n(C)\n", 600, 400, -3, ""},
        {"G-code dimension not a number", "G71 XABC Y400 Z18\n(C)\n", -1, -2, -3, ""},
        {"empty", "", -1, -2, -3, ""},
        {"one line only", "G71 X1 Y2 Z3\n", -1, -2, -3, ""},
        {"header without UN line", "QZT\n;;C\nG0 X1\n", -1, -2, -3, ""},
        {"UN line beyond the lines read", "QZT\n;;C\n" + std::string(20000, '\n') + "UN X=1 Y=2 Z=3\n", -1, -2, -3, ""},
        {"a line longer than any program line", "G71 X1 Y2 Z3" + std::string(2 << 20, ' '), -1, -2, -3, ""},
        {"binary after a G-code start", std::string(kBinaryGCode, sizeof kBinaryGCode - 1), -1, -2, -3, ""},
        // A file cannot break its own work-list line.
        {"comment with separators", "G71 X1 Y2 Z3\n(A;#171=9\tB\x1B)\n", 1, 2, 3, "A #171=9 B "},
        {"header comment with separators", "QZT\n;;X;Y\x07\nUN X=1 Y=2 Z=3\n", 1, 2, 3, "X Y "},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        folder.write("P.CNC", c.contents);
        check(folder.prefix(), "P.CNC");
        EXPECT_FLOAT_EQ(x, c.x);
        EXPECT_FLOAT_EQ(y, c.y);
        EXPECT_FLOAT_EQ(z, c.z);
        EXPECT_EQ(comment, c.comment);
    }
    check(folder.prefix(), "MISSING.CNC");
    EXPECT_TRUE(view.messages.empty());
}

TEST_F(CheckProgramFileTest, otherFilesAreReportedAndLeaveTheOutputsUntouched) {
    std::string binary;
    for (int i = 0; i < 4096; ++i) {
        binary.push_back(static_cast<char>(i * 13 % 256));
    }
    for (const std::string& contents : {std::string("G90 X1 Y2 Z3\n(C)\n"), binary}) {
        view.messages.clear();
        folder.write("P.CNC", contents);
        check(folder.prefix(), "P.CNC  ");
        EXPECT_FLOAT_EQ(x + y + z, -6);
        ASSERT_EQ(view.messages.size(), 1u);
        EXPECT_EQ(view.messages[0].text, folder.prefix() + "P.CNC Not a proper program file");
        EXPECT_EQ(view.messages[0].icon, platform::MessageIcon::None);
        EXPECT_EQ(view.messages[0].buttons, platform::MessageButtons::Ok);
    }
}

TEST_F(CheckProgramFileTest, namesLeavingTheFolderOpenNothing) {
    folder.write("OUTSIDE.CNC", "G71 X1 Y2 Z3\n(ESCAPED)\n");
    for (const char* name : {"../OUTSIDE.CNC", "..\\OUTSIDE.CNC"}) {
        check(folder.prefix() + "SUB/", name);
        EXPECT_FLOAT_EQ(x, -1) << name;
        EXPECT_EQ(comment, "") << name;
    }
}

} // namespace
} // namespace quorlan::cnc
