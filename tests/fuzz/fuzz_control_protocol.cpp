// Bytes from the other end of the control's socket, either way: cut into frames, decoded as
// greetings, requests, replies, pings and pongs (what decodes must code back to the same), and served by the
// control's service over the simulator, which must refuse or answer but never fail otherwise.
#include "cnc/control_protocol.h"
#include "cnc/control_session.h"
#include "cnc/simulator.h"
#include "fuzz_station.h"
#include "platform/clock.h"

#include <cstdint>
#include <string_view>

namespace {

using namespace quorlan::cnc;

std::string body(const std::string& frame) {
    return frame.substr(4);
}

// What decodes must code back to the very same bytes.
template <typename Decode, typename Encode>
void checkCodesBack(const std::string& bytes, Decode decode, Encode encode, const char* what) {
    try {
        if (body(encode(decode(bytes))) != bytes) {
            quorlan::fuzzing::broken(std::string(what) + " does not code back to its bytes", bytes);
        }
    } catch (const protocol::ProtocolError&) {
    }
}

// Answers must be whole frames of greetings, replies and pongs.
void checkAnswers(const std::string& answers) {
    protocol::FrameReader frames;
    frames.append(answers);
    while (const auto frame = frames.next()) {
        switch (protocol::kindOf(*frame).value_or(protocol::BodyKind::Reply)) {
        case protocol::BodyKind::Welcome:
            protocol::decodeWelcome(*frame);
            break;
        case protocol::BodyKind::Pong:
            protocol::decodePong(*frame);
            break;
        default:
            protocol::decodeReply(*frame);
        }
    }
    if (!frames.empty()) {
        quorlan::fuzzing::broken("answers are no whole frames", answers);
    }
}

// The control's clock stands still at a time the seeds' requests name, so that they run; a request
// that names an earlier one comes too late.
class StillClock final : public quorlan::platform::Clock {
public:
    std::int64_t wallMs() override { return 0; }
    std::int64_t steadyMs() override { return 1000000; }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    Simulator simulator;
    StillClock clock;
    ControlService service(simulator, {}, &clock);
    auto connection = service.connect();
    protocol::FrameReader frames;
    std::string_view input(reinterpret_cast<const char*>(data), size);
    // The first byte sets the size of the pieces the rest arrives in.
    if (input.empty()) {
        return 0;
    }
    const std::size_t piece = 1 + static_cast<unsigned char>(input.front());
    input.remove_prefix(1);
    try {
        for (std::size_t at = 0; at < input.size(); at += piece) {
            const std::string_view bytes = input.substr(at, piece);
            frames.append(bytes);
            while (const auto frame = frames.next()) {
                checkCodesBack(*frame, protocol::decodeRequest, protocol::encodeRequest, "request");
                checkCodesBack(*frame, protocol::decodeReply, protocol::encodeReply, "reply");
                checkCodesBack(*frame, protocol::decodeHello, protocol::encodeHello, "greeting");
                checkCodesBack(*frame, protocol::decodeWelcome, protocol::encodeWelcome, "welcome");
                checkCodesBack(*frame, protocol::decodePong, protocol::encodePong, "pong");
            }
            checkAnswers(connection->receive(bytes, [] { return true; }));
        }
    } catch (const protocol::ProtocolError&) {
        // refused: the server closes such a connection
    }
    if (service.objectCount() > ControlSession::kMaxObjects) {
        quorlan::fuzzing::broken("session holds more objects than allowed", std::to_string(service.objectCount()));
    }
    return 0;
}
