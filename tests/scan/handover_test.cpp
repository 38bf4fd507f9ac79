#include "platform/error.h"
#include "scan/handover.h"
#include "scan_harness.h"

namespace quorlan::scan {
namespace {

using platform::Option;

class Handover : public ::testing::Test {
protected:
    Handover() {
        h.state.ProgramName = "FLANGE.CNC";
        h.state.ProgramComment = " SIDE ";
        h.state.FieldCode = "N";
        h.state.FieldPreset = true;
        h.view.partIndicators = {true, true, true, false, false};
        h.view.setOption(Option::AutoStart, true);
        h.view.setOption(Option::ShowEditor, true);
    }

    void finish(HandoverForm form = HandoverForm::Label) { handover.FinishLabel(form, {600, 400, 18}); }

    testing::ScanHarness h;
    std::vector<std::string> edited;
    LabelHandover handover{h.context, h.state, h.fieldCodes,
                           [this](const std::string& name) { edited.push_back(name); }};
};

TEST_F(Handover, addsStartsAcknowledgesThenReturnsToReady) {
    finish();
    ASSERT_EQ(h.journal.size(), 2u);
    EXPECT_EQ(h.journal[0].status, "Adding to Barcode data to List.");
    EXPECT_EQ(h.journal[1].line, "StartList");
    EXPECT_EQ(h.journal[1].written, "");
    EXPECT_EQ(h.port.written, "ACK\r");
    EXPECT_EQ(h.pauser.pauses, (std::vector<int>{600, 600}));
    EXPECT_EQ(h.view.status(), "Ready.");
    EXPECT_FALSE(h.view.anyPartIndicator());
    EXPECT_EQ(h.state.LastProgramName + "|" + h.state.LastProgramComment, "FLANGE.CNC|SIDE");
    EXPECT_EQ(edited, std::vector<std::string>{"FLANGE.CNC"});
    EXPECT_EQ(h.state.ProgramName + h.state.FieldCode, "  ");
    EXPECT_FALSE(h.state.FieldPreset);
}

TEST_F(Handover, firstCharacterOfTheFieldCodeChoosesTheSelection) {
    const struct {
        std::string fieldCode;
        int mode; // -1: no selection
        std::string listed;
    } cases[] = {
        {"&", 8, "#171=11;"}, {"P", 0, "#171=9;"},    {"", 0, "#171=9;"},  {"W", 1, "#171=10;"},
        {"N1", 7, "#171=7;"}, {"R/1", 7, "#171=36;"}, {" ", 0, "#171=9;"}, {"X", -1, "#171=37;"},
    };
    for (const auto& c : cases) {
        h.journal.clear();
        h.selector.calls.clear();
        h.state.FieldCode = c.fieldCode;
        finish();
        const std::string context = "'" + c.fieldCode + "'";
        EXPECT_NE(h.addedLines().at(0).find(c.listed), std::string::npos) << context;
        EXPECT_EQ(h.journal[0].automaticIndicator, c.mode == 0 || c.mode == 1 || c.mode == 8) << context;
        ASSERT_EQ(h.selector.calls.size(), c.mode < 0 ? 0u : 1u) << context;
        if (c.mode >= 0) {
            EXPECT_EQ(h.selector.calls[0].mode, c.mode) << context;
            EXPECT_EQ(h.selector.calls[0].x, c.mode == 7 ? 0 : 600) << context;
        }
    }
    EXPECT_FALSE(h.view.fieldSelectionIndicator);
}

TEST_F(Handover, normalAndMirroredGoesTwiceEachStartedAndAcknowledged) {
    h.selector.normalAndMirrored = true;
    finish();
    EXPECT_EQ(h.addedLines().size(), 2u);
    EXPECT_EQ(h.journal.size(), 4u);
    EXPECT_EQ(h.journal[3].line, "StartList");
    EXPECT_EQ(h.selector.calls.size(), 2u);
    EXPECT_EQ(h.selector.calls[1].fieldCode, "&");
    EXPECT_EQ(h.port.written, "ACK\rACK\r");
}

TEST_F(Handover, lineThatNeverReachesTheListIsNeitherStartedNorAcknowledged) {
    h.port.opened = false; // and a closed port is no error either
    finish();
    EXPECT_EQ(h.port.written, "");
    for (int attempt = 0; attempt < cnc::WorkListLink::kAddAttempts; ++attempt) {
        h.simulator.failNext("AddLine", platform::errc::kAutomation);
    }
    h.port.opened = true;
    h.journal.clear();
    h.state.ProgramName = "SECOND.CNC";
    finish();
    EXPECT_TRUE(h.addedLines().empty());
    EXPECT_NE(h.journal.back().line, "StartList");
    EXPECT_EQ(h.port.written, "");
    EXPECT_NE(h.view.status(), "Ready.");
    EXPECT_EQ(h.state.LastProgramName, "FLANGE.CNC");
    EXPECT_EQ(edited.size(), 1u);
    EXPECT_EQ(h.state.ProgramName, " ");
}

TEST_F(Handover, errorPassesThroughAfterTheLabelIsCleared) {
    h.view.setOption(Option::AutoClear, true);
    h.simulator.failNext("Clear", platform::errc::kAutomation);
    h.state.DimX = "600";
    EXPECT_THROW(finish(), platform::StationError);
    EXPECT_FALSE(h.view.anyPartIndicator());
    EXPECT_EQ(h.state.DimX, " ");
    EXPECT_FALSE(h.state.FieldPreset);
    EXPECT_EQ(h.port.written, "");
}

// A line in the list is acknowledged even when the start after it fails: unacknowledged, it would
// be scanned again and its part made twice.
TEST_F(Handover, lineThatIsInTheListIsAcknowledgedWhenTheStartFailsAndTheOperatorIsToldToStart) {
    h.simulator.failNext("StartList", platform::errc::kAutomation);
    finish();
    EXPECT_EQ(h.port.written, "ACK\r");
    ASSERT_EQ(h.view.messages.size(), 1u);
    EXPECT_EQ(h.view.messages[0].text, "FLANGE.CNC was queued, but the machine was not started: The CNC control "
                                       "refused the call (error 440). Scan %START% to start it.");
    EXPECT_EQ(h.view.status(), "Ready.");
}

TEST_F(Handover, onlyMissingDimensionsComeFromTheProgramFile) {
    const struct {
        std::string x, y, z, file, want, comment;
        Dimensions numbers;
    } cases[] = {
        {"600", "0", "", "G71 X700 Y400.5 Z18\n(GCODE)\n", "600|400.5|18", "GCODE", {600, 400.5f, 18}},
        {" ", "abc", "5", "QZT\n;;HEADER\nINFO\nUN X=7 Y=8 Z=9\n", "7|8|5", "HEADER", {7, 8, 5}},
        {"1", "2", "3", "G71 X700 Y400 Z18\n(GCODE)\n", "1|2|3", "OLD", {1, 2, 3}},
        {"", "", "", "", "0|0|0", "", {0, 0, 0}},
        {"1e300", "-1e999", "1", "", "1e300|-1e999|1", "OLD", {3.4028235e38f, -3.4028235e38f, 1}},
    };
    for (const auto& c : cases) {
        h.write("PROG/FLANGE.CNC", c.file);
        h.state.DimX = c.x;
        h.state.DimY = c.y;
        h.state.DimZ = c.z;
        h.state.ProgramComment = "OLD";
        const Dimensions got = handover.CompleteDimensions();
        EXPECT_EQ(h.state.DimX + "|" + h.state.DimY + "|" + h.state.DimZ, c.want);
        EXPECT_EQ(h.state.ProgramComment, c.comment) << c.want;
        EXPECT_EQ(got.x, c.numbers.x);
        EXPECT_EQ(got.y, c.numbers.y);
        EXPECT_EQ(got.z, c.numbers.z);
    }
}

} // namespace
} // namespace quorlan::scan
