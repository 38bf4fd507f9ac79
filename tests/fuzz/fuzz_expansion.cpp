// Compressed scans through the scan loop: the expansion, by memory or through the temporary
// files, and whatever the expanded text then is. An input with an odd first byte is compressed
// first, so that valid streams of any content come through too; an even one is taken as it is.
#include "cnc/compressed_payload.h"
#include "fuzz_station.h"

#include <cstdint>
#include <stdexcept>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) {
        return 0;
    }
    quorlan::fuzzing::FuzzStation station;
    const std::string rest(reinterpret_cast<const char*>(data) + 1, size - 1);
    std::string scan = std::string(1, quorlan::cnc::kCompressedMark) + rest;
    if (data[0] % 2 == 1) {
        try {
            scan = quorlan::cnc::buildCompressedScan(rest);
        } catch (const std::invalid_argument&) {
            // too long for the layout: sent as it is
        }
    }
    station.scan(scan);
    station.checkInvariants();
    return 0;
}
