// The rest of a benchmark main() that first made the Qt application its benchmarks need, and the
// whole main() of benchmarks of windows.
#pragma once

#include <QApplication>
#include <benchmark/benchmark.h>

namespace quorlan::bench {

inline int runBenchmarks(int& argc, char* argv[]) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
        return 1;
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}

// Windows are measured offscreen unless QT_QPA_PLATFORM chooses otherwise.
inline int runWindowBenchmarks(int& argc, char* argv[]) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication app(argc, argv);
    return runBenchmarks(argc, argv);
}

} // namespace quorlan::bench
