#include "platform/error.h"
#include "scan/handover.h"
#include "scan_harness.h"

#include <gtest/gtest.h>

namespace quorlan::scan {
namespace {

using platform::Option;
namespace mode = fieldsel::mode;

class Handover : public ::testing::Test {
protected:
    Handover() {
        h.state.ProgramName = "FLANGE.CNC";
        h.state.ProgramComment = "  FLANGE 600  ";
        h.state.FieldCode = "N";
        h.state.FieldPreset = true;
        h.view.partIndicators = {true, true, true, false, false};
    }

    void finish(HandoverForm form = HandoverForm::Label) { handover.FinishLabel(form, {600, 400, 18}); }

    std::vector<std::string> launchedFor;
    testing::ScanHarness h;
    LabelHandover handover{h.context, h.state, h.fieldCodes,
                           [this](const std::string& programName) { launchedFor.push_back(programName); }};
};

TEST_F(Handover, labelGoesToTheListThenStartsAcknowledgesAndReturnsToReady) {
    h.view.setOption(Option::AutoStart, true);
    finish();

    ASSERT_EQ(h.journal.size(), 2u);
    EXPECT_TRUE(h.journal[0].line.starts_with("AddLine #161=FLANGE.CNC;"));
    EXPECT_EQ(h.journal[0].status, "Adding to Barcode data to List.");
    EXPECT_EQ(h.journal[1].line, "StartList");
    EXPECT_EQ(h.journal[1].written, "");
    EXPECT_EQ(h.port.written, "ACK\r");
    EXPECT_EQ(h.pauser.pauses, (std::vector<int>{600, 600}));
    EXPECT_EQ(h.view.status(), "Ready.");
    EXPECT_FALSE(h.view.anyPartIndicator());
    EXPECT_FALSE(h.view.fieldSelectionIndicator);
    EXPECT_EQ(h.state.LastProgramName, "FLANGE.CNC");
    EXPECT_EQ(h.state.LastProgramComment, "FLANGE 600");
    EXPECT_EQ(h.state.ProgramName, " ");
    EXPECT_EQ(h.state.FieldCode, " ");
    EXPECT_FALSE(h.state.FieldPreset);
    EXPECT_TRUE(launchedFor.empty());
}

TEST_F(Handover, fieldCodeChoosesTheSelectionMode) {
    const struct {
        std::string fieldCode;
        int mode; // -1: no selection
        float x;
        std::string listed;
        bool automatic;
    } cases[] = {
        {"&", mode::kAlternating, 600, "#171=11;", true},
        {"P", mode::kNormal, 600, "#171=9;", true},
        {"", mode::kNormal, 600, "#171=9;", true},
        {"W", mode::kMirrored, 600, "#171=10;", true},
        {"N1", mode::kExplicitField, 0, "#171=7;", false},
        {"R/1", mode::kExplicitField, 0, "#171=36;", false},
        {" ", -1, 0, "#171=37;", false},
        {"X", -1, 0, "#171=37;", false},
    };
    for (const auto& c : cases) {
        h.journal.clear();
        h.selector.calls.clear();
        h.state.FieldCode = c.fieldCode;
        finish();
        ASSERT_EQ(h.journal.size(), 1u) << c.fieldCode;
        EXPECT_NE(h.journal[0].line.find(c.listed), std::string::npos) << "'" << c.fieldCode << "'";
        EXPECT_EQ(h.journal[0].automaticIndicator, c.automatic) << "'" << c.fieldCode << "'";
        if (c.mode < 0) {
            EXPECT_TRUE(h.selector.calls.empty()) << "'" << c.fieldCode << "'";
            continue;
        }
        ASSERT_EQ(h.selector.calls.size(), 1u) << "'" << c.fieldCode << "'";
        EXPECT_EQ(h.selector.calls[0].mode, c.mode);
        EXPECT_EQ(h.selector.calls[0].x, c.x);
    }
}

TEST_F(Handover, normalAndMirroredPartGoesTwiceWithStartAndAcknowledgementEachTime) {
    h.view.setOption(Option::AutoStart, true);
    h.selector.normalAndMirrored = true;
    h.selector.automaticChoice[mode::kAlternating] = "T";
    finish();
    EXPECT_EQ(h.journalLines().size(), 4u);
    ASSERT_EQ(h.addedLines().size(), 2u);
    EXPECT_EQ(h.journalLines()[1], "StartList");
    EXPECT_EQ(h.journalLines()[3], "StartList");
    EXPECT_EQ(h.selector.calls.size(), 2u);
    for (const auto& call : h.selector.calls) {
        EXPECT_EQ(call.mode, mode::kAlternating);
        EXPECT_EQ(call.fieldCode, "&");
    }
    EXPECT_EQ(h.port.written, "ACK\rACK\r");
}

TEST_F(Handover, formsDifferInClearCommentAndAcknowledgement) {
    h.view.setOption(Option::AutoClear, true);
    h.state.ListComment = "FROM LABEL";
    finish(HandoverForm::Label);
    EXPECT_EQ(h.journalLines().front(), "Clear");
    EXPECT_NE(h.addedLines().at(0).find("#162=FROM LABEL;"), std::string::npos);
    EXPECT_EQ(h.port.written, "ACK\r");

    h.journal.clear();
    h.port.written.clear();
    h.state.ProgramName = "PART7";
    h.state.ProgramComment = " 2D COMMENT ";
    finish(HandoverForm::TwoD);
    EXPECT_EQ(h.journalLines().size(), 1u);
    EXPECT_NE(h.addedLines().at(0).find("#162=2D COMMENT;"), std::string::npos);
    EXPECT_EQ(h.port.written, "");
}

TEST_F(Handover, closedScannerPortSkipsTheAcknowledgement) {
    h.port.opened = false;
    finish();
    EXPECT_EQ(h.addedLines().size(), 1u);
    EXPECT_EQ(h.port.written, "");
    EXPECT_EQ(h.view.status(), "Ready.");
}

TEST_F(Handover, editorSeesTheProgramWhenItsOptionIsTicked) {
    h.view.setOption(Option::ShowEditor, true);
    finish();
    EXPECT_EQ(launchedFor, (std::vector<std::string>{"FLANGE.CNC"}));
}

TEST_F(Handover, lineThatNeverReachesTheListIsNeitherStartedNorAcknowledged) {
    h.view.setOption(Option::AutoStart, true);
    h.view.setOption(Option::ShowEditor, true);
    h.state.LastProgramName = "BEFORE.CNC";
    for (int attempt = 0; attempt < cnc::WorkListLink::kAddAttempts; ++attempt) {
        h.simulator.failNext("AddLine", platform::errc::kAutomation);
    }
    finish();
    EXPECT_TRUE(h.addedLines().empty());
    for (const auto& line : h.journalLines()) {
        EXPECT_NE(line, "StartList");
    }
    EXPECT_EQ(h.port.written, "");
    EXPECT_NE(h.view.status(), "Ready.");
    EXPECT_TRUE(h.view.status().find("not") != std::string::npos) << h.view.status();
    EXPECT_EQ(h.state.LastProgramName, "BEFORE.CNC");
    EXPECT_TRUE(launchedFor.empty());
    EXPECT_FALSE(h.view.anyPartIndicator());
    EXPECT_EQ(h.state.ProgramName, " ");
    EXPECT_FALSE(h.state.FieldPreset);
}

TEST_F(Handover, errorPassesThroughAfterTheLabelIsCleared) {
    h.view.setOption(Option::AutoStart, true);
    h.simulator.failNext("StartList", platform::errc::kAutomation);
    h.state.DimX = "600";
    EXPECT_THROW(finish(), platform::StationError);
    EXPECT_EQ(h.addedLines().size(), 1u);
    EXPECT_FALSE(h.view.anyPartIndicator());
    EXPECT_FALSE(h.view.fieldSelectionIndicator);
    EXPECT_EQ(h.state.DimX, " ");
    EXPECT_FALSE(h.state.FieldPreset);
}

TEST_F(Handover, missingDimensionsComeFromTheProgramFile) {
    const struct {
        std::string x, y, z;
        std::string file;
        std::string wantX, wantY, wantZ;
        Dimensions want;
        std::string comment;
    } cases[] = {
        {"600", "0", "", "G71 X700 Y400.5 Z18\n(GCODE)\n", "600", "400.5", "18", {600, 400.5f, 18}, "GCODE"},
        {" ", "abc", "5", "QZT\n;;HEADER\nINFO\nUN X=7 Y=8 Z=9\n", "7", "8", "5", {7, 8, 5}, "HEADER"},
        {"1", "2", "3", "G71 X700 Y400 Z18\n(GCODE)\n", "1", "2", "3", {1, 2, 3}, "OLD"},
        {"", "", "", "", "0", "0", "0", {0, 0, 0}, ""},
    };
    for (const auto& c : cases) {
        h.writeProgram("FLANGE.CNC", c.file);
        h.state.DimX = c.x;
        h.state.DimY = c.y;
        h.state.DimZ = c.z;
        h.state.ProgramComment = "OLD";
        const Dimensions got = handover.CompleteDimensions();
        EXPECT_EQ(h.state.DimX, c.wantX) << c.file;
        EXPECT_EQ(h.state.DimY, c.wantY) << c.file;
        EXPECT_EQ(h.state.DimZ, c.wantZ) << c.file;
        EXPECT_EQ(got.x, c.want.x);
        EXPECT_EQ(got.y, c.want.y);
        EXPECT_EQ(got.z, c.want.z);
        EXPECT_EQ(h.state.ProgramComment, c.comment) << c.file;
    }
}

TEST_F(Handover, absurdDimensionsSaturateInsteadOfOverflowing) {
    h.state.DimX = "1e300";
    h.state.DimY = "-1e999";
    h.state.DimZ = "1";
    const Dimensions got = handover.CompleteDimensions();
    EXPECT_EQ(got.x, std::numeric_limits<float>::max());
    EXPECT_EQ(got.y, -std::numeric_limits<float>::max());
    EXPECT_EQ(h.state.DimX, "1e300");
}

} // namespace
} // namespace quorlan::scan
