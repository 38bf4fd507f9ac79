// The office's job: a 500-row job file to a PDF of part labels, every symbol read back.
#include "job_file.h"
#include "label_plan.h"
#include "label_run.h"

#include <QGuiApplication>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

namespace {

using namespace quorlan::label_tool;

std::string jobOf(int rows) {
    std::string job = "program,field,x,y,z,a,b,c,d,comment\n";
    for (int row = 1; row <= rows; ++row) {
        const std::string n = std::to_string(row);
        job += "PART" + n + ",M1," + std::to_string(300 + row) + ",400,18," + n + ",2,3,4,door panel " + n + "\n";
    }
    return job;
}

void BM_JobOf500RowsToVerifiedPdf(benchmark::State& state) {
    const std::string job = jobOf(500);
    QTemporaryDir folder;
    const PrintSettings settings{{70, 37},       true, 300, true, folder.filePath(QStringLiteral("job.pdf")),
                                 PageFormat::Pdf};
    std::size_t labels = 0;
    for (auto _ : state) {
        const Plan plan = planJob(readJob(job), LabelForm::Parts, true);
        labels = printLabels(plan.labels, settings).labels;
    }
    state.counters["labels"] = static_cast<double>(labels);
}
BENCHMARK(BM_JobOf500RowsToVerifiedPdf)->Unit(benchmark::kMillisecond)->Iterations(3);

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
