#include "config/comm_settings.h"

#include "config/common.h"
#include "platform/error.h"
#include "platform/text.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

namespace quorlan::config {

namespace {

template <typename T, std::size_t N> std::optional<T> offered(const std::array<T, N>& options, T value) {
    return std::find(options.begin(), options.end(), value) != options.end() ? std::optional<T>(value) : std::nullopt;
}

// A number read leniently into a 32-bit value: rounded (halves to even), kept within range.
std::int32_t wholeNumber(double value) {
    constexpr double low = std::numeric_limits<std::int32_t>::min();
    constexpr double high = std::numeric_limits<std::int32_t>::max();
    return static_cast<std::int32_t>(std::clamp(std::nearbyint(value), low, high));
}

// The one character at a fixed position of the text, as a number; 0 when it is no digit or missing.
std::int16_t digitAt(const std::string& text, std::size_t position) {
    return static_cast<std::int16_t>(position < text.size() ? platform::numericValue(text.substr(position, 1)) : 0);
}

[[noreturn]] void rejectSettings(const std::string& text, const std::string& fault) {
    throw platform::StationError(platform::errc::kInvalidPropertyValue,
                                 platform::describeError(platform::errc::kInvalidPropertyValue) +
                                     ": the serial settings \"" + text + "\" " + fault +
                                     " (expected baud,parity,data bits,stop bits such as 9600,N,8,1)");
}

std::vector<std::string> itemsOf(const std::string& text) {
    std::vector<std::string> items;
    std::size_t begin = 0;
    for (;;) {
        const auto comma = text.find(',', begin);
        items.push_back(platform::trimBlanks(std::string_view(text).substr(begin, comma - begin)));
        if (comma == std::string::npos) {
            return items;
        }
        begin = comma + 1;
    }
}

std::int32_t parseBaud(const std::string& text, const std::string& item) {
    const bool digits = !item.empty() && item.size() <= 10 &&
                        std::all_of(item.begin(), item.end(), [](char c) { return c >= '0' && c <= '9'; });
    const long long baud = digits ? std::stoll(item) : 0;
    if (baud <= 0 || baud > std::numeric_limits<std::int32_t>::max()) {
        rejectSettings(text, "have no valid baud rate \"" + item + "\"");
    }
    return static_cast<std::int32_t>(baud);
}

platform::Parity parseParity(const std::string& text, const std::string& item) {
    const std::string letter = platform::toUpper(item);
    static constexpr std::array<std::pair<const char*, platform::Parity>, 5> kLetters{{{"N", platform::Parity::None},
                                                                                       {"O", platform::Parity::Odd},
                                                                                       {"E", platform::Parity::Even},
                                                                                       {"M", platform::Parity::Mark},
                                                                                       {"S", platform::Parity::Space}}};
    for (const auto& [name, parity] : kLetters) {
        if (letter == name) {
            return parity;
        }
    }
    rejectSettings(text, "have an unknown parity \"" + item + "\" (N, O, E, M or S)");
}

int parseDataBits(const std::string& text, const std::string& item) {
    if (item.size() != 1 || item[0] < '5' || item[0] > '8') {
        rejectSettings(text, "have invalid data bits \"" + item + "\" (5 to 8)");
    }
    return item[0] - '0';
}

platform::StopBits parseStopBits(const std::string& text, const std::string& item) {
    if (item == "1") {
        return platform::StopBits::One;
    }
    if (item == "1.5") {
        return platform::StopBits::OneAndHalf;
    }
    if (item == "2") {
        return platform::StopBits::Two;
    }
    rejectSettings(text, "have invalid stop bits \"" + item + "\" (1, 1.5 or 2)");
}

} // namespace

SettingsSelection preselectSettings(SettingsDialogState& state, const StationSettings& settings) {
    SettingsSelection selection;
    selection.port = offered(kPortOptions, settings.CommPort);
    state.port = selection.port.value_or(state.port);

    const std::string& text = settings.CommSettings;
    const auto comma = text.find(',');
    state.baud = wholeNumber(platform::numericValue(std::string_view(text).substr(0, comma)));
    selection.baud = offered(kBaudOptions, state.baud);

    // One character per item after the baud rate: parity, data bits and stop bits at 0, 2 and 4.
    const std::string rest = comma == std::string::npos ? std::string() : text.substr(comma + 1);
    state.parity = rest.substr(0, 1);
    if (state.parity.size() == 1) {
        selection.parity = offered(kParityOptions, state.parity[0]);
    }
    state.dataBits = digitAt(rest, 2);
    selection.dataBits = offered(kDataBitsOptions, state.dataBits);
    state.stopBits = digitAt(rest, 4);
    selection.stopBits = offered(kStopBitsOptions, state.stopBits);
    return selection;
}

std::string buildCommSettings(const SettingsDialogState& state) {
    return std::to_string(state.baud) + "," + state.parity + "," + std::to_string(state.dataBits) + "," +
           std::to_string(state.stopBits);
}

void storeDialogSettings(const SettingsDialogState& state, StationSettings& settings) {
    settings.CommSettings = buildCommSettings(state);
    settings.CommPort = state.port;
}

std::size_t openScannerPort(platform::SerialPort& port, const StationSettings& settings) {
    return port.open(settings.CommPort, parseCommSettings(settings.CommSettings));
}

bool OpenCommPort(const StationSettings& settings, platform::SerialPort& port, platform::StationView& view) {
    try {
        if (port.isOpen()) {
            port.close();
        }
        showPortOpened(settings, openScannerPort(port, settings), view);
        return true;
    } catch (const platform::StationError& error) {
        showUnexpectedError(view, error);
        return false;
    }
}

void showPortOpened(const StationSettings& settings, std::size_t discarded, platform::StationView& view) {
    view.setPortText("COM" + std::to_string(settings.CommPort) + ":" + settings.CommSettings);
    if (discarded > 0) {
        view.setStatus(std::to_string(discarded) +
                       " bytes received while the port was closed were discarded; scan those labels again.");
    }
}

platform::SerialParameters parseCommSettings(const std::string& text) {
    const auto items = itemsOf(text);
    if (items.size() != 4) {
        rejectSettings(text, "need four items separated by commas");
    }
    platform::SerialParameters parameters;
    parameters.baud = parseBaud(text, items[0]);
    parameters.parity = parseParity(text, items[1]);
    parameters.dataBits = parseDataBits(text, items[2]);
    parameters.stopBits = parseStopBits(text, items[3]);
    return parameters;
}

} // namespace quorlan::config
