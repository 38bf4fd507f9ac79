// Opening the History window on a year of history, a million rows, offscreen: the window made,
// today's first page, chart and programs read, and the window painted.
#include "../history_bench.h"
#include "history/qt/history_window.h"
#include "run_benchmarks.h"

#include <QApplication>
#include <benchmark/benchmark.h>

namespace {

using namespace quorlan;

void historyWindowOpeningOnAMillionRows(benchmark::State& state) {
    const auto& file = bench::MillionEventFile::get();
    for (auto _ : state) {
        history::HistoryWindow window(file.path());
        window.show();
        QApplication::processEvents();
        QApplication::processEvents();
    }
}
BENCHMARK(historyWindowOpeningOnAMillionRows)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char* argv[]) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication app(argc, argv);
    return quorlan::bench::runBenchmarks(argc, argv);
}
