// The history on a year of events, a million rows: what the History window asks for when it opens,
// and the export of every row to CSV.
#include "history_bench.h"

#include "history/history_csv.h"
#include "history/history_reader.h"

namespace {

using quorlan::bench::MillionEventFile;
namespace history = quorlan::history;

constexpr std::size_t kFirstPage = 200;
constexpr std::size_t kProgramChoices = 500;

// A new connection each time, as a window opening afresh: today's first page, its parts per hour
// and its programs.
void historyWindowQueriesOnAMillionRows(benchmark::State& state) {
    const auto& file = MillionEventFile::get();
    const history::Filter today{history::dayRange(file.today()), "", {}};
    for (auto _ : state) {
        history::HistoryReader reader(file.path());
        benchmark::DoNotOptimize(reader.page(today, std::nullopt, kFirstPage));
        benchmark::DoNotOptimize(reader.partsPerHour(today));
        benchmark::DoNotOptimize(reader.programs(today.range, kProgramChoices));
    }
}
BENCHMARK(historyWindowQueriesOnAMillionRows)->Unit(benchmark::kMillisecond);

// The same for every day: the newest page and every program of the year.
void historyAllDaysQueriesOnAMillionRows(benchmark::State& state) {
    const auto& file = MillionEventFile::get();
    for (auto _ : state) {
        history::HistoryReader reader(file.path());
        benchmark::DoNotOptimize(reader.page({}, std::nullopt, kFirstPage));
        benchmark::DoNotOptimize(reader.programs(std::nullopt, kProgramChoices));
    }
}
BENCHMARK(historyAllDaysQueriesOnAMillionRows)->Unit(benchmark::kMillisecond);

void exportOfAMillionRows(benchmark::State& state) {
    const auto& file = MillionEventFile::get();
    const std::string out = (file.folder() / "all.csv").string();
    for (auto _ : state) {
        history::HistoryReader reader(file.path());
        if (history::exportCsv(reader, {}, out) != MillionEventFile::kEvents) {
            state.SkipWithError("not every row was exported");
        }
    }
}
BENCHMARK(exportOfAMillionRows)->Unit(benchmark::kMillisecond)->Iterations(3);

} // namespace
