// Labels of any bytes, one a line and several an input (so that sets of parts come together),
// through the scan loop into the label grammar and the whole hand-over.
#include "fuzz_station.h"

#include <algorithm>
#include <cstdint>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    quorlan::fuzzing::FuzzStation station;
    std::string_view input(reinterpret_cast<const char*>(data), size);
    for (int scans = 0; scans < 16 && !input.empty(); ++scans) {
        const std::size_t end = std::min(input.find('\n'), input.size());
        std::string label(input.substr(0, end));
        input.remove_prefix(std::min(end + 1, input.size()));
        // 2D and compressed scans have targets of their own.
        std::replace(label.begin(), label.end(), '^', ' ');
        if (!label.empty() && label.front() == '\xF1') {
            label.front() = 'x';
        }
        if (!station.scan(label)) {
            break;
        }
    }
    station.checkInvariants();
    return 0;
}
