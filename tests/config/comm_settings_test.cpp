#include "config/comm_settings.h"
#include "fakes/fake_serial_port.h"
#include "fakes/fake_view.h"

#include <gtest/gtest.h>

namespace quorlan::config {
namespace {

struct PreselectCase {
    const char* name;
    std::int16_t commPort;
    std::string commSettings;
    SettingsSelection selection;
    std::string rebuilt; // the text OK builds without a new choice
};

class PreselectTest : public ::testing::TestWithParam<PreselectCase> {};

TEST_P(PreselectTest, selectsWhatTheTextNames) {
    const auto& c = GetParam();
    SettingsDialogState state;
    state.port = 2; // from an earlier opening in this run
    StationSettings settings;
    settings.CommPort = c.commPort;
    settings.CommSettings = c.commSettings;
    const auto selection = preselectSettings(state, settings);
    EXPECT_EQ(selection.port, c.selection.port);
    EXPECT_EQ(selection.baud, c.selection.baud);
    EXPECT_EQ(selection.parity, c.selection.parity);
    EXPECT_EQ(selection.dataBits, c.selection.dataBits);
    EXPECT_EQ(selection.stopBits, c.selection.stopBits);
    EXPECT_EQ(state.port, c.selection.port.value_or(2));
    storeDialogSettings(state, settings);
    EXPECT_EQ(settings.CommSettings, c.rebuilt);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, PreselectTest,
    ::testing::Values(PreselectCase{"allSelected", 3, "19200,E,7,2", {3, 19200, 'E', 7, 2}, "19200,E,7,2"},
                      PreselectCase{"unofferedBaud", 1, "115200,N,8,1", {1, {}, 'N', 8, 1}, "115200,N,8,1"},
                      PreselectCase{"unofferedPort", 5, "9600,N,8,1", {{}, 9600, 'N', 8, 1}, "9600,N,8,1"},
                      PreselectCase{"empty", 0, "", {}, "0,,0,0"},
                      PreselectCase{"noComma", 1, "9600", {1, 9600, {}, {}, {}}, "9600,,0,0"},
                      PreselectCase{"unknownLetters", 4, "4800,X,Y,Z", {4, 4800, {}, {}, {}}, "4800,X,0,0"},
                      PreselectCase{"lowerCaseParity", 4, "4800,n,8,1", {4, 4800, {}, 8, 1}, "4800,n,8,1"},
                      PreselectCase{"otherDigits", 4, "300,O,6,3", {4, 300, 'O', {}, {}}, "300,O,6,3"},
                      PreselectCase{"hugeBaud", 4, "99999999999,E,8,2", {4, {}, 'E', 8, 2}, "2147483647,E,8,2"},
                      PreselectCase{"shortRest", 4, "1200,E", {4, 1200, 'E', {}, {}}, "1200,E,0,0"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(PreselectTest, portOutsideTheOptionsAtFirstOpeningStoresPortZero) {
    SettingsDialogState state;
    StationSettings settings;
    settings.CommPort = 5;
    settings.CommSettings = "9600,N,8,1";
    preselectSettings(state, settings);
    storeDialogSettings(state, settings);
    EXPECT_EQ(settings.CommPort, 0);
}

TEST(OpenCommPort, opensAndShowsThePortText) {
    testing::FakeSerialPort port;
    testing::FakeView view;
    StationSettings settings;
    settings.CommPort = 3;
    settings.CommSettings = "19200,E,7,2";
    port.opened = true;
    EXPECT_TRUE(OpenCommPort(settings, port, view));
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
    StationSettings settings;
    settings.CommSettings = "9600,N,8,1";
    EXPECT_FALSE(OpenCommPort(settings, port, view));
    EXPECT_FALSE(port.isOpen());
    EXPECT_EQ(view.portText, "COM1:9600,N,8,1");
    ASSERT_EQ(view.messages.size(), 1u);
    EXPECT_EQ(view.messages[0].text, "Unexpected error # 8002 occured: Invalid port number");
    EXPECT_EQ(view.messages[0].icon, platform::MessageIcon::Critical);
}

TEST(ParseCommSettings, readsValidTexts) {
    const struct {
        const char* text;
        std::int32_t baud;
        Parity parity;
        int dataBits;
        StopBits stopBits;
    } cases[] = {
        {"9600,N,8,1", 9600, Parity::None, 8, StopBits::One},
        {"19200,e,7,2", 19200, Parity::Even, 7, StopBits::Two},
        {" 115200 , O , 5 , 1.5 ", 115200, Parity::Odd, 5, StopBits::OneAndHalf},
        {"300,M,6,1", 300, Parity::Mark, 6, StopBits::One},
        {"1200,S,8,1", 1200, Parity::Space, 8, StopBits::One},
    };
    for (const auto& c : cases) {
        const auto parameters = parseCommSettings(c.text);
        EXPECT_EQ(parameters.baud, c.baud) << c.text;
        EXPECT_EQ(parameters.parity, c.parity) << c.text;
        EXPECT_EQ(parameters.dataBits, c.dataBits) << c.text;
        EXPECT_EQ(parameters.stopBits, c.stopBits) << c.text;
    }
}

TEST(ParseCommSettings, rejectsMalformedTextsWithAClearReason) {
    const struct {
        const char* text;
        const char* reason;
    } cases[] = {
        {"", "four items"},
        {"9600", "four items"},
        {"9600,N,8,1,1", "four items"},
        {"0,N,8,1", "baud rate"},
        {"-9600,N,8,1", "baud rate"},
        {"96OO,N,8,1", "baud rate"},
        {"99999999999,N,8,1", "baud rate"},
        {"9600,X,8,1", "parity"},
        {"9600,,8,1", "parity"},
        {"9600,N,9,1", "data bits"},
        {"9600,N,4,1", "data bits"},
        {"9600,N,8,3", "stop bits"},
        {"9600,N,8,", "stop bits"},
    };
    for (const auto& c : cases) {
        try {
            parseCommSettings(c.text);
            ADD_FAILURE() << c.text << " was accepted";
        } catch (const platform::StationError& error) {
            EXPECT_EQ(error.number(), platform::errc::kInvalidPropertyValue) << c.text;
            EXPECT_NE(error.description().find(c.reason), std::string::npos) << error.description();
            EXPECT_NE(error.description().find(std::string("\"") + c.text + "\""), std::string::npos);
        }
    }
}

} // namespace
} // namespace quorlan::config
