// The serial settings dialog's logic without its widgets, opening the scanner's port, and the
// reading of a settings text such as "9600,N,8,1" into the parameters the port is opened with.
#pragma once

#include "config/station_settings.h"
#include "platform/serial_port.h"
#include "platform/view.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

namespace quorlan::config {

// The values offered by the dialog's option groups, in the order they are shown.
inline constexpr std::array<std::int16_t, 4> kPortOptions{1, 2, 3, 4};
inline constexpr std::array<std::int32_t, 8> kBaudOptions{300, 1200, 2400, 4800, 9600, 19200, 38400, 57600};
inline constexpr std::array<char, 3> kParityOptions{'N', 'O', 'E'};
inline constexpr std::array<std::int16_t, 2> kDataBitsOptions{7, 8};
inline constexpr std::array<std::int16_t, 2> kStopBitsOptions{1, 2};

// The dialog's working values. One lives for the whole run: closing the dialog keeps them.
struct SettingsDialogState {
    std::int16_t port = 0;
    std::int32_t baud = 0;
    std::string parity;
    std::int16_t dataBits = 0;
    std::int16_t stopBits = 0;
};

// The option selected in each group after the preselection; nullopt selects nothing.
struct SettingsSelection {
    std::optional<std::int16_t> port;
    std::optional<std::int32_t> baud;
    std::optional<char> parity;
    std::optional<std::int16_t> dataBits;
    std::optional<std::int16_t> stopBits;
};

// Dialog load: fills the state from CommPort and CommSettings and says which options to select.
// The port keeps its previous value when CommPort is not one of the offered ports. Any text is
// accepted; what cannot be read selects nothing.
SettingsSelection preselectSettings(SettingsDialogState& state, const StationSettings& settings);

// OK's settings text: baud, parity, data bits and stop bits joined by commas ("9600,N,8,1").
std::string buildCommSettings(const SettingsDialogState& state);

// OK's first two steps: CommSettings and CommPort from the dialog's values.
void storeDialogSettings(const SettingsDialogState& state, StationSettings& settings);

// Opens the port with CommPort and CommSettings: throws as SerialPort::open does, and StationError
// 380 for settings that cannot be read (parseCommSettings).
std::size_t openScannerPort(platform::SerialPort& port, const StationSettings& settings);

// (Re)opens the port with CommPort and CommSettings and shows "COM1:9600,N,8,1" in the status bar.
// On failure the operator sees the unexpected-error message, the port text stays as it was and
// the result is false (the caller then offers the settings dialog again).
bool OpenCommPort(const StationSettings& settings, platform::SerialPort& port, platform::StationView& view);

// After the port opened: the port text, and a note when input that had been waiting from before
// was thrown away. Those scans got no "ACK", so the operator knows to scan them again.
void showPortOpened(const StationSettings& settings, std::size_t discarded, platform::StationView& view);

// Reads a settings text for the serial adapter: a positive baud rate, a parity letter (N, O, E,
// M or S), 5 to 8 data bits and 1, 1.5 or 2 stop bits. Throws StationError 380 (invalid
// property value) whose description names the fault.
platform::SerialParameters parseCommSettings(const std::string& text);

} // namespace quorlan::config
