#include "platform/error.h"
#include "scan/label_processor.h"
#include "scan_harness.h"

#include <gmock/gmock.h>

namespace quorlan::scan {
namespace {

using fieldsel::MirrorSource;

constexpr MirrorSource kName = MirrorSource::ProgramName;
constexpr MirrorSource kBarcode = MirrorSource::Barcode;
const std::string kFormatError = "Barcode Formating Error.  ";
const std::string kWaiting = " Waiting for next barcode...";
const std::string kOutOfFolder = "Program name not accepted (it leads out of the program folder): ";

std::string indicators(const testing::FakeView& view) {
    std::string lit;
    for (bool on : view.partIndicators) {
        lit += on ? '1' : '0';
    }
    return lit;
}

TEST(ProcessLabel, labelSequences) {
    const struct {
        std::vector<std::string> labels;
        MirrorSource source;
        bool result; // of the last label
        std::string status;
        std::string lineHas; // empty: nothing reaches the list
        std::string lit = "00000";
        std::string defaultField = "";
    } cases[] = {
        {{"%13BASE M1 %", "%23600 400 18 %"}, kBarcode, false, kWaiting, "", "01100"},
        {{"%13BASE M1 %", "%23600 400 18 %", "%331 2 3 4%"},
         kBarcode,
         true,
         "Ready.",
         "#161=BASE.CNC;#162=;#164=1;#165=1;#281=;#171=8;#284=1;#285=;#280=;#168=600;#169=400;#170=18;#282= ;#283=;"
         "#223= ;#277=;#278=;#279=;"},
        {{"%13BASE M1 %", "%CLEAR%"}, kBarcode, true, "Ready.", ""},
        {{"%N%", "%11PART7 M %"}, kBarcode, true, "Ready.", "#161=PART7.CNC;#162=;#164=1;#165=1;#281=;#171=1;"},
        {{"%12PART7 N %", "%12PART7 N %"}, kBarcode, false, kFormatError + "%12PART7 N %", "", "01000"},
        {{"%12PART7 N %", "%12PART7 N %", "%22600 400 18 %"}, kBarcode, true, "Ready.", "#168=600;#169=400;#170=18;"},
        {{"%12PART7 N %", "%19PART7 N %"}, kBarcode, false, kFormatError + "%19PART7 N %", "", "01000"},
        {{"%12PART7 N %", "$11X"}, kBarcode, false, kFormatError + "$11X", "", "01000"},
        {{"PART7"}, kName, true, "Ready.", "#161=PART7.CNC;"},
        {{"PART7.cnc"}, kName, true, "Ready.", "#161=PART7.cnc;"},
        {{"PART7"}, kBarcode, false, "Run Field Not Selected", ""},
        {{"PART7"}, kBarcode, true, "Ready.", "#161=PART7.CNC;#162= ;#164=1;#165=1;#281=;#171=7;", "00000", "n1"},
        {{"%11PART7%"}, kBarcode, true, "Ready.", "#161=PART7%;"},
        {{"%19PART7 N %"}, kBarcode, true, "Ready.", "#161=PART7.CNC;#162=;#164=999;"},
        // A plain program drops the partial set with what it stored, but not a field-code label's field.
        {{"%13BASE M1 V7", "%23600 400 18 %", "FLANGE"},
         kName,
         true,
         "Ready.",
         "#161=FLANGE.CNC;#162= ;#164=1;#165=1;#281=;#171=9;#284=0;#285=;#280=;#168=;#169=;#170=;#282= ;"},
        {{"%R%", "%23600 400 18 %", "FLANGE"},
         kBarcode,
         true,
         "Ready.",
         "#171=6;#284=1;#285=;#280=;#168=;#169=;#170=;"},
        {{"%52X%"}, kBarcode, false, kWaiting, ""},
        {{"%93X%"}, kBarcode, false, kWaiting, ""},
        {{"%"}, kBarcode, false, kFormatError + "%", ""},
        {{"%1"}, kBarcode, false, kFormatError + "%1", ""},
        {{"..\\SECRET"}, kName, false, kOutOfFolder + "..\\SECRET.CNC", ""},
        {{"SUB/X"}, kName, false, kOutOfFolder + "SUB/X.CNC", ""},
        {{"%23600 400 18 %", "%13..\\SECRET N %"}, kBarcode, false, kOutOfFolder + "..\\SECRET.CNC", "", "00100"},
        {{"%11C:SECRET%"}, kBarcode, false, "Program name not accepted (it names a drive): C:SECRET%", ""},
        {{"%12"}, kBarcode, false, "Program name not accepted (it names no file): ", ""},
    };
    for (const auto& c : cases) {
        testing::ScanHarness h;
        h.write("SECRET.CSV", "secret");
        h.selector.source = c.source;
        h.selector.defaultFieldCode = c.defaultField;
        bool result = false;
        for (const auto& label : c.labels) {
            result = h.processor.ProcessLabel(label);
        }
        const std::string context = c.labels.back() + " after " + std::to_string(c.labels.size() - 1);
        EXPECT_EQ(result, c.result) << context;
        EXPECT_EQ(h.view.status(), c.status) << context;
        EXPECT_EQ(indicators(h.view), c.lit) << context;
        const auto added = h.addedLines();
        EXPECT_EQ(h.journal.size(), added.size()) << context; // nothing but the line reached the control
        ASSERT_EQ(added.size(), c.lineHas.empty() ? 0u : 1u) << context;
        if (!c.lineHas.empty()) {
            EXPECT_NE(added[0].find(c.lineHas), std::string::npos) << context << ": " << added[0];
            EXPECT_EQ(h.port.written, "ACK\r");
        }
        EXPECT_TRUE(h.exists("SECRET.CSV"));
    }
}

// A set that names no field gets the automatic one, whether it is the first scan after start-up
// (an empty field code) or follows a hand-over (which leaves a blank one).
TEST(ProcessLabel, setThatNamesNoFieldGetsTheSameLineWhateverCameBefore) {
    const std::vector<std::string> sets[] = {{"%12PART7", "%22600 400 18"}, {"%22600 400 18", "%12PART7"}};
    const std::string before[] = {"(start-up)", "FLANGE", "%N%", "Q^X1^Y2^Z3!G71 X1 Y2 Z3\r\nM30"};
    for (const auto& set : sets) {
        for (const auto& earlier : before) {
            testing::ScanHarness h;
            h.selector.source = kName;
            if (earlier == "(start-up)") {
                h.state = LabelState{};
            } else if (earlier.find('^') != std::string::npos) {
                h.twoD.Process2DBarcode(earlier);
            } else {
                h.processor.ProcessLabel(earlier);
                h.processor.ProcessLabel("FLANGE"); // hands over what "%N%" fixed
            }
            for (const auto& label : set) {
                h.processor.ProcessLabel(label);
            }
            const auto added = h.addedLines();
            ASSERT_FALSE(added.empty()) << set.front() << " after " << earlier;
            // Blank or empty list values for what the set leaves unfilled are the reset's, not the field's.
            EXPECT_THAT(added.back(), ::testing::StartsWith("#161=PART7;#162="));
            EXPECT_THAT(added.back(), ::testing::HasSubstr(";#171=9;#284=0;#285=;#280=;#168=600;#169=400;#170=18;"))
                << set.front() << " after " << earlier;
        }
    }
}

TEST(ProcessLabel, controlLabelsAfterTheFirstScanClear) {
    testing::ScanHarness h;
    h.state.FirstScan = true;
    for (const std::string label : {"%START%", "%STOP%", "%END%", "%CLEAR%", "%SETPOINT%", "%SETP%"}) {
        h.view.setStatus("Reading Barcode-Label.");
        EXPECT_TRUE(h.processor.ProcessLabel(label));
        EXPECT_EQ(h.view.status(), "Ready.");
    }
    std::vector<std::string> operations;
    for (const auto& entry : h.journal) {
        operations.push_back(entry.line);
    }
    EXPECT_EQ(operations,
              (std::vector<std::string>{"Clear", "StartList", "HoldList", "EndList", "Clear", "Setpoint", "Setpoint"}));
}

TEST(ProcessLabel, listLoadIgnoresAFailingClearAndDropsThePartialSet) {
    testing::ScanHarness h;
    h.link.setListPath("D:\\L\\");
    h.processor.ProcessLabel("%23600 400 18 %");
    h.simulator.failNext("Clear", platform::errc::kAutomation);
    EXPECT_FALSE(h.processor.ProcessLabel("%START% "));
    EXPECT_EQ(h.journal.back().line, "OpenList D:\\\\L\\\\ART% .LST -> error 53");
    EXPECT_EQ(h.view.messages.at(0).text, "List File D:\\L\\ART% .LST Not Found");
    EXPECT_EQ(h.state.CollectedParts + h.state.DimX, " ");
}

TEST(ProcessLabel, programPartWithBlankCopiesCsvAndReadsComment) {
    testing::ScanHarness h;
    h.write("CSV/PART7.CSV", "1;2");
    h.write("PROG/PART7.CNC", "G71 X600 Y400 Z18\n(SIDE PANEL)\n");
    h.processor.ProcessLabel("%12PART7 N V9");
    EXPECT_EQ(h.read("OUT/ALL.CSV"), "1;2\r\n");
    EXPECT_EQ(h.state.ListComment + "|" + h.state.FieldCode + "|" + h.state.ValueV, "SIDE PANEL|N|V9");
}

TEST(ProcessLabel, programLabelWhoseCsvCannotBeCopiedIsNotCountedAndCanBeScannedAgain) {
    testing::ScanHarness h;
    h.write("CSV/PART7.CSV", "1;2");
    h.settings.CSVOutPath = "C:\\MISSING\\ALL.CSV";
    EXPECT_THROW(h.processor.ProcessLabel("%12PART7 N %"), platform::StationError);
    EXPECT_EQ(h.state.CollectedParts, "");
    EXPECT_EQ(indicators(h.view), "00000");
    h.settings.CSVOutPath = "C:\\OUT\\ALL.CSV";
    h.processor.ProcessLabel("%12PART7 N %");
    EXPECT_EQ(h.view.status(), kWaiting);
    EXPECT_EQ(h.read("OUT/ALL.CSV"), "1;2\r\n");
}

TEST(ProcessLabel, programLabelWithoutItsFileKeepsNoEarlierComment) {
    testing::ScanHarness h;
    h.write("PROG/BASE.CNC", "G71 X600 Y400 Z18\n(BASE PLATE)\n");
    h.selector.source = kName;
    h.processor.ProcessLabel("BASE");
    EXPECT_EQ(h.state.LastProgramComment, "BASE PLATE");
    h.processor.ProcessLabel("%12PART7%");
    h.processor.ProcessLabel("%22600 400 18 %");
    EXPECT_EQ(h.state.LastProgramComment, "");
}

TEST(ProcessLabel, oddBytesAndHugeLabelsDoNotHurt) {
    testing::ScanHarness h;
    h.selector.source = kName;
    const std::string labels[] = {std::string("\x01\x7f\x80\xff", 4), std::string("%2\xff\x01 \x02", 7),
                                  "%23" + std::string(16000, '7') + " " + std::string(15999, '8'),
                                  std::string(32000, 'A'), "%1" + std::string(32000, '3')};
    for (const auto& label : labels) {
        EXPECT_NO_THROW(h.processor.ProcessLabel(label));
        h.processor.ProcessLabel("%CLEAR%");
    }
    EXPECT_TRUE(h.addedLines().empty());
}

// A label is text the control parses at each ";" and a journal or terminal shows line by line:
// nothing of a hostile label may reach the list, the scanner or a file.
TEST(ProcessLabel, labelsThatCouldBreakALineAreRefusedBeforeAnythingIsDone) {
    const std::string kSemicolon =
        "Label not accepted (it holds \";\", which separates the items of a work-list line): ";
    const std::string kControl = "Label not accepted (it holds the control character ";
    const std::string kTooLong = "Program name not accepted (it is longer than 255 bytes): ";
    const struct {
        std::string label;
        std::string status;
    } cases[] = {
        {"X;#171=9;#168=1", kSemicolon + "X;#171=9;#168=1"},
        {"%13BASE M1;X %", kSemicolon + "%13BASE M1;X %"},
        {"X\r\nAddLine #161=EVIL.CNC", kControl + "\\r): X\r\nAddLine #161=EVIL.CNC"},
        {"\x1B[2JFLANGE", kControl + "\\x1B): \x1B[2JFLANGE"},
        {"%23600 400 1\t8 %", kControl + "\\t): %23600 400 1\t8 %"},
        {std::string("A\0B", 3), kControl + "\\x00): " + std::string("A\0B", 3)},
        {"FLANGE\x7F", kControl + "\\x7F): FLANGE\x7F"},
        {std::string(252, 'A'), kTooLong + std::string(252, 'A') + ".CNC"},
        {"%13" + std::string(300, 'B') + " N %", kTooLong + std::string(300, 'B') + ".CNC"},
    };
    for (const auto& c : cases) {
        testing::ScanHarness h;
        h.selector.source = kName;
        h.write("CSV/" + std::string(252, 'A') + ".CSV", "1;2");
        EXPECT_FALSE(h.processor.ProcessLabel(c.label)) << c.status;
        EXPECT_EQ(h.view.status(), c.status);
        EXPECT_TRUE(h.journal.empty()) << c.status;
        EXPECT_EQ(h.port.written, "") << c.status;
        EXPECT_EQ(h.state.CollectedParts, "") << c.status;
        EXPECT_FALSE(h.exists("OUT/ALL.CSV")) << c.status;
    }
}

TEST(ProcessLabel, programNameOfTheLongestFileNameIsAccepted) {
    testing::ScanHarness h;
    h.selector.source = kName;
    EXPECT_TRUE(h.processor.ProcessLabel(std::string(251, 'A')));
    ASSERT_EQ(h.addedLines().size(), 1U);
    EXPECT_EQ(h.addedLines()[0].find("#161=" + std::string(251, 'A') + ".CNC;"), 0U);
}

} // namespace
} // namespace quorlan::scan
