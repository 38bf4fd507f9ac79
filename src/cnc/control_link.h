// The control link across a network: the control protocol's bytes (control_protocol.h), carried
// between the station and the bridge on the control's PC only once each end has shown that it
// holds the key they share (control_key.h), and every piece signed so that nothing else gets
// through. The coding here is plain bytes, so that it can be tested without a socket.
//
// Handshake. Each message is a frame as the protocol's (a 4-byte big-endian length and the body),
// of exactly the size given:
//   station -> control   "QLNK", u32 link version (kLinkVersion), 32-byte station nonce
//   control -> station   "QLNK", u32 link version, 32-byte control nonce, control proof
//   station -> control   station proof
// where, with HMAC-SHA256 under the shared key and both nonces as the station sent them first:
//   control proof   = HMAC(key, "quorlan control proof" | station nonce | control nonce)
//   station proof   = HMAC(key, "quorlan station proof" | station nonce | control nonce)
//   connection key  = HMAC(key, "quorlan link key" | station nonce | control nonce)
// Nonces are fresh random bytes, so a proof is good for its own connection alone: one recorded
// and played back to a new connection meets a new nonce and fails. The control proves first, so a
// station whose key differs can say so at once; a control that finds the station's proof wrong
// closes the connection.
//
// Records. After the handshake each side sends the protocol's bytes in records, each a frame whose
// body is the payload followed by a 32-byte MAC:
//   MAC = HMAC(connection key, direction | u64 sequence number | payload)
// The direction is 'S' from the station and 'C' from the control; the sequence number counts the
// records sent that way from 0 and is not sent, as each end knows which comes next. A record whose
// MAC does not agree (altered, played back, out of order, from another connection or the other
// direction) ends the connection, and nothing of it is used.
//
// What the link does not do: it does not encrypt. Whoever can watch the network can read the work
// list's lines, not change or add any.
#pragma once

#include "cnc/control_protocol.h"
#include "platform/crypto.h"

#include <array>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>

namespace quorlan::cnc {

inline constexpr std::uint32_t kLinkVersion = 1;
inline constexpr std::size_t kNonceBytes = 32;
// The most of the protocol's bytes one record carries: one whole frame of the protocol.
inline constexpr std::size_t kMaxRecordPayload = protocol::kMaxFrameBody + 4;

class LinkError : public std::runtime_error {
public:
    enum class Kind {
        NotALink,     // the other end's first message is no link greeting: it speaks something else
        OtherVersion, // it speaks another version of the link
        WrongKey,     // its proof does not agree: it holds another key
        Broken,       // a record that is not as it was sent, or a frame too long
    };
    LinkError(Kind kind, const std::string& what) : std::runtime_error(what), m_kind(kind) {}
    Kind kind() const { return m_kind; }

private:
    Kind m_kind;
};

// One end of one connection.
class LinkEnd final {
public:
    enum class Side { Station, Control };

    // key: the shared key's bytes (parseControlKey, readControlKey).
    LinkEnd(Side side, std::string key);

    // The station's first message, sent as the connection opens.
    std::string greeting();

    // Takes bytes as they arrive. Returns what must be sent back at once (the handshake's next
    // message, if any); what the records carried, in order, is appended to payload. Throws
    // LinkError; the connection must be closed then.
    std::string receive(std::string_view bytes, std::string& payload);

    // Whether the handshake is over: records may be sent and come in. The control's end is
    // established once the station has proved that it holds the key.
    bool established() const { return m_stage == Stage::Established; }
    // Whether anything of the other end's came in.
    bool heard() const { return m_heard; }

    // The protocol's bytes as records, as many as they need.
    std::string seal(std::string_view payload);

private:
    enum class Stage { AwaitingGreeting, AwaitingControl, AwaitingProof, Established };

    std::string handshake(std::string_view body);
    std::string answerGreeting(std::string_view body);
    std::string checkControl(std::string_view body);
    void checkProof(std::string_view body);
    void open(std::string_view body, std::string& payload);
    platform::Mac proof(std::string_view label) const;
    void deriveConnectionKey();

    Side m_side;
    std::string m_key;
    Stage m_stage;
    protocol::FrameReader m_frames;
    std::array<unsigned char, kNonceBytes> m_stationNonce{};
    std::array<unsigned char, kNonceBytes> m_controlNonce{};
    std::string m_connectionKey;
    std::uint64_t m_sent = 0;
    std::uint64_t m_received = 0;
    bool m_heard = false;
};

} // namespace quorlan::cnc
