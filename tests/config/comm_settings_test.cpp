#include "config/comm_settings.h"
#include "fakes/fake_serial_port.h"
#include "fakes/fake_view.h"

#include <gtest/gtest.h>

namespace quorlan::config {
namespace {

StationSettings serialSettings(std::int16_t port, const std::string& text) {
    StationSettings settings;
    settings.CommPort = port;
    settings.CommSettings = text;
    return settings;
}

TEST(SettingsDialog, preselectsWhatTheTextNamesAndRebuildsIt) {
    const struct {
        std::int16_t commPort;
        std::string commSettings;
        SettingsSelection selection;
        std::string rebuilt; // what OK stores without a new choice
    } cases[] = {
        {3, "19200,E,7,2", {3, 19200, 'E', 7, 2}, "19200,E,7,2"},
        {1, "115200,N,8,1", {1, {}, 'N', 8, 1}, "115200,N,8,1"},
        {5, "9600,N,8,1", {{}, 9600, 'N', 8, 1}, "9600,N,8,1"},
        {0, "", {}, "0,,0,0"},
        {4, "4800", {4, 4800, {}, {}, {}}, "4800,,0,0"},
        {4, "4800,n,Y,3", {4, 4800, {}, {}, {}}, "4800,n,0,3"},
        {4, "99999999999,E", {4, {}, 'E', {}, {}}, "2147483647,E,0,0"},
    };
    for (const auto& c : cases) {
        SettingsDialogState state;
        state.port = 2; // chosen at an earlier opening in this run
        auto settings = serialSettings(c.commPort, c.commSettings);
        const auto selection = preselectSettings(state, settings);
        EXPECT_EQ(selection.port, c.selection.port) << c.commSettings;
        EXPECT_EQ(selection.baud, c.selection.baud) << c.commSettings;
        EXPECT_EQ(selection.parity, c.selection.parity) << c.commSettings;
        EXPECT_EQ(selection.dataBits, c.selection.dataBits) << c.commSettings;
        EXPECT_EQ(selection.stopBits, c.selection.stopBits) << c.commSettings;
        storeDialogSettings(state, settings);
        EXPECT_EQ(settings.CommSettings, c.rebuilt);
        EXPECT_EQ(settings.CommPort, c.selection.port.value_or(2));
    }
}

TEST(OpenCommPort, reopensAndShowsThePortText) {
    testing::FakeSerialPort port;
    testing::FakeView view;
    port.opened = true;
    EXPECT_TRUE(OpenCommPort(serialSettings(3, "19200,E,7,2"), port, view));
    EXPECT_EQ(port.openedPort, 3);
    EXPECT_EQ(port.openedSettings, "19200,E,7,2");
    EXPECT_EQ(view.portText, "COM3:19200,E,7,2");
    EXPECT_TRUE(view.messages.empty());
}

TEST(OpenCommPort, failureIsReportedAndKeepsThePortText) {
    testing::FakeSerialPort port;
    testing::FakeView view;
    view.portText = "COM1:9600,N,8,1";
    port.opened = true;
    port.failOpenWith = platform::errc::kInvalidPortNumber;
    EXPECT_FALSE(OpenCommPort(serialSettings(0, "9600,N,8,1"), port, view));
    EXPECT_FALSE(port.isOpen());
    EXPECT_EQ(view.portText, "COM1:9600,N,8,1");
    ASSERT_EQ(view.messages.size(), 1u);
    EXPECT_EQ(view.messages[0].text, "Unexpected error # 8002 occured: Invalid port number");
}

TEST(ParseCommSettings, readsValidTexts) {
    const auto parameters = parseCommSettings(" 115200 , e , 7 , 1.5 ");
    EXPECT_EQ(parameters.baud, 115200);
    EXPECT_EQ(parameters.parity, platform::Parity::Even);
    EXPECT_EQ(parameters.dataBits, 7);
    EXPECT_EQ(parameters.stopBits, platform::StopBits::OneAndHalf);
}

TEST(ParseCommSettings, theParametersReadAsTheTextTheyCameFrom) {
    for (const char* text : {"9600,N,8,1", "115200,E,7,1.5", "300,S,5,2", "57600,M,6,1", "1200,O,8,2"}) {
        EXPECT_EQ(platform::settingsText(parseCommSettings(text)), text);
    }
}

TEST(ParseCommSettings, rejectsMalformedTextsWithAClearReason) {
    const std::pair<const char*, const char*> cases[] = {
        {"9600", "four items"},      {"9600,N,8,1,1", "four items"},     {"0,N,8,1", "baud rate"},
        {"96OO,N,8,1", "baud rate"}, {"99999999999,N,8,1", "baud rate"}, {"9600,X,8,1", "parity"},
        {"9600,N,9,1", "data bits"}, {"9600,N,8,", "stop bits"},
    };
    for (const auto& [text, reason] : cases) {
        try {
            parseCommSettings(text);
            ADD_FAILURE() << text << " was accepted";
        } catch (const platform::StationError& error) {
            EXPECT_EQ(error.number(), platform::errc::kInvalidPropertyValue) << text;
            EXPECT_NE(error.description().find(reason), std::string::npos) << error.description();
        }
    }
}

} // namespace
} // namespace quorlan::config
