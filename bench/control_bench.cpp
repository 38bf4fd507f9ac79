// What the control's guarantees cost on its serving end, per call, in the same run: a request
// answered by the bare session (as before calls had identities and outcomes), and the same request
// through a served connection, which also finds its session, records the outcome and asks the
// kernel whether the peer has hung up (a real local socket pair).
#include "cnc/control_protocol.h"
#include "cnc/control_session.h"
#include "cnc/simulator.h"
#include "platform/socket_peer.h"

#include <benchmark/benchmark.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

using namespace quorlan::cnc;

const std::string kLine = "#161=FLANGE.CNC;#162= ;#164=1;#165=1;#281=;#171=1;#284=0;#285=;#280=;#168=600;#169=400;"
                          "#170=18;#282= ;#283=;#223= ;#277=;#278=;#279=;";

std::string bodyOf(const std::string& frame) {
    return frame.substr(4);
}

void callAnsweredByTheBareSession(benchmark::State& state) {
    Simulator simulator;
    ControlSession session(simulator);
    session.answer({1, 0, Operation::CreateObject, {std::string(kExeListProgId)}});
    std::uint32_t call = 1;
    for (auto _ : state) {
        const std::string frame = protocol::encodeRequest({++call, 1, Operation::Rows, {}});
        benchmark::DoNotOptimize(session.answer(protocol::decodeRequest(bodyOf(frame))));
    }
}
BENCHMARK(callAnsweredByTheBareSession);

void callThroughASessionWithOutcomesAndHangUpCheck(benchmark::State& state) {
    int pair[2];
    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, pair) != 0) {
        state.SkipWithError("no socket pair");
        return;
    }
    Simulator simulator;
    ControlService service(simulator);
    const auto connection = service.connect();
    const int fd = pair[0];
    const auto stillThere = [fd] { return !quorlan::platform::peerHungUp(fd); };
    connection->receive(protocol::encodeHello({}), stillThere);
    connection->receive(protocol::encodeRequest({1, 0, Operation::CreateObject, {std::string(kExeListProgId)}}),
                        stillThere);
    std::uint32_t call = 1;
    for (auto _ : state) {
        const std::string frame = protocol::encodeRequest({++call, 1, Operation::Rows, {}});
        benchmark::DoNotOptimize(connection->receive(frame, stillThere));
    }
    ::close(pair[0]);
    ::close(pair[1]);
}
BENCHMARK(callThroughASessionWithOutcomesAndHangUpCheck);

} // namespace
