// 2D program scans of any bytes through the scan loop: header, program name, the saving of the
// program into the program folder (and nowhere else), the list form, and the hand-over.
#include "fuzz_station.h"

#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    quorlan::fuzzing::FuzzStation station;
    std::string scan(reinterpret_cast<const char*>(data), size);
    // Routed as a 2D scan: it holds "^" and starts neither a quoted command nor a compressed scan.
    if (scan.find('^') == std::string::npos) {
        scan.insert(0, "PART^");
    }
    if (scan.front() == '\'' || scan.front() == '\xF1') {
        scan.front() = 'P';
    }
    station.scan(scan);
    station.checkInvariants();
    return 0;
}
