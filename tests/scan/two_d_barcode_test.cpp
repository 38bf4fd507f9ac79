#include "scan/two_d_barcode.h"
#include "scan/two_d_payload.h"
#include "scan_harness.h"

#include <filesystem>
#include <fstream>
#include <gmock/gmock.h>
#include <iterator>

namespace quorlan::scan {
namespace {

const std::string kProgram = "G71 X600 Y400 Z18\r\n(PART SEVEN)\r\nG0 X0 Y0\r\nM30";

std::string slurp(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::string fortyLines() {
    std::string text = "G71 X600 Y400 Z18\r\n(SIDE PANEL)";
    for (int line = 3; line <= 40; ++line) {
        text += "\r\nN" + std::to_string(line) + " G01 X" + std::to_string(line * 10) + " Y5 \\ F900";
    }
    return text;
}

std::size_t filesIn(const std::filesystem::path& folder) {
    std::size_t count = 0;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(folder)) {
        count += entry.is_regular_file() ? 1 : 0;
    }
    return count;
}

class TwoDTest : public ::testing::Test {
protected:
    TwoDTest() { h.view.options[platform::Option::Overwrite] = true; }

    std::string onlyLine() const {
        const auto lines = h.addedLines();
        return lines.size() == 1 ? lines[0] : "(" + std::to_string(lines.size()) + " lines)";
    }

