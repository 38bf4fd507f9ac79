#include "fakes/fake_serial_port.h"
#include "fakes/fake_view.h"
#include "platform/error.h"
#include "shell/scan_loop.h"

#include <functional>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace quorlan::shell {
namespace {

using testing::FakeSerialPort;
using testing::FakeView;

class ScanLoopTest : public ::testing::Test {
protected:
    ScanLoopTest() { port.opened = true; }

    ScanLoop makeLoop() {
        ScanRoutes routes;
        routes.processLabel = [this](const std::string& text) {
            calls.push_back(text);
            if (duringLabel) {
                auto action = std::move(duringLabel);
                action();
            }
            return true;
        };
        routes.process2DBarcode = [this](const std::string& text) { calls.push_back("2D:" + text); };
        routes.expandCompressedScan = [this](const std::string& text) {
            calls.push_back("expand:" + text);
            return expanded;
        };
        return ScanLoop(port, view, std::move(routes));
    }

    static void ticks(ScanLoop& loop, int count) {
        for (int i = 0; i < count; ++i) {
            loop.tick();
        }
    }

    FakeSerialPort port;
    FakeView view;
    std::vector<std::string> calls;
    std::function<void()> duringLabel;
    std::string expanded;
};

struct RoutingCase {
    std::string scan;
    std::vector<std::string> labels;
};

TEST_F(ScanLoopTest, routesEachScanByItsKind) {
    const std::vector<RoutingCase> cases = {
        {"1234%", {"1234%"}},
        {"%START%", {"%START%"}},
        {"A1%B2%", {"A1%", "B2%"}},
        {"'P1 X!Y$", {"%N%", "P1 X Y"}},
        {"'$", {}},
        {"%", {"%"}},
        {"'P1 X", {"'P1 X"}},
        {"A!B", {"A B"}},
        // A scanner's line end after the scan is no part of the label, in the middle of a burst too.
        {"FLANGE\r\n", {"FLANGE"}},
        {"FLANGE\r", {"FLANGE"}},
        {"FLANGE\n", {"FLANGE"}},
        {"A1%\r\nB2%\r\n", {"A1%", "B2%"}},
        {"\r\n", {}},
        // Only one line end is the scanner's; anything else stays for the label's own rules.
        {"X\r\nAddLine #161=EVIL.CNC\r\n", {"X\r\nAddLine #161=EVIL.CNC"}},
        {"FLANGE\r\n\r\n", {"FLANGE\r\n"}},
    };
    for (const auto& c : cases) {
        calls.clear();
        auto loop = makeLoop();
        port.feed(c.scan);
        ticks(loop, 3);
        EXPECT_EQ(calls, c.labels) << c.scan;
        EXPECT_TRUE(loop.pendingText().empty()) << c.scan;
        EXPECT_EQ(loop.queuedScans(), 0U) << c.scan;
    }
}

TEST_F(ScanLoopTest, dispatchesOnTheSecondQuietTickAfterTheLastChunk) {
    auto loop = makeLoop();
    for (const char* chunk : {"FLA", "NG", "E"}) {
        port.feed(chunk);
        loop.tick();
    }
    loop.tick();
    EXPECT_TRUE(calls.empty());
    EXPECT_EQ(view.lastScan, " Last Scan:    FLANGE");
    EXPECT_TRUE(view.scanActivityVisible);
    loop.tick();
    EXPECT_EQ(calls, std::vector<std::string>{"FLANGE"});
    EXPECT_FALSE(view.scanActivityVisible);
    EXPECT_EQ(view.status(), "Reading Barcode-Label.FLANGE");
    ticks(loop, 5);
    EXPECT_EQ(calls.size(), 1U);
}

TEST_F(ScanLoopTest, closedPortLeavesEverythingAsItWas) {
    auto loop = makeLoop();
    port.feed("PART");
    loop.tick();
    port.opened = false;
    ticks(loop, 5);
    EXPECT_TRUE(calls.empty());
    EXPECT_EQ(loop.pendingText(), "PART");
}

TEST_F(ScanLoopTest, scansFramedDuringADispatchWaitInOrderAndAreNeverGluedOrRepeated) {
    auto loop = makeLoop();
    duringLabel = [&] {
        // The hand-over pauses; ticks keep running inside it.
        port.feed("SECOND");
        ticks(loop, 3);
        port.feed("THIRD");
        ticks(loop, 3);
        EXPECT_EQ(calls.size(), 1U) << "nothing may be dispatched inside a running dispatch";
    };
    port.feed("FIRST");
    ticks(loop, 3);
    EXPECT_EQ(calls, (std::vector<std::string>{"FIRST", "SECOND", "THIRD"}));
}

TEST_F(ScanLoopTest, restOfABurstComesBeforeScansFramedMeanwhile) {
    auto loop = makeLoop();
    duringLabel = [&] {
        port.feed("C3%");
        ticks(loop, 3);
    };
    port.feed("A1%B2%");
    ticks(loop, 3);
    EXPECT_EQ(calls, (std::vector<std::string>{"A1%", "B2%", "C3%"}));
}

TEST_F(ScanLoopTest, heldLoopFramesButDispatchesOnlyAfterRelease) {
    auto loop = makeLoop();
    loop.hold();
    port.feed("EARLY");
    ticks(loop, 4);
    EXPECT_TRUE(calls.empty());
    loop.release();
    loop.tick();
    EXPECT_EQ(calls, std::vector<std::string>{"EARLY"});
}

TEST_F(ScanLoopTest, errorOfADispatchIsReportedAndTheLoopCarriesOn) {
    ScanRoutes routes;
    routes.processLabel = [&](const std::string& text) -> bool {
        calls.push_back(text);
        if (text == "BAD") {
            throw platform::StationError(platform::errc::kFileNotFound);
        }
        return true;
    };
    ScanLoop loop(port, view, std::move(routes));
    port.feed("BAD");
    ticks(loop, 3);
    port.feed("GOOD");
    ticks(loop, 3);
    EXPECT_EQ(calls, (std::vector<std::string>{"BAD", "GOOD"}));
    ASSERT_EQ(view.messages.size(), 1U);
    EXPECT_EQ(view.messages[0].text, "Unexpected error # 53 occured: File not found");
}

TEST_F(ScanLoopTest, twoDAndCompressedScansGoToTheirProcessingWhole) {
    const struct {
        std::string scan;
        std::string expandsTo;
        std::vector<std::string> calls;
    } cases[] = {
        {"*%00JOB^X", "", {"2D:*%00JOB^X"}},
        {"PART7^UN1!G71\r\nM30\r\n", "", {"2D:PART7^UN1!G71\r\nM30\r\n"}},
        {"\xF1payload", "PART7^X1!G71", {"expand:\xF1payload", "2D:PART7^X1!G71"}},
        {"\xF1payload", "FLANGE", {"expand:\xF1payload", "FLANGE"}},
        {"\xF1"
         "corrupt",
         "",
         {"expand:\xF1"
          "corrupt"}},
        {"'P1$\xF1x", "", {"%N%", "P1"}},
    };
    for (const auto& c : cases) {
        calls.clear();
        expanded = c.expandsTo;
        auto loop = makeLoop();
        port.feed(c.scan);
        ticks(loop, 3);
        EXPECT_EQ(calls, c.calls) << c.scan;
    }
}

TEST_F(ScanLoopTest, floodWithoutPauseIsDiscardedToItsEndAndCounted) {
    auto loop = makeLoop();
    // 2 MB in 64 KB pieces: after the first megabyte, the rest of the flood must not pass for a scan.
    const std::string piece(64 * 1024, 'x');
    for (int i = 0; i < 32; ++i) {
        port.feed(piece);
        loop.tick();
    }
    EXPECT_TRUE(loop.pendingText().empty());
    EXPECT_EQ(view.status(), "Scanner input too long without a pause; discarding it until the line is quiet.");
    ticks(loop, 3);
    EXPECT_TRUE(calls.empty());
    EXPECT_EQ(view.status(), "Scanner input too long without a pause: 2097152 bytes were discarded.");
    port.feed("AFTER");
    ticks(loop, 3);
    EXPECT_EQ(calls, std::vector<std::string>{"AFTER"});
}

} // namespace
} // namespace quorlan::shell
