// One call of the control across the local socket to cnc-sim in its own process, as the station
// makes it with --cnc local:NAME: coding, the round trip, the simulator's work and the reply. The
// same call across the authenticated link on TCP (--cnc tcp:HOST:PORT), to cnc-sim and to
// quorlan-bridge.exe under Wine with the stand-in for the control's server, in process and as a
// server process of its own. cnc-sim is taken from $QUORLAN_CNC_SIM, else build/tools/cnc-sim; the
// bridge from $QUORLAN_BRIDGE, run in $WINEPREFIX, where the stand-in must be registered (the
// bridge's benchmarks are skipped without them).
#include "cnc/authenticated_transport.h"
#include "cnc/control_client.h"
#include "cnc/control_key.h"
#include "cnc/qt/local_control_transport.h"
#include "cnc/qt/tcp_control_transport.h"
#include "cnc/remote_control.h"
#include "run_benchmarks.h"

#include <QCoreApplication>
#include <QProcess>
#include <QProcessEnvironment>
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

// How the control is served, and where.
enum class Served { LocalSocket, Tcp, BridgeInProcess, BridgeServerProcess };

// The control served for the length of one benchmark.
class ServedControl {
public:
    explicit ServedControl(Served served = Served::LocalSocket) {
        const QString cncSim = qEnvironmentVariableIsEmpty("QUORLAN_CNC_SIM") ? QStringLiteral("build/tools/cnc-sim")
                                                                              : qEnvironmentVariable("QUORLAN_CNC_SIM");
        std::unique_ptr<cnc::ControlTransport> transport;
        if (served == Served::LocalSocket) {
            start(cncSim, {QStringLiteral("--unattended"), QStringLiteral("--listen"), socket()});
            transport = std::make_unique<cnc::LocalControlTransport>(socket());
        } else {
            const std::string keyFile = file(QStringLiteral("control.key"));
            cnc::writeNewControlKey(keyFile);
            const QString key = QString::fromStdString(keyFile);
            QStringList bridge{qEnvironmentVariable("QUORLAN_BRIDGE"), QStringLiteral("--listen"),
                               QStringLiteral("tcp:127.0.0.1:0"), QStringLiteral("--key"),
                               QStringLiteral("Z:") + QString(key).replace(QLatin1Char('/'), QLatin1Char('\\'))};
            if (served == Served::BridgeServerProcess) {
                bridge.append(QStringLiteral("--server-process"));
            }
            if (served != Served::Tcp &&
                (qEnvironmentVariableIsEmpty("QUORLAN_BRIDGE") || qEnvironmentVariableIsEmpty("WINEPREFIX"))) {
                problem = "QUORLAN_BRIDGE and WINEPREFIX (with the stand-in registered) are not set";
                return;
            }
            const int port = served == Served::Tcp
                                 ? start(cncSim, {QStringLiteral("--unattended"), QStringLiteral("--listen"),
                                                  QStringLiteral("tcp:127.0.0.1:0"), QStringLiteral("--key"), key})
                                 : start(QStringLiteral("wine"), bridge);
            transport = std::make_unique<cnc::AuthenticatedTransport>(
                std::make_unique<cnc::TcpControlTransport>(QStringLiteral("127.0.0.1"), static_cast<quint16>(port)),
                cnc::readControlKey(keyFile));
        }
        remote = std::make_unique<cnc::RemoteControl>(std::make_shared<cnc::ControlClient>(std::move(transport)));
    }
    ~ServedControl() {
        remote.reset();
        m_process.kill();
        m_process.waitForFinished();
    }

    QString socket() const { return m_folder.filePath(QStringLiteral("cnc.sock")); }
    std::string file(const QString& name) const { return m_folder.filePath(name).toStdString(); }

    std::unique_ptr<cnc::RemoteControl> remote;
    std::string problem; // why it is not served

private:
    // Starts the server and waits until it serves; the TCP port it tells, 0 for none.
    int start(const QString& program, const QStringList& arguments) {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("WINEDEBUG"), QStringLiteral("-all"));
        environment.remove(QStringLiteral("QUORLAN_CNC_JOURNAL"));
        m_process.setProcessEnvironment(environment);
        m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_process.start(program, arguments);
        QByteArray told;
        while (!told.contains("serving") && m_process.waitForReadyRead(30000)) {
            told += m_process.readAllStandardOutput();
        }
        const QByteArray tcp = "tcp:127.0.0.1:";
        const qsizetype at = told.indexOf(tcp);
        return at < 0 ? 0 : told.mid(at + tcp.size()).split(';').front().toInt();
    }

    QTemporaryDir m_folder;
    QProcess m_process;
};

std::shared_ptr<cnc::ExeList> listOf(ServedControl& control, benchmark::State& state) {
    if (!control.problem.empty()) {
        state.SkipWithError(control.problem.c_str());
        return nullptr;
    }
    try {
        return control.remote->createApplication()->NewList();
    } catch (const std::exception& error) {
        state.SkipWithError(error.what());
        return nullptr;
    }
}

// The share of single runs below which the given fraction lies.
double quantile(std::vector<double>& seconds, double fraction) {
    const auto at = seconds.begin() + static_cast<std::ptrdiff_t>(static_cast<double>(seconds.size() - 1) * fraction);
    std::nth_element(seconds.begin(), at, seconds.end());
    return *at;
}

// A call that changes nothing: the bare round trip, each timed for the median and the 99th
// percentile.
void rowsFrom(benchmark::State& state, Served served) {
    ServedControl control(served);
    if (const auto list = listOf(control, state)) {
        std::vector<double> seconds;
        for (auto _ : state) {
            const auto start = std::chrono::steady_clock::now();
            benchmark::DoNotOptimize(list->Rows());
            seconds.push_back(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
        }
        state.counters["median"] = quantile(seconds, 0.5);
        state.counters["p99"] = quantile(seconds, 0.99);
    }
}
void rowsFromCncSim(benchmark::State& state) {
    rowsFrom(state, Served::LocalSocket);
}
BENCHMARK(rowsFromCncSim)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(rowsFrom, cncSimOverTcp, Served::Tcp)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(rowsFrom, bridgeInProcess, Served::BridgeInProcess)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(rowsFrom, bridgeServerProcess, Served::BridgeServerProcess)->Unit(benchmark::kMicrosecond);

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
