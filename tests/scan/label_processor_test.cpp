#include "platform/error.h"
#include "scan/label_processor.h"
#include "scan_harness.h"

#include <gtest/gtest.h>

namespace quorlan::scan {
namespace {

using fieldsel::MirrorSource;
namespace mode = fieldsel::mode;

constexpr const char* kWaiting = " Waiting for next barcode...";

class ProcessLabel : public ::testing::Test {
protected:
    bool process(const std::string& text) { return h.processor.ProcessLabel(text); }

    std::string onlyAddedLine() const {
        const auto lines = h.addedLines();
        return lines.size() == 1 ? lines.front() : "(" + std::to_string(lines.size()) + " lines)";
    }

    testing::ScanHarness h;
};

bool has(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

TEST_F(ProcessLabel, controlLabelsDriveTheControlAndShowReady) {
    const struct {
        std::string label;
        std::string operation;
    } cases[] = {
        {"%START%", "StartList"}, {"%STOP%", "HoldList"},     {"%END%", "EndList"},
        {"%CLEAR%", "Clear"},     {"%SETPOINT%", "Setpoint"}, {"%SETP%", "Setpoint"},
    };
    for (const auto& c : cases) {
        h.journal.clear();
        h.view.setStatus("Reading Barcode-Label.");
        EXPECT_TRUE(process(c.label));
        EXPECT_EQ(h.journalLines(), (std::vector<std::string>{c.operation})) << c.label;
        EXPECT_EQ(h.view.status(), "Ready.") << c.label;
    }
}

TEST_F(ProcessLabel, firstScanClearsTheListOnce) {
    h.state.FirstScan = true;
    process("%STOP%");
    process("%STOP%");
    EXPECT_EQ(h.journalLines(), (std::vector<std::string>{"Clear", "HoldList", "HoldList"}));
    EXPECT_FALSE(h.state.FirstScan);
}

TEST_F(ProcessLabel, clearAbandonsAPartialSetInsteadOfClearingTheList) {
    process("%13BASE M1 %");
    process("%23600 400 18 %");
    EXPECT_TRUE(process("%CLEAR%"));
    EXPECT_TRUE(h.journalLines().empty());
    EXPECT_EQ(h.state.CollectedParts, "");
    EXPECT_EQ(h.state.DimX, " ");
    EXPECT_EQ(h.state.ProgramName, " ");
    EXPECT_FALSE(h.view.anyPartIndicator());
}

TEST_F(ProcessLabel, fieldCodeLabelsFixTheFieldForTheNextProgram) {
    const struct {
        std::string label;
        std::string fieldCode; // empty: not a field-code label
    } cases[] = {
        {"%N%", "N"}, {"%M1%", "M1"}, {"%N1/%", "N1/"}, {"%R/0%", "R/0"}, {" %N%", ""}, {"%n%", ""}, {"%N1/0%", ""},
    };
    for (const auto& c : cases) {
        h.state.FieldPreset = false;
        h.state.FieldCode = " ";
        h.selector.calls.clear();
        process(c.label);
        if (c.fieldCode.empty()) {
            EXPECT_FALSE(h.state.FieldPreset) << c.label;
            continue;
        }
        EXPECT_EQ(h.state.FieldCode, c.fieldCode) << c.label;
        EXPECT_TRUE(h.state.FieldPreset) << c.label;
        ASSERT_EQ(h.selector.calls.size(), 1u) << c.label;
        EXPECT_EQ(h.selector.calls[0].mode, mode::kFieldCodeLabel);
        EXPECT_EQ(h.selector.calls[0].fieldCode, c.fieldCode);
    }
}

TEST_F(ProcessLabel, threeLabelSetGivesOneLine) {
    EXPECT_FALSE(process("%13BASE M1 %"));
    EXPECT_EQ(h.view.status(), kWaiting);
    EXPECT_EQ(h.state.ValueV, "%");
    EXPECT_FALSE(process("%23600 400 18 %"));
    EXPECT_EQ(h.view.partIndicators, (std::array<bool, 5>{false, true, true, false, false}));
    EXPECT_TRUE(process("%331 2 3 4%"));
    EXPECT_EQ(onlyAddedLine(), "#161=BASE.CNC;#162=;#164=1;#165=1;#281=;#171=8;#284=1;#285=;#280=;#168=600;#169=400;"
                               "#170=18;#282= ;#283=;#223= ;#277=;#278=;#279=;");
    EXPECT_EQ(h.port.written, "ACK\r");
    EXPECT_EQ(h.view.status(), "Ready.");
    EXPECT_FALSE(h.view.anyPartIndicator());
    EXPECT_EQ(h.state.CollectedParts, "");
    EXPECT_EQ(h.state.LastProgramName, "BASE.CNC");
}

TEST_F(ProcessLabel, variablesAreStoredAsTheirWords) {
    process("%13BASE M1 V7");
    process("%331 2  4%");
    const auto& v = h.state.Variables;
    EXPECT_EQ(h.state.ValueV, "V7");
    EXPECT_EQ(v[LabelState::A], "1");
    EXPECT_EQ(v[LabelState::B], "2");
    EXPECT_EQ(v[LabelState::C], "");
    EXPECT_EQ(v[LabelState::D], "4%");
    EXPECT_TRUE(process("%43E F G I"));
    EXPECT_EQ(h.addedLines().size(), 1u);
}

TEST_F(ProcessLabel, startWithATrailingBlankIsAListLoad) {
    h.link.setListPath("D:\\L\\");
    EXPECT_FALSE(process("%START% "));
    EXPECT_EQ(h.journalLines(), (std::vector<std::string>{"Clear", "OpenList D:\\L\\ART% .LST -> error 53"}));
    ASSERT_EQ(h.view.messages.size(), 1u);
    EXPECT_EQ(h.view.messages[0].text, "List File D:\\L\\ART% .LST Not Found");
    EXPECT_EQ(h.state.CollectedParts, "");
}

TEST_F(ProcessLabel, listLoadIgnoresAFailingClearAndDropsThePartialSet) {
    h.link.setListPath("D:\\L\\");
    process("%13BASE M1 %");
    process("%23600 400 18 %");
    h.journal.clear();
    h.simulator.failNext("Clear", platform::errc::kAutomation);
    EXPECT_FALSE(process("%01JOB1"));
    EXPECT_EQ(h.journalLines().at(1), "OpenList D:\\L\\JOB1.LST -> error 53");
    EXPECT_EQ(h.state.CollectedParts, "");
    EXPECT_EQ(h.state.ProgramName, " ");
    EXPECT_EQ(h.state.DimX, " ");
}

TEST_F(ProcessLabel, fieldCodeLabelBeforeAProgramWins) {
    process("%N%");
    EXPECT_TRUE(process("%11PART7 M %"));
    EXPECT_TRUE(has(onlyAddedLine(), "#161=PART7.CNC;"));
    EXPECT_TRUE(has(onlyAddedLine(), "#171=1;#284=0;"));
    ASSERT_EQ(h.selector.calls.size(), 2u);
    EXPECT_EQ(h.selector.calls[1].mode, mode::kExplicitField);
    EXPECT_EQ(h.selector.calls[1].fieldCode, "N");
    EXPECT_FALSE(h.state.FieldPreset);
}

TEST_F(ProcessLabel, repeatedPartIsAFormattingErrorAndTheSetStillWaits) {
    process("%12PART7 N %");
    EXPECT_FALSE(process("%12PART7 N %"));
    EXPECT_EQ(h.view.status(), "Barcode Formating Error.  %12PART7 N %");
    EXPECT_EQ(h.state.CollectedParts, "1");
    EXPECT_TRUE(process("%22600 400 18 %"));
    EXPECT_TRUE(has(onlyAddedLine(), "#168=600;#169=400;#170=18;"));
}

TEST_F(ProcessLabel, rejectedLabelNeverCompletesASet) {
    process("%12PART7 N %");
    for (const std::string label : {"%19PART7 N %", "$11X", "A%1"}) {
        EXPECT_FALSE(process(label));
        EXPECT_EQ(h.view.status(), "Barcode Formating Error.  " + label);
        EXPECT_EQ(h.state.CollectedParts, "1");
    }
    EXPECT_TRUE(h.addedLines().empty());
}

TEST_F(ProcessLabel, plainProgramNames) {
    h.selector.source = MirrorSource::ProgramName;
    h.selector.triggerSetsField = "P";
    const struct {
        std::string label;
        std::string programName;
    } cases[] = {{"PART7", "PART7.CNC"}, {"PART7.cnc", "PART7.cnc"}, {"  FLANGE ", "FLANGE.CNC"}};
    for (const auto& c : cases) {
        h.journal.clear();
        EXPECT_TRUE(process(c.label)) << c.label;
        EXPECT_TRUE(has(onlyAddedLine(), "#161=" + c.programName + ";")) << c.label;
        EXPECT_TRUE(has(onlyAddedLine(), "#171=9;")) << c.label; // the automatic choice
    }
}

TEST_F(ProcessLabel, plainLabelNeedsAField) {
    EXPECT_FALSE(process("PART7"));
    EXPECT_EQ(h.view.status(), "Run Field Not Selected");
    EXPECT_TRUE(h.journal.empty());

    h.selector.defaultFieldCode = "n1";
    EXPECT_TRUE(process("PART7"));
    EXPECT_TRUE(has(onlyAddedLine(), "#171=7;"));
    EXPECT_EQ(h.selector.calls.front().mode, mode::kExplicitField);
    EXPECT_EQ(h.selector.calls.front().fieldCode, "N1");
}

TEST_F(ProcessLabel, programPartWithoutBlankKeepsItsTextAndWritesNoCsvRecord) {
    h.drive.write("CSV/PART7%.CSV", "a");
    h.drive.write("CSV/PART7.CSV", "b");
    EXPECT_TRUE(process("%11PART7%"));
    EXPECT_TRUE(has(onlyAddedLine(), "#161=PART7%;"));
    EXPECT_TRUE(h.drive.exists("CSV/PART7%.CSV"));
    EXPECT_TRUE(h.drive.exists("CSV/PART7.CSV"));
    EXPECT_FALSE(h.drive.exists("OUT/ALL.CSV"));
}

TEST_F(ProcessLabel, programPartWithBlankCopiesCsvAndReadsTheComment) {
    h.drive.write("CSV/PART7.CSV", "1;2");
    h.writeProgram("PART7.CNC", "G71 X600 Y400 Z18\n(SIDE PANEL)\n");
    process("%12PART7 N V9");
    EXPECT_EQ(h.drive.read("OUT/ALL.CSV"), "1;2\r\n");
    EXPECT_EQ(h.state.ListComment, "SIDE PANEL");
    EXPECT_EQ(h.state.FieldCode, "N");
    EXPECT_EQ(h.state.ValueV, "V9");
}

TEST_F(ProcessLabel, countNineRepeatsASinglePart) {
    EXPECT_TRUE(process("%19PART7 N %"));
    EXPECT_TRUE(has(onlyAddedLine(), "#161=PART7.CNC;#162=;#164=999;"));
    EXPECT_EQ(h.state.Repetitions, "1");
}

TEST_F(ProcessLabel, plainProgramDropsWhatAPartialSetStored) {
    h.selector.source = MirrorSource::ProgramName;
    h.writeProgram("FLANGE.CNC", "G71 X100 Y200 Z5\n(FLANGE)\n");
    process("%13BASE M1 V7");
    process("%23600 400 18 %");
    EXPECT_TRUE(process("FLANGE"));
    EXPECT_TRUE(has(onlyAddedLine(), "#161=FLANGE.CNC;#162= ;"));
    EXPECT_TRUE(has(onlyAddedLine(), "#168=100;#169=200;#170=5;"));
    EXPECT_TRUE(has(onlyAddedLine(), "#171=37;")); // not BASE's M1
}

TEST_F(ProcessLabel, droppingAPartialSetKeepsAFieldFromAFieldCodeLabel) {
    process("%R%");
    process("%23600 400 18 %");
    EXPECT_TRUE(process("FLANGE"));
    EXPECT_TRUE(has(onlyAddedLine(), "#171=6;"));
    EXPECT_TRUE(has(onlyAddedLine(), "#168=;#169=;#170=;"));
}

TEST_F(ProcessLabel, programNamesThatLeaveTheirFolderAreRefused) {
    h.selector.source = MirrorSource::ProgramName;
    h.drive.write("SECRET.CSV", "secret");
    h.drive.write("CSV/SUB/X.CSV", "sub");
    const struct {
        std::string label;
        std::string name;
    } cases[] = {
        {"..\\SECRET", "..\\SECRET.CNC"},
        {"SUB/X", "SUB/X.CNC"},
        {"%11..\\SECRET N %", "..\\SECRET.CNC"},
        {"%11C:SECRET%", "C:SECRET%"},
        {"%11SUB\\X.CNC N %", "SUB\\X.CNC"},
        {std::string("%11A\0B N %", 10), std::string("A\0B.CNC", 7)},
        {"%12", ""},
    };
    for (const auto& c : cases) {
        EXPECT_FALSE(process(c.label)) << c.label;
        EXPECT_EQ(h.view.status(), "Program name not accepted: " + c.name) << c.label;
        EXPECT_EQ(h.state.CollectedParts, "") << c.label;
    }
    EXPECT_TRUE(h.journal.empty());
    EXPECT_FALSE(h.view.anyPartIndicator());
    EXPECT_TRUE(h.drive.exists("SECRET.CSV"));
    EXPECT_TRUE(h.drive.exists("CSV/SUB/X.CSV"));
    EXPECT_FALSE(h.drive.exists("OUT/ALL.CSV"));
}

TEST_F(ProcessLabel, partsFiveToNineLightNothingAndWait) {
    for (const std::string label : {"%52X%", "%62Y%", "%72Z%", "%82W%"}) {
        EXPECT_FALSE(process(label));
        EXPECT_EQ(h.view.status(), kWaiting);
        EXPECT_FALSE(h.view.anyPartIndicator());
        process("%CLEAR%");
    }
}

TEST_F(ProcessLabel, tooShortPercentLabelsAreFormattingErrors) {
    for (const std::string label : {"%", "%1", "1%", "$"}) {
        EXPECT_FALSE(process(label));
        EXPECT_EQ(h.view.status(), "Barcode Formating Error.  " + label);
        EXPECT_EQ(h.state.CollectedParts, "");
        EXPECT_FALSE(h.view.anyPartIndicator());
    }
}

TEST_F(ProcessLabel, oddBytesAndHugeLabelsAreHandled) {
    h.selector.source = MirrorSource::ProgramName;
    const std::string words = std::string(16000, '7') + " " + std::string(15999, '8');
    const std::string labels[] = {
        std::string("\x01\x02\x7f\x80\xff", 5),
        std::string("%2\xff\x01 \x02 \x03", 9),
        "%23" + words,
        std::string(32000, 'A'),
        "%1" + std::string(32000, '3'),
    };
    for (const auto& label : labels) {
        EXPECT_NO_THROW(process(label));
        process("%CLEAR%");
    }
    EXPECT_EQ(h.state.CollectedParts, "");
}

} // namespace
} // namespace quorlan::scan
