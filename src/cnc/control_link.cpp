#include "cnc/control_link.h"

#include <algorithm>

namespace quorlan::cnc {

namespace {

using Kind = LinkError::Kind;

constexpr std::string_view kMagic = "QLNK";
constexpr std::size_t kGreetingBytes = 4 + 4 + kNonceBytes;
constexpr std::size_t kControlGreetingBytes = kGreetingBytes + platform::kMacSize;
constexpr std::uint32_t kMaxRecordBody = kMaxRecordPayload + platform::kMacSize;

std::string_view bytesOf(const auto& array) {
    return {reinterpret_cast<const char*>(array.data()), array.size()};
}

std::string bigEndian(std::uint64_t value) {
    std::string bytes;
    for (int shift = 56; shift >= 0; shift -= 8) {
        bytes += static_cast<char>(value >> shift);
    }
    return bytes;
}

std::string greetingBody(std::string_view nonce) {
    return std::string(kMagic) + bigEndian(kLinkVersion).substr(4) + std::string(nonce);
}

// The nonce of a greeting of the given size, after its magic and version are checked.
std::string_view greetingNonce(std::string_view body, std::size_t size, const char* what) {
    if (body.size() != size || body.substr(0, kMagic.size()) != kMagic) {
        throw LinkError(Kind::NotALink, std::string("its first message is not that of ") + what);
    }
    const std::string version(body.substr(4, 4));
    if (version != bigEndian(kLinkVersion).substr(4)) {
        throw LinkError(Kind::OtherVersion, std::string("it is ") + what + " of another version");
    }
    return body.substr(8, kNonceBytes);
}

platform::Mac macOf(std::string_view bytes) {
    platform::Mac mac{};
    std::copy(bytes.begin(), bytes.end(), mac.begin());
    return mac;
}

} // namespace

LinkEnd::LinkEnd(Side side, std::string key)
    : m_side(side), m_key(std::move(key)),
      m_stage(side == Side::Station ? Stage::AwaitingControl : Stage::AwaitingGreeting),
      m_frames(static_cast<std::uint32_t>(kControlGreetingBytes)) {}

std::string LinkEnd::greeting() {
    platform::randomBytes(m_stationNonce);
    return protocol::frameOf(greetingBody(bytesOf(m_stationNonce)));
}

std::string LinkEnd::receive(std::string_view bytes, std::string& payload) {
    m_heard = m_heard || !bytes.empty();
    m_frames.append(bytes);
    std::string answer;
    while (true) {
        std::optional<std::string> body;
        try {
            body = m_frames.next();
        } catch (const protocol::ProtocolError& error) {
            throw LinkError(established() ? Kind::Broken : Kind::NotALink, error.what());
        }
        if (!body) {
            return answer;
        }
        if (established()) {
            open(*body, payload);
        } else {
            answer += handshake(*body);
        }
    }
}

std::string LinkEnd::handshake(std::string_view body) {
    switch (m_stage) {
    case Stage::AwaitingGreeting:
        return answerGreeting(body);
    case Stage::AwaitingControl:
        return checkControl(body);
    case Stage::AwaitingProof:
        checkProof(body);
        return {};
    case Stage::Established:
        break;
    }
    return {};
}

std::string LinkEnd::answerGreeting(std::string_view body) {
    const std::string_view nonce = greetingNonce(body, kGreetingBytes, "a station");
    std::copy(nonce.begin(), nonce.end(), m_stationNonce.begin());
    platform::randomBytes(m_controlNonce);
    m_stage = Stage::AwaitingProof;
    return protocol::frameOf(greetingBody(bytesOf(m_controlNonce)) +
                             std::string(bytesOf(proof("quorlan control proof"))));
}

std::string LinkEnd::checkControl(std::string_view body) {
    const std::string_view nonce = greetingNonce(body, kControlGreetingBytes, "a bridge");
    std::copy(nonce.begin(), nonce.end(), m_controlNonce.begin());
    if (!platform::sameMac(macOf(body.substr(kGreetingBytes)), proof("quorlan control proof"))) {
        throw LinkError(Kind::WrongKey, "it holds another key");
    }
    deriveConnectionKey();
    return protocol::frameOf(bytesOf(proof("quorlan station proof")));
}

void LinkEnd::checkProof(std::string_view body) {
    if (body.size() != platform::kMacSize) {
        throw LinkError(Kind::NotALink, "its proof is no proof");
    }
    if (!platform::sameMac(macOf(body), proof("quorlan station proof"))) {
        throw LinkError(Kind::WrongKey, "it holds another key");
    }
    deriveConnectionKey();
}

void LinkEnd::deriveConnectionKey() {
    m_connectionKey = std::string(bytesOf(proof("quorlan link key")));
    m_stage = Stage::Established;
    m_frames.setMaxBody(kMaxRecordBody);
}

platform::Mac LinkEnd::proof(std::string_view label) const {
    return platform::hmacSha256(m_key, {label, bytesOf(m_stationNonce), bytesOf(m_controlNonce)});
}

void LinkEnd::open(std::string_view body, std::string& payload) {
    if (body.size() < platform::kMacSize) {
        throw LinkError(Kind::Broken, "a record too short to be signed");
    }
    const std::string_view carried = body.substr(0, body.size() - platform::kMacSize);
    const std::string_view direction = m_side == Side::Station ? "C" : "S";
    const platform::Mac expected = platform::hmacSha256(m_connectionKey, {direction, bigEndian(m_received), carried});
    if (!platform::sameMac(macOf(body.substr(carried.size())), expected)) {
        throw LinkError(Kind::Broken, "record " + std::to_string(m_received) +
                                          " is not as it was sent (altered, played back or out of order)");
    }
    ++m_received;
    payload += carried;
}

std::string LinkEnd::seal(std::string_view payload) {
    const std::string_view direction = m_side == Side::Station ? "S" : "C";
    std::string records;
    do {
        const std::string_view piece = payload.substr(0, kMaxRecordPayload);
        payload.remove_prefix(piece.size());
        const platform::Mac mac = platform::hmacSha256(m_connectionKey, {direction, bigEndian(m_sent++), piece});
        records += protocol::frameOf(std::string(piece) + std::string(bytesOf(mac)));
    } while (!payload.empty());
    return records;
}

} // namespace quorlan::cnc
