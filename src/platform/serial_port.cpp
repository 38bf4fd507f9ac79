#include "platform/serial_port.h"

namespace quorlan::platform {

std::string settingsText(const SerialParameters& parameters) {
    static constexpr char kParityLetters[] = {'N', 'O', 'E', 'M', 'S'};
    static constexpr const char* kStopBits[] = {"1", "1.5", "2"};
    return std::to_string(parameters.baud) + ',' + kParityLetters[static_cast<int>(parameters.parity)] + ',' +
           std::to_string(parameters.dataBits) + ',' + kStopBits[static_cast<int>(parameters.stopBits)];
}

} // namespace quorlan::platform
