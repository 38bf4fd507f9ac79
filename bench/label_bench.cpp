// One plain label through ProcessLabel to its line in the simulated work list, with pauses that
// return at once: the cost of the station's own logic per scan. Beside it, in the same run, what
// recording that scan in the history costs.
#include "bench_station.h"
#include "history_bench.h"

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

// One scan's event recorded in a history file, each timed; with flushing, the flush the station
// makes when idle follows each one.
void recordScans(benchmark::State& state, bool flushing) {
    const quorlan::testing::TempFolder folder;
    {
        quorlan::history::HistoryStore store({folder.path("history.sqlite")}, [](const std::string&) {});
        quorlan::bench::Samples samples(state);
        int n = 0;
        for (auto _ : state) {
            samples.time([&] {
                store.record(quorlan::bench::typicalEvent(quorlan::bench::nowMs(), n++));
                if (flushing) {
                    store.flush();
                }
            });
        }
    }
}

// Committed: in the operating system when record() returns, which a kill of the station cannot undo.
void recordingOneScan(benchmark::State& state) {
    recordScans(state, false);
}
BENCHMARK(recordingOneScan);

// On the disk itself: the cost if every scan waited for the disk.
void recordingOneScanAndFlushingToDisk(benchmark::State& state) {
    recordScans(state, true);
}
BENCHMARK(recordingOneScanAndFlushingToDisk)->Unit(benchmark::kMillisecond);

} // namespace
