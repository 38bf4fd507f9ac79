// How the station reaches a control that runs as its own process (cnc-sim here, the bridge on the
// control's PC): every operation of Application and ExeList, and the two ways of creating objects,
// cross a connection as one request and one reply. The coding here is plain bytes, so that it can
// be tested and fuzzed without a socket.
//
// Frames. Each message is a 4-byte big-endian length followed by that many bytes of body. A body
// is at most kMaxFrameBody bytes; a longer length is a protocol error, after which the receiver
// closes the connection, since it can no longer find where the next frame starts.
//
// Values. Integers are big-endian: u8, u32, i32. A string is a u32 byte count and the bytes, text
// in the station's code page with no conversion. A token is 16 bytes. A value is a tag byte and
// what it holds:
//   'N'                      nothing (the result of an operation that returns none)
//   'B' u8 (0 or 1)          Boolean
//   'I' i32                  integer (16-bit results travel as 32-bit and must fit)
//   'S' string               text
//   'L' u32 count, strings   list of texts (ColumnInfo)
//   'O' u32 handle           an object of the control; handle 0 is no object (NewList may say so)
//
// Sessions. The station's objects and what became of its calls belong to a session, which the
// control keeps across connections: a connection that ends does not take the station's list with
// it. Every connection begins with a greeting and its answer:
//   Hello:   'H', u32 protocol version (kVersion), u32 the station's bound in ms (how long it waits
//            for an answer, 1 to kMaxBoundMs), token of the session to resume (all zero for a new
//            one), u32 count, that many u32 call numbers whose outcome the station asks for
//   Welcome: 'W', token of the session now attached, u8 resumed (1 when the asked session was
//            found with its objects, 0 when it is a new one), u64 the control's clock, u32 count,
//            then for each asked call: u32 call number, u8 outcome ('R' ran, 'N' never ran and
//            never will, 'F' forgotten), and after 'R' its i32 error number (0 for success)
// A session is attached to one connection at a time: the greeting that resumes it detaches it
// from the connection it had, whose requests are never run from then on. A session that is not
// resumed (unknown token: the control was restarted, or dropped it to make room) means that every
// object of the old one is gone; only then does the station make its list anew.
//
// The control's clock is its own steady clock in milliseconds, which nothing sets back. The
// control tells it with every welcome, reply and pong; the station, which has no other clock in
// common with the control, reckons from the last one told and its own steady clock how far the
// control's clock has gone when it sends a request, and sends that along.
//
// Request body: 'Q', u32 call number, u64 the control's clock as the station reckons it at sending,
// u32 object handle, u8 operation, u8 argument count, the arguments. Handle 0 addresses the
// control itself, for CreateApplication and CreateObject (argument: the ProgID). Objects live in
// the session; their handles are valid in it alone. Call numbers rise within a session; the
// control remembers the outcome of the last kRememberedCalls calls that it ran.
//
// Reply body: 'R', u32 call number of the request it answers, u64 the control's clock, i32 error
// number (0 for success), then the result value on success or the error's description string on
// failure. The server answers requests in the order they came. Release (operation 255) gets no
// reply: the server forgets the handle.
//
// Ping: 'P', and its Pong: 'T', u64 the control's clock. It runs nothing; the station asks for the
// clock when the one it holds is older than kClockLifeMs, so that the reckoning stays close.
//
// Operations (their codes in control_operations.h) take the arguments of the interfaces in
// control.h, in their order: Booleans as 'B', integers as 'I', texts as 'S'.
//
// No late runs, no unknown outcomes. The station waits a bounded time for each reply. When that
// time passes, or the connection fails or carries garbage, the station closes the connection at
// once and holds the call as unresolved. Three rules of the serving end make sure that a call the
// station gave up on never runs afterwards, and that the station learns for certain whether it ran:
//  1. Its time: a request runs only while no more than the station's bound (less a margin of a
//     32nd for clocks that run at slightly different rates) has passed on the control's clock since
//     the clock the request carries. That clock was told before the request was sent, so the
//     request runs before the station gives up, however long it sat in a socket, a stopped
//     process or a network that lost and resent it. A later one gets the error kTooLate and is not
//     run; a station still waiting for it asks for the clock and sends it once more.
//  2. The hang-up: just before running each request the control checks that the peer has not hung
//     up. On a local socket the kernel tells at once (also for bytes that waited while the control
//     was stopped), so a request given up on is dropped unread, however many wait in the socket.
//     Across a network the end of a connection can arrive late, or never: rule 1 holds there alone.
//  3. The takeover: on its next connection the station asks, in its greeting, for the outcome of
//     every unresolved call. The greeting detaches the session from the old connection, whose
//     requests never run from then on, whatever still comes in on it. So the answer is final: a
//     call that ran is in the session's record, and one that did not will not.
// Across a network the link (control_link.h) adds that every frame comes from a holder of the key,
// once, in order and unaltered, within the connection it was sent on; whoever can capture and
// replay, delay or cut frames can at most make calls fail, never run one twice or late.
//
// Bounds of the serving end, per client: a frame of at most kMaxFrameBody bytes, at most
// kMaxRequestsInFlight requests received and not yet answered, at most kMaxUnreadReplyBytes of
// replies the client has not read, at most kMaxClients clients and kMaxSessions sessions. A
// client that exceeds one is disconnected; sessions beyond the bound make room by dropping the
// one detached the longest.
#pragma once

