#include "fakes/fake_serial_port.h"
#include "fakes/fake_view.h"
#include "platform/error.h"
#include "shell/port_watch.h"

#include <gtest/gtest.h>

namespace quorlan::shell {
namespace {

class PortWatchTest : public ::testing::Test {
protected:
    PortWatchTest() {
        settings.CommPort = 1;
        settings.CommSettings = "9600,N,8,1";
    }

    testing::FakeSerialPort port;
    testing::FakeView view;
    config::StationSettings settings;
    PortWatch watch{port, view, settings};
};

TEST_F(PortWatchTest, portThatCouldNotBeOpenedIsTriedUntilTheDeviceAppears) {
    port.failOpenWith = platform::errc::kInvalidPortNumber;
    watch.keepOpen();
    for (int tick = 0; tick < 5; ++tick) {
        EXPECT_FALSE(watch.ready());
    }
    EXPECT_EQ(port.openCalls, 5);
    EXPECT_EQ(view.status(), "The scanner port COM1 (/dev/ttyS0) cannot be opened: Invalid port number. Trying "
                             "again until it opens.");
    EXPECT_EQ(view.statusHistory.size(), 1U) << "said once, not on every tick";

    view.setStatus("Ready."); // a manual entry took the status line meanwhile
    watch.ready();
    EXPECT_NE(view.status().find("cannot be opened"), std::string::npos);

    port.failOpenWith = 0;
    port.feed("FLANGE"); // waiting from before the port opened
    EXPECT_TRUE(watch.ready());
    EXPECT_EQ(view.portText, "COM1:9600,N,8,1");
    EXPECT_EQ(view.status(), "6 bytes received while the port was closed were discarded; scan those labels again.");
    EXPECT_TRUE(port.pending.empty());
}

TEST_F(PortWatchTest, lostPortIsReportedOnceAndReopenedWhenTheDeviceIsBack) {
    watch.keepOpen();
    port.opened = true;
    port.unplug("the device vanished");
    port.failOpenWith = platform::errc::kInvalidPortNumber;
    EXPECT_FALSE(watch.ready());
    const std::string lost = "The scanner port COM1 (/dev/ttyS0) was lost: the device vanished. Waiting for it to "
                             "come back.";
    EXPECT_EQ(view.status(), lost);
    watch.ready();
    watch.ready();
    EXPECT_EQ(view.statusHistory, std::vector<std::string>{lost}) << "a device still missing says no more";

    port.failOpenWith = platform::errc::kPermissionDenied; // replugged with other permissions
    watch.ready();
    EXPECT_NE(view.status().find("cannot be opened: Permission denied"), std::string::npos);

    port.failOpenWith = 0;
    EXPECT_TRUE(watch.ready());
    EXPECT_EQ(view.status(), "The scanner port COM1 (/dev/ttyS0) is open again. Ready.");
}

TEST_F(PortWatchTest, eachChange_isToldOnce_withThePortAndWhyItClosed) {
    std::vector<std::string> told;
    watch.setOnChange([&told](bool open, const std::string& name, const std::string& reason) {
        told.push_back((open ? "back " : "lost ") + name + (reason.empty() ? "" : ": " + reason));
    });
    watch.keepOpen();
    port.opened = true;
    watch.ready(); // open from the start: no news
    port.unplug("the device vanished");
    port.failOpenWith = platform::errc::kInvalidPortNumber;
    for (int tick = 0; tick < 3; ++tick) {
        watch.ready();
    }
    port.failOpenWith = 0;
    watch.ready();
    watch.ready();
    EXPECT_EQ(told,
              (std::vector<std::string>{"lost COM1 (/dev/ttyS0): the device vanished", "back COM1 (/dev/ttyS0)"}));

    // A port that does not open at the start is news at once.
    testing::FakeSerialPort closed;
    closed.failOpenWith = platform::errc::kPermissionDenied;
    PortWatch startingClosed(closed, view, settings);
    told.clear();
    startingClosed.setOnChange([&told](bool open, const std::string&, const std::string& reason) {
        told.push_back((open ? "back" : "lost: ") + reason);
    });
    startingClosed.keepOpen();
    startingClosed.ready();
    startingClosed.ready();
    EXPECT_EQ(told, std::vector<std::string>{"lost: Permission denied"});
}

TEST_F(PortWatchTest, portNotWantedIsLeftClosed) {
    EXPECT_FALSE(watch.ready());
    watch.keepOpen();
    watch.stop();
    EXPECT_FALSE(watch.ready());
    EXPECT_EQ(port.openCalls, 0);
}

} // namespace
} // namespace quorlan::shell
