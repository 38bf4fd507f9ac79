// A compressed 2D program of 23,000 characters from scan to line, and its parts: the expansion
// beside a bare zlib inflate of the same data, and the save, whose flush to disk is most of it.
#include "bench_station.h"
#include "cnc/compressed_payload.h"
#include "cnc/program_store.h"
#include "platform/zlib_codec.h"

#include <zlib.h>

namespace {

using quorlan::bench::BenchStation;
namespace cnc = quorlan::cnc;
namespace platform = quorlan::platform;

const std::string& program() {
    static const std::string text = [] {
        std::string lines = "G71 X600 Y400 Z18\r\n(SIDE PANEL)\r\n";
        for (int n = 3; lines.size() < 23000; ++n) {
            lines += "N" + std::to_string(n) + " G01 X" + std::to_string(n * 7 % 600) + ".5 Y" +
                     std::to_string(n * 13 % 400) + " Z-2 F1200\r\n";
        }
        lines.resize(23000);
        return lines;
    }();
    return text;
}

const std::string& scan() {
    static const std::string compressed = cnc::buildCompressedScan("PART7^UN1^X600^Y400^Z18!" + program());
    return compressed;
}

void compressedTwoDScanToItsLine(benchmark::State& state) {
    BenchStation station;
    platform::ZlibDecompressor zlib;
    std::size_t handled = 0;
    for (auto _ : state) {
        station.twoD.Process2DBarcode(cnc::ExpandCompressedScan(scan(), zlib, station.paths, station.view));
        if (++handled % 1024 == 0) {
            station.link.ClearWorkList();
        }
    }
    if (station.simulator.rows().empty() || station.simulator.rows().back().rfind("#161=PART7;", 0) != 0) {
        state.SkipWithError("the program did not reach the work list");
    }
}
BENCHMARK(compressedTwoDScanToItsLine)->Unit(benchmark::kMillisecond);

void savingTheProgramWithItsFlush(benchmark::State& state) {
    BenchStation station;
    const std::string path = station.folder.path("programs/PART7");
    for (auto _ : state) {
        cnc::SaveProgramFile(path, program());
    }
}
BENCHMARK(savingTheProgramWithItsFlush)->Unit(benchmark::kMillisecond);

void expandingTheScan(benchmark::State& state) {
    BenchStation station;
    platform::ZlibDecompressor zlib;
    for (auto _ : state) {
        benchmark::DoNotOptimize(cnc::ExpandCompressedScan(scan(), zlib, station.paths, station.view));
    }
}
BENCHMARK(expandingTheScan)->Unit(benchmark::kMicrosecond);

// What zlib alone takes for the same data: the yardstick of the expansion above.
void bareInflateOfTheSameData(benchmark::State& state) {
    const std::string data = cnc::undoubleBackslashes(scan().substr(cnc::kDataStart));
    std::string output(cnc::kExpansionBufferSize, '\0');
    for (auto _ : state) {
        uLongf size = static_cast<uLongf>(output.size());
        uncompress(reinterpret_cast<Bytef*>(output.data()), &size, reinterpret_cast<const Bytef*>(data.data()),
                   static_cast<uLong>(data.size()));
        benchmark::DoNotOptimize(output.data());
    }
}
BENCHMARK(bareInflateOfTheSameData)->Unit(benchmark::kMicrosecond);

} // namespace
