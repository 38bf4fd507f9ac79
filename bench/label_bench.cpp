// One plain label through ProcessLabel to its line in the simulated work list, with pauses that
// return at once: the cost of the station's own logic per scan.
#include "bench_station.h"

namespace {

using quorlan::bench::BenchStation;

void plainLabelToItsLine(benchmark::State& state) {
    BenchStation().run(state, {"FLANGE"});
}
BENCHMARK(plainLabelToItsLine);

// The same line from a set that names its dimensions and no CSV: no file is looked at, so this is
// the cost of the logic alone.
void labelSetWithoutFilesToItsLine(benchmark::State& state) {
    BenchStation().run(state, {"%12FLANGE.CNC%", "%22600 400 18 %"});
}
BENCHMARK(labelSetWithoutFilesToItsLine);

} // namespace