    testing::ScanHarness h;
};

TEST_F(TwoDTest, programIsSavedByteForByteAndQueuedWithoutAcknowledgement) {
    h.twoD.Process2DBarcode("PART7^UN1^X600^Y400^Z18^A5!" + fortyLines());
    EXPECT_EQ(h.read("PROG/PART7"), fortyLines() + "\r\n");
    EXPECT_EQ(onlyLine(), "#161=PART7;#162=;#164=1;#165=1;#281=;#171=7;#284=0;#285=;#280=;#168=600;#169=400;#170=18;"
                          "#282= ;#283=;#223= ;#277=;#278=;#279=;");
    EXPECT_EQ(h.port.written, "") << "a 2D scan gets no ACK";
    EXPECT_EQ(h.state.Variables[LabelState::A], " ") << "reset after the hand-over";
    EXPECT_EQ(h.state.LastProgramName, "PART7");
    const auto& history = h.view.statusHistory;
    EXPECT_EQ(std::vector<std::string>(history.begin(), history.begin() + 2),
              (std::vector<std::string>{"Wait saving g-code.", "Adding to Barcode data to List."}));
    EXPECT_EQ(h.view.status(), "Ready.");
}

TEST_F(TwoDTest, headerItemsFillTheLine) {
    std::string beyond = "P";
    for (int field = 2; field <= 14; ++field) {
        beyond += "^X5";
    }
    std::string many = "P^UN";
    for (int field = 0; field < 200; ++field) {
        many += "^Q" + std::to_string(field);
    }
    const struct {
        std::string header;
        std::string lineHas;
    } cases[] = {
        {"P^UM^UN1/^X7^X8", "#171=2;#284=1;#285=;#280=;#168=8;"}, // U fills only a blank field; others: the last wins
        {beyond + "^X9^UM", "#171=9;"},                           // fields beyond 14 are ignored (S1 chosen)
        {many, "#171=1;"},
        {"P", "#162=PART SEVEN;#164=1;#165=1;#281=;#171=9;#284=0;#285=;#280=;#168=600;#169=400;#170=18;"},
        {"P^^X^Y7^Z 3 ^ Z9", "#168=600;#169=7;#170=3;"}, // empty items store nothing, values are trimmed
        {"P^X1^Y2^Z3", "#162=;"},                        // no file read: no comment, not the one before
        {"MY PART^X1^Y2^Z3", "#161=MY PART;"},
        {"\xD1"
         "1234567P^UR",
         "#161=P;#162=PART SEVEN;#164=1;#165=1;#281=;#171=6;#284=1;"},
    };
    for (const auto& c : cases) {
        testing::ScanHarness fresh;
        fresh.view.options[platform::Option::Overwrite] = true;
        fresh.state.ProgramComment = "COMMENT OF THE PROGRAM BEFORE";
        fresh.twoD.Process2DBarcode(c.header + "!" + kProgram);
        const auto lines = fresh.addedLines();
        ASSERT_EQ(lines.size(), 1U) << c.header << " " << fresh.view.status();
        EXPECT_NE(lines[0].find(c.lineHas), std::string::npos) << c.header << ": " << lines[0];
    }
}

TEST_F(TwoDTest, sameScanGivesTheSameLineWhateverCameBefore) {
    const std::string scan = "P^X1^Y2^Z3!" + kProgram;
    h.twoD.Process2DBarcode(scan);
    h.twoD.Process2DBarcode(scan);
    const auto lines = h.addedLines();
    ASSERT_EQ(lines.size(), 2U);
    EXPECT_EQ(lines[0].substr(0, 40), lines[1].substr(0, 40));
    EXPECT_NE(lines[1].find("#171=9;"), std::string::npos) << lines[1];
}

// With all three dimensions in the header the program file is not read: the line carries no
// comment, and the mirror trigger does not look at the comment of the program before.
TEST_F(TwoDTest, commentOfTheProgramBeforeIsNeitherListedNorLookedAt) {
    h.selector.source = fieldsel::MirrorSource::Comment;
    h.twoD.Process2DBarcode("P^X1^Y2!" + kProgram);
    h.twoD.Process2DBarcode("Q^X1^Y2^Z3!" + kProgram);
    const auto lines = h.addedLines();
    ASSERT_EQ(lines.size(), 2U);
    EXPECT_THAT(lines[0], ::testing::StartsWith("#161=P;#162=PART SEVEN;"));
    EXPECT_THAT(lines[1], ::testing::StartsWith("#161=Q;#162=;"));
    EXPECT_EQ(h.selector.triggerComments, (std::vector<std::string>{"PART SEVEN", ""}));
    EXPECT_EQ(h.state.LastProgramComment, "");
}

TEST_F(TwoDTest, fieldFixedByAFieldCodeLabelWinsOverTheHeader) {
    h.processor.ProcessLabel("%N%");
    h.twoD.Process2DBarcode("P^UM^X1^Y2^Z3!" + kProgram);
    EXPECT_NE(onlyLine().find("#171=1;"), std::string::npos) << onlyLine();
}

TEST_F(TwoDTest, programIsSavedOnlyWhenLongerThanTenCharactersAndOverwriteDecides) {
    const struct {
        std::string existing; // "-": no file
        bool overwrite;
        std::string text;
        std::string fileAfter;
    } cases[] = {
        {"OLD PROGRAM\r\n", true, "0123456789", "OLD PROGRAM\r\n"},
        {"OLD PROGRAM\r\n", true, "01234567890", "01234567890\r\n"},
        {"OLD PROGRAM\r\n", false, "01234567890", "OLD PROGRAM\r\n"},
        {"", false, "01234567890", "01234567890\r\n"},
        {"-", false, "01234567890", "01234567890\r\n"},
    };
    for (const auto& c : cases) {
        testing::ScanHarness fresh;
        fresh.view.options[platform::Option::Overwrite] = c.overwrite;
        if (c.existing != "-") {
            fresh.write("PROG/P", c.existing);
        }
        fresh.twoD.Process2DBarcode("P^X1^Y2^Z3! " + c.text + " ");
        EXPECT_EQ(fresh.read("PROG/P"), c.fileAfter) << c.text;
        EXPECT_EQ(fresh.addedLines().size(), 1U) << c.text;
    }
}

TEST_F(TwoDTest, scansThatCannotBeUsedAreRefusedBeforeAnythingIsTouched) {
    const std::string kOutside = "Program name not accepted (it leads out of the program folder): ";
    const struct {
        std::string scan;
        std::string status;
    } cases[] = {
        {"..\\x^X1!" + kProgram, kOutside + "..\\x"},
        {"/tmp/x^X1!" + kProgram, kOutside + "/tmp/x"},
        {"SUB/../../x!" + kProgram, kOutside + "SUB/../../x"},
        {"C:x^X1!" + kProgram, "Program name not accepted (it names a drive): C:x"},
        {"^X1!" + kProgram, "Program name not accepted (it names no file): "},
        {"P\x1B^X1!" + kProgram, "Program name not accepted (it holds the control character \\x1B): P\x1B"},
        {"P^X1;#171=9!" + kProgram,
         "2D barcode not accepted (it holds \";\", which separates the items of a work-list line): P^X1;#171=9"},
        {"P^UN\r\n!" + kProgram, "2D barcode not accepted (it holds the control character \\r): P^UN\r\n"},
        {"P^X1^Y2", "2D barcode not used: no \"!\" separates its header from a program: P^X1^Y2"},
        {"P^X1!0123456789",
         "2D barcode not used: its program text is too short to be saved, and there is no program C:\\PROG\\P"},
        {"*%00JOB\x07^x", "List name not accepted (it holds the control character \\x07): JOB\x07"},
    };
    for (const auto& c : cases) {
        testing::ScanHarness fresh;
        fresh.view.options[platform::Option::Overwrite] = true;
        fresh.state.FirstScan = true;
        const std::size_t before = filesIn(fresh.root);
        fresh.twoD.Process2DBarcode(c.scan);
        EXPECT_EQ(fresh.view.status(), c.status);
        EXPECT_EQ(filesIn(fresh.root), before) << c.status;
        // /tmp is shared with everything else that runs: only this program in it would be ours.
        EXPECT_EQ(slurp("/tmp/x").find("(PART SEVEN)"), std::string::npos) << c.status;
        EXPECT_TRUE(fresh.journal.empty()) << c.status;
        EXPECT_TRUE(fresh.state.FirstScan) << c.status;
    }
}

// Only the field code and the dimensions reach the line; what goes nowhere is no reason to refuse.
TEST_F(TwoDTest, onlyValuesThatReachTheLineAreRefusedForWhatTheLineMayNotCarry) {
    const std::string kSemicolon = "(it holds \";\", which separates the items of a work-list line): ";
    const struct {
        std::string before; // a label scanned first
        std::string header;
        std::string refusal; // empty: queued
    } cases[] = {
        {"", "Q3^V;x^X1^Y2^Z3", ""},
        {"", "P^A1;2^B\x01^E;^I\t9^X1^Y2^Z3", ""},
        {"", "P^Q;x^K\r\n^X1^Y2^Z3", ""},
        {"%N%", "P^U;x^X1^Y2^Z3", ""}, // the field fixed before wins: this U goes nowhere
        {"", "P^X1;2^X600^Y2^Z3", ""}, // the last X wins
        {"", "P^U;x^X1^Y2^Z3", "2D barcode not accepted " + kSemicolon + "P^U;x^X1^Y2^Z3"},
        {"", "P^X600^X6;0", "2D barcode not accepted " + kSemicolon + "P^X600^X6;0"},
        {"", "P^Y4\x1B", "2D barcode not accepted (it holds the control character \\x1B): P^Y4\x1B"},
        {"", "P;1^X1", "Program name not accepted " + kSemicolon + "P;1"},
    };
    for (const auto& c : cases) {
        testing::ScanHarness fresh;
        fresh.view.options[platform::Option::Overwrite] = true;
        if (!c.before.empty()) {
            fresh.processor.ProcessLabel(c.before);
        }
        fresh.twoD.Process2DBarcode(c.header + "!" + kProgram);
        const auto lines = fresh.addedLines();
        EXPECT_EQ(lines.size(), c.refusal.empty() ? 1U : 0U) << c.header;
        if (c.refusal.empty()) {
            EXPECT_EQ(fresh.view.status(), "Ready.") << c.header;
            EXPECT_EQ(fresh.read("PROG/" + headerField(c.header, 1)), kProgram + "\r\n") << c.header;
        } else {
            EXPECT_EQ(fresh.view.status(), c.refusal) << c.header;
        }
    }
}

TEST_F(TwoDTest, programThatCannotBeSavedIsReportedAndNotQueued) {
    h.settings.GCodePath = "C:\\NOWHERE\\";
    h.twoD.Process2DBarcode("P^UN^X1^Y2^Z3!" + kProgram);
    const std::string text = "Program C:\\NOWHERE\\P not saved, so it was not queued: the program cannot be written in "
                             "its folder: No such file or directory";
    EXPECT_EQ(h.view.status(), text);
    ASSERT_EQ(h.view.messages.size(), 1U);
    EXPECT_EQ(h.view.messages[0].text, text);
    EXPECT_TRUE(h.addedLines().empty());
    EXPECT_EQ(h.state.ProgramName + h.state.FieldCode + h.state.DimX, "   ");
    EXPECT_FALSE(h.view.anyPartIndicator());
}

TEST_F(TwoDTest, listFormClearsAndLoadsTheList) {
    h.link.setListPath("D:\\L\\");
    h.state.FirstScan = true;
    for (const std::string scan : {"*%00JOB1^x", "*%00JOB1^x\r\n"}) {
        h.journal.clear();
        h.twoD.Process2DBarcode(scan);
        std::vector<std::string> calls;
        for (const auto& entry : h.journal) {
            calls.push_back(entry.line);
        }
        EXPECT_EQ(calls.back(), "OpenList D:\\\\L\\\\JOB1.LST -> error 53") << scan;
        EXPECT_EQ(calls.at(calls.size() - 2), "Clear") << scan;
    }
    EXPECT_EQ(h.journal.front().line, "Clear");
    EXPECT_EQ(h.view.messages.at(0).text, "List File D:\\L\\JOB1.LST Not Found");
}

TEST_F(TwoDTest, firstScanWithoutATakenWorkListCreatesOneAndIsQueued) {
    h.link.workList().reset();
    h.link.setCommandLineUpper("NOAPP");
    h.state.FirstScan = true;
    h.twoD.Process2DBarcode("P^X1^Y2^Z3!" + kProgram);
    std::vector<std::string> calls;
    for (const auto& entry : h.journal) {
        calls.push_back(entry.line.substr(0, entry.line.find(' ') == std::string::npos ? entry.line.size() : 12));
    }
    EXPECT_EQ(calls, (std::vector<std::string>{"CreateObject", "Visible True", "Clear", "AddLine #161"}));
    EXPECT_FALSE(h.state.FirstScan);
}

TEST(TwoDPayload, builtScansReadBackAndUnreadableValuesAreRefused) {
    const std::string scan = buildTwoDScan("PART7", {{'U', "N1"}, {'X', "600"}, {'A', "5"}}, kProgram, true);
    EXPECT_EQ(scan, "\xD1"
                    "0000000PART7^UN1^X600^A5!" +
                        kProgram);
    const std::string header = withoutTwoDPrefix(scan).substr(0, withoutTwoDPrefix(scan).find('!'));
    EXPECT_EQ(headerField(header, 1) + "|" + headerField(header, 3) + "|" + headerField(header, 5), "PART7|X600|");
    EXPECT_EQ(listFormName(buildListScan("JOB1")), "JOB1");
    const struct {
        std::string name;
        std::vector<HeaderItem> items;
        std::string text;
    } refused[] = {
        {"..\\P", {}, kProgram},
        {"P^Q", {}, kProgram},
        {"P", {{'X', "1;2"}}, kProgram},
        {"P", {{'X', " 1"}}, kProgram},
        {"P", {{'X', "1!"}}, kProgram},
        {"P", {{'Q', "1"}}, kProgram},
        {"P", {}, "0123456789"},
        {"P", {}, " " + kProgram},
        {"P", std::vector<HeaderItem>(14, {'X', "1"}), kProgram},
        // First characters the scan loop routes elsewhere before it looks for "^".
        {"\xF1P", {}, kProgram},
        {"\xD1PART7", {}, kProgram},
        {"'P", {}, kProgram + " $1"},
    };
    for (const auto& c : refused) {
        EXPECT_THROW(buildTwoDScan(c.name, c.items, c.text, false), std::invalid_argument) << c.name;
    }
    EXPECT_THROW(buildListScan("JOB!1"), std::invalid_argument);
    EXPECT_NO_THROW(buildTwoDScan("\xD1PART7", {}, kProgram, true));
    EXPECT_NO_THROW(buildTwoDScan("'P", {}, kProgram, false));
}

TEST(TwoDPayload, aHeaderWithoutItemsStillRoutesTheScanToTwoDProcessing) {
    EXPECT_EQ(buildTwoDScan("PART7", {}, kProgram, false), "PART7^!" + kProgram);
}

TEST(TwoDPayload, oneLineEndAtAFilesEndIsLeftToTheStationsSave) {
    const struct {
        std::string file, text;
    } cases[] = {
        {kProgram + "\r\n", kProgram},
        {kProgram + "\n", kProgram},
        {kProgram + "\r\n\r\n", kProgram + "\r\n"},
        {kProgram, kProgram},
        {"\r\n", ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(programTextOfFile(c.file), c.text) << c.file;
    }
}

} // namespace
} // namespace quorlan::scan
