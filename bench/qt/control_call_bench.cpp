// One call of the control across the local socket to cnc-sim in its own process, as the station
// makes it with --cnc local:NAME: coding, the round trip, the simulator's work and the reply.
// cnc-sim is taken from $QUORLAN_CNC_SIM, else build/tools/cnc-sim.
#include "cnc/control_client.h"
#include "cnc/qt/local_control_transport.h"
#include "cnc/remote_control.h"
#include "run_benchmarks.h"

#include <QCoreApplication>
#include <QProcess>
#include <QTemporaryDir>
#include <algorithm>
#include <benchmark/benchmark.h>
#include <chrono>
#include <fstream>
#include <memory>
#include <vector>

namespace {

using namespace quorlan;

const std::string kLine = "#161=FLANGE.CNC;#162= ;#164=1;#165=1;#281=;#171=1;#284=0;#285=;#280=;#168=600;#169=400;"
                          "#170=18;#282= ;#283=;#223= ;#277=;#278=;#279=;";

// cnc-sim serving on a socket of its own for the length of one benchmark.
class ServedControl {
public:
    ServedControl() {
        const QString program = qEnvironmentVariableIsEmpty("QUORLAN_CNC_SIM")
                                    ? QStringLiteral("build/tools/cnc-sim")
                                    : qEnvironmentVariable("QUORLAN_CNC_SIM");
        m_process.start(program, {QStringLiteral("--unattended"), QStringLiteral("--listen"), socket()});
        while (m_process.waitForReadyRead(5000) && !m_process.readAllStandardOutput().contains("serving")) {
        }
        remote = std::make_unique<cnc::RemoteControl>(
            std::make_shared<cnc::ControlClient>(std::make_unique<cnc::LocalControlTransport>(socket())));
    }
    ~ServedControl() {
        remote.reset();
        m_process.kill();
        m_process.waitForFinished();
    }

    QString socket() const { return m_folder.filePath(QStringLiteral("cnc.sock")); }
    std::string file(const QString& name) const { return m_folder.filePath(name).toStdString(); }

    std::unique_ptr<cnc::RemoteControl> remote;

private:
    QTemporaryDir m_folder;
    QProcess m_process;
};

std::shared_ptr<cnc::ExeList> listOf(ServedControl& control, benchmark::State& state) {
    try {
        return control.remote->createApplication()->NewList();
    } catch (const std::exception& error) {
        state.SkipWithError(error.what());
        return nullptr;
    }
}

// A call that changes nothing: the bare round trip, each timed for the median.
void rowsFromCncSim(benchmark::State& state) {
    ServedControl control;
    if (const auto list = listOf(control, state)) {
        std::vector<double> seconds;
        for (auto _ : state) {
            const auto start = std::chrono::steady_clock::now();
            benchmark::DoNotOptimize(list->Rows());
            seconds.push_back(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
        }
        const auto middle = seconds.begin() + static_cast<std::ptrdiff_t>(seconds.size() / 2);
        std::nth_element(seconds.begin(), middle, seconds.end());
        state.counters["median"] = *middle;
    }
}
BENCHMARK(rowsFromCncSim)->Unit(benchmark::kMicrosecond);

// A line added, with cnc-sim's Work List window following its list; the list is emptied now and
// then so that it stays short.
void addLineToCncSim(benchmark::State& state) {
    ServedControl control;
    if (const auto list = listOf(control, state)) {
        std::size_t added = 0;
        for (auto _ : state) {
            list->AddLine(kLine);
            if (++added % 20 == 0) {
                list->Clear();
            }
        }
    }
}
BENCHMARK(addLineToCncSim)->Unit(benchmark::kMicrosecond);

// A line added while the list already holds 10, 1,000 or 10,000 rows, with cnc-sim's Work List
// window shown: a call must not cost more for a longer list. The line is deleted again, untimed.
void addLineToCncSimWithRows(benchmark::State& state) {
    ServedControl control;
    const auto list = listOf(control, state);
    if (!list) {
        return;
    }
    const std::string path = control.file(QStringLiteral("rows.lst"));
    {
        std::ofstream file(path, std::ios::binary);
        for (std::int64_t row = 0; row < state.range(0); ++row) {
            file << kLine << "\r\n";
        }
    }
    try {
        control.remote->createApplication()->OpenList(path);
        list->SetVisible(true);
        const auto rows = static_cast<std::int32_t>(state.range(0));
        for (auto _ : state) {
            list->AddLine(kLine);
            state.PauseTiming();
            list->DelLine(rows + 1);
            state.ResumeTiming();
        }
    } catch (const std::exception& error) {
        state.SkipWithError(error.what());
    }
}
BENCHMARK(addLineToCncSimWithRows)->ArgName("rows")->Arg(10)->Arg(1000)->Arg(10000)->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    return quorlan::bench::runBenchmarks(argc, argv);
}
