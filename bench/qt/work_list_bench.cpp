// A plain label through the station to the built-in control while its work list already holds
// 10, 1,000 or 10,000 rows, with the control's Work List window following: shown (offscreen, and
// painted as the station's pauses let it) or hidden. A label's cost must not grow with the list.
// Each label's row is deleted again, untimed, so that every label meets the same list.
#include "../bench_station.h"
#include "cnc/qt/work_list_window.h"
#include "run_benchmarks.h"

#include <QApplication>
#include <benchmark/benchmark.h>
#include <fstream>

namespace {

using namespace quorlan;

const std::string kRow = "#161=BASE.CNC;#162=BASE PLATE;#164=1;#165=1;#281=;#171=8;#284=1;#285=;#280=;#168=600;"
                         "#169=400;#170=18;#282= ;#283=;#223= ;#277=;#278=;#279=;";

// The list the control holds before the label: a list file of that many rows, opened.
void loadRows(bench::BenchStation& station, std::int64_t rows) {
    const std::string path = station.folder.path("rows.lst");
    {
        std::ofstream file(path, std::ios::binary);
        for (std::int64_t row = 0; row < rows; ++row) {
            file << kRow << "\r\n";
        }
    }
    station.link.application()->OpenList(path);
}

void labelWithTheWorkList(benchmark::State& state, bool shown) {
    bench::BenchStation station;
    cnc::WorkListWindow window(station.simulator);
    loadRows(station, state.range(0));
    if (shown) {
        station.simulator.showList();
    }
    QApplication::processEvents();
    const auto list = station.link.workList();
    for (auto _ : state) {
        benchmark::DoNotOptimize(station.processor.ProcessLabel("FLANGE"));
        // What the station's pauses after a label let the window do: lay out and paint.
        QApplication::processEvents();
        state.PauseTiming();
        if (station.simulator.rows().size() != static_cast<std::size_t>(state.range(0)) + 1) {
            state.SkipWithError("the label did not reach the work list");
            break;
        }
        list->DelLine(static_cast<std::int32_t>(station.simulator.rows().size()));
        QApplication::processEvents();
        state.ResumeTiming();
    }
}

void labelWithTheWorkListShown(benchmark::State& state) {
    labelWithTheWorkList(state, true);
}
BENCHMARK(labelWithTheWorkListShown)->ArgName("rows")->Arg(10)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond);

void labelWithTheWorkListHidden(benchmark::State& state) {
    labelWithTheWorkList(state, false);
}
BENCHMARK(labelWithTheWorkListHidden)->ArgName("rows")->Arg(10)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond);

// One line of a megabyte (a comment a list file or a client could carry) into a shown window:
// what a row costs must not follow the length of its values.
void megabyteLineWithTheWorkListShown(benchmark::State& state) {
    bench::BenchStation station;
    cnc::WorkListWindow window(station.simulator);
    loadRows(station, 10);
    station.simulator.showList();
    QApplication::processEvents();
    const auto list = station.link.workList();
    const std::string line = "#161=BASE.CNC;#162=" + std::string(std::size_t{1} << 20, 'W') + ";#164=1;";
    for (auto _ : state) {
        list->AddLine(line);
        QApplication::processEvents();
        state.PauseTiming();
        list->DelLine(static_cast<std::int32_t>(station.simulator.rows().size()));
        QApplication::processEvents();
        state.ResumeTiming();
    }
}
BENCHMARK(megabyteLineWithTheWorkListShown)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char* argv[]) {
    return quorlan::bench::runWindowBenchmarks(argc, argv);
}
