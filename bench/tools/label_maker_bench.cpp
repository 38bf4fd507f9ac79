// The office's job: a 500-row job file to a PDF of part labels, and a 2D label of a 20 KB program,
// compressed; every symbol read back.
#include "job_file.h"
#include "label_plan.h"
#include "label_run.h"

#include <QFile>
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

// A 20 KB program file like those the office sends, with numbers that vary line by line.
std::string programOf(std::size_t size) {
    std::string text = "G71 X600 Y400 Z18\r\n(SIDE PANEL)\r\n";
    for (int n = 3; text.size() < size; ++n) {
        text += "N" + std::to_string(n) + " G01 X" + std::to_string(n * 7 % 600) + ".5 Y" +
                std::to_string(n * 13 % 400) + " Z-2 F1200\r\n";
    }
    return text;
}

void BM_TwoDLabelOf20KbProgramCompressedAndVerified(benchmark::State& state) {
    QTemporaryDir folder;
    QFile file(folder.filePath(QStringLiteral("PART7")));
    const std::string program = programOf(20 * 1024);
    if (!file.open(QIODevice::WriteOnly) || file.write(program.data(), static_cast<qint64>(program.size())) < 0) {
        state.SkipWithError("cannot write the program file");
        return;
    }
    file.close();
    const TwoDSettings twoD{quorlan::symbols::Symbology::QRCode, true, folder.path()};
    const PrintSettings settings{{105, 74},      true, 300, true, folder.filePath(QStringLiteral("part7.png")),
                                 PageFormat::Png};
    std::size_t symbols = 0;
    for (auto _ : state) {
        const Plan plan = planJob(readJob("program,field,x,y,z\nPART7,N1,600,400,18\n"), LabelForm::TwoD, true, twoD);
        symbols = printLabels(plan.labels, settings).labels;
    }
    state.counters["symbols"] = static_cast<double>(symbols);
}
BENCHMARK(BM_TwoDLabelOf20KbProgramCompressedAndVerified)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
