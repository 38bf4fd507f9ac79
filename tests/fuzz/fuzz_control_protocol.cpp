// Bytes from the other end of the control's socket, either way: cut into frames, decoded as
// requests and replies (what decodes must code back to the same), and answered by a session
// over the simulator, which must refuse or answer but never fail otherwise.
#include "cnc/control_protocol.h"
#include "cnc/control_session.h"
#include "cnc/simulator.h"
#include "fuzz_station.h"

#include <cstdint>
#include <string_view>

namespace {

using namespace quorlan::cnc;

std::string body(const std::string& frame) {
    return frame.substr(4);
}

void checkRequest(const std::string& bytes) {
    protocol::Request request;
    try {
        request = protocol::decodeRequest(bytes);
    } catch (const protocol::ProtocolError&) {
        return;
    }
    if (body(protocol::encodeRequest(request)) != bytes) {
        quorlan::fuzzing::broken("request does not code back to its bytes", bytes);
    }
}

void checkReply(const std::string& bytes) {
    protocol::Reply reply;
    try {
        reply = protocol::decodeReply(bytes);
    } catch (const protocol::ProtocolError&) {
        return;
    }
    if (body(protocol::encodeReply(reply)) != bytes) {
        quorlan::fuzzing::broken("reply does not code back to its bytes", bytes);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    Simulator simulator;
    ControlSession session(simulator);
    protocol::FrameReader frames;
    std::string_view input(reinterpret_cast<const char*>(data), size);
    // The first byte sets the size of the pieces the stream arrives in.
    const std::size_t piece = input.empty() ? 1 : 1 + static_cast<unsigned char>(input.front());
    try {
        for (std::size_t at = 0; at < input.size(); at += piece) {
            frames.append(input.substr(at, piece));
            while (const auto frame = frames.next()) {
                checkRequest(*frame);
                checkReply(*frame);
                try {
                    if (const auto reply = session.answer(*frame)) {
                        protocol::decodeReply(body(*reply));
                    }
                } catch (const protocol::ProtocolError&) {
                    // refused: the server closes such a connection
                }
            }
        }
    } catch (const protocol::ProtocolError&) {
        // a frame longer than allowed ends the stream
    }
    if (session.objectCount() > ControlSession::kMaxObjects) {
        quorlan::fuzzing::broken("session holds more objects than allowed", std::to_string(session.objectCount()));
    }
    return 0;
}