#include "cnc/control_operations.h"

#include <array>
#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace quorlan::cnc::protocol {

inline constexpr std::uint32_t kVersion = 3;
inline constexpr std::uint32_t kMaxFrameBody = 4u << 20; // a list line may carry a scan of up to 1 MiB
inline constexpr std::size_t kMaxRequestsInFlight = 64;
inline constexpr std::size_t kMaxUnreadReplyBytes = 16u << 20;
inline constexpr std::size_t kMaxClients = 16;
inline constexpr std::size_t kMaxSessions = 16;
inline constexpr std::size_t kRememberedCalls = 1024;
// The most calls a greeting may ask about.
inline constexpr std::size_t kMaxAskedCalls = 64;
// The longest bound a station may ask for; a longer wait is no bound an operator would stand.
inline constexpr std::uint32_t kMaxBoundMs = 60000;
// How old the station lets the control's clock that it holds grow before it asks for it again.
inline constexpr std::int64_t kClockLifeMs = 10000;

// The operations and their codes are the table's (control_operations.h).
using cnc::Operation;

// The operation's name as the interface calls it ("AddLine"); "?" for a code that is none.
std::string_view operationName(Operation operation);
// How many arguments the operation takes.
std::size_t argumentCount(Operation operation);

struct ObjectHandle {
    std::uint32_t id = 0;
    bool operator==(const ObjectHandle&) const = default;
};

using Value = std::variant<std::monostate, bool, std::int32_t, std::string, std::vector<std::string>, ObjectHandle>;

// The control's clock, in milliseconds.
using ControlClock = std::uint64_t;

struct Request {
    std::uint32_t call = 0;
    std::uint32_t object = 0;
    Operation operation = Operation::CreateApplication;
    std::vector<Value> arguments;
    ControlClock clock = 0; // as the station reckons it at sending
};

struct Reply {
    std::uint32_t call = 0;
    std::int32_t error = 0;
    std::string description; // only with an error
    Value result;            // only without one
    ControlClock clock = 0;
};

using Token = std::array<std::uint8_t, 16>;

struct Hello {
    std::uint32_t version = kVersion;
    Token session{}; // all zero: a new session
    std::vector<std::uint32_t> asked;
    std::uint32_t boundMs = 2000;
};

enum class CallOutcome : std::uint8_t { Ran = 'R', NeverRan = 'N', Forgotten = 'F' };

struct AskedCall {
    std::uint32_t call = 0;
    CallOutcome outcome = CallOutcome::NeverRan;
    std::int32_t error = 0; // with Ran only
    bool operator==(const AskedCall&) const = default;
};

struct Welcome {
    Token session{};
    bool resumed = false;
    std::vector<AskedCall> answers;
    ControlClock clock = 0;
};

// What a body is, by its first byte.
enum class BodyKind : char { Hello = 'H', Welcome = 'W', Request = 'Q', Reply = 'R', Ping = 'P', Pong = 'T' };
// Nothing for an empty body.
std::optional<BodyKind> kindOf(std::string_view body);

// A body that is not what it claims to be, or a frame too long: the connection cannot go on.
class ProtocolError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// A body with its length in front.
std::string frameOf(std::string_view body);

// Whole frames, length included.
std::string encodeRequest(const Request& request);
std::string encodeReply(const Reply& reply);
std::string encodeHello(const Hello& hello);
std::string encodeWelcome(const Welcome& welcome);
std::string encodePing();
std::string encodePong(ControlClock clock);

// Bodies without the length; throw ProtocolError for anything malformed, trailing bytes included.
Request decodeRequest(std::string_view body);
Reply decodeReply(std::string_view body);
Hello decodeHello(std::string_view body);
Welcome decodeWelcome(std::string_view body);
void decodePing(std::string_view body);
ControlClock decodePong(std::string_view body);

// Cuts a byte stream, fed as it arrives, into frame bodies.
class FrameReader {
public:
    FrameReader() = default;
    explicit FrameReader(std::uint32_t maxBody) : m_maxBody(maxBody) {}
    // From the next frame on, bodies up to maxBody are taken.
    void setMaxBody(std::uint32_t maxBody) { m_maxBody = maxBody; }

    void append(std::string_view bytes);
    // The next whole body, if one has arrived. Throws ProtocolError for a length over the largest
    // body, as soon as the length has arrived.
    std::optional<std::string> next();
    bool empty() const { return m_start == m_buffer.size(); }
    // Whole frames that have arrived and not been taken yet.
    std::size_t waiting() const;

private:
    std::string m_buffer;
    std::size_t m_start = 0;
    std::uint32_t m_maxBody = kMaxFrameBody;
};

} // namespace quorlan::cnc::protocol
