// How the station reaches a control that runs as its own process (cnc-sim): every operation of
// Application and ExeList, and the two ways of creating objects, cross a local socket as one
// request and one reply. The coding here is plain bytes, so that it can be tested and fuzzed
// without a socket.
//
// Frames. Each message is a 4-byte big-endian length followed by that many bytes of body. A body
// is at most kMaxFrameBody bytes; a longer length is a protocol error, after which the receiver
// closes the connection, since it can no longer find where the next frame starts.
//
// Values. Integers are big-endian: u8, u32, i32. A string is a u32 byte count and the bytes, text
// in the station's code page with no conversion. A value is a tag byte and what it holds:
//   'N'                      nothing (the result of an operation that returns none)
//   'B' u8 (0 or 1)          Boolean
//   'I' i32                  integer (16-bit results travel as 32-bit and must fit)
//   'S' string               text
//   'L' u32 count, strings   list of texts (ColumnInfo)
//   'O' u32 handle           an object of the control; handle 0 is no object (NewList may say so)
//
// Request body: 'Q', u32 call number, u32 object handle, u8 operation, u8 argument count, the
// arguments. Handle 0 addresses the control itself, for CreateApplication and CreateObject
// (argument: the ProgID). Each object created for a connection gets a new handle, valid on that
// connection only; the server forgets them all when the connection ends.
//
// Reply body: 'R', u32 call number of the request it answers, i32 error number (0 for success),
// then the result value on success or the error's description string on failure. The server
// answers requests in the order they came. Release (operation 255) gets no reply: the server
// forgets the handle.
//
// Operations (their codes in control_operations.h) take the arguments of the interfaces in control.h,
// in their order: Booleans as 'B', integers as 'I', texts as 'S'.
//
// The station waits a bounded time for each reply (see the socket adapter) and takes a reply
// whose call number it no longer waits for as late and drops it.
#pragma once

#include "cnc/control_operations.h"

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace quorlan::cnc::protocol {

inline constexpr std::uint32_t kMaxFrameBody = 4u << 20; // a list line may carry a scan of up to 1 MiB

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

struct Request {
    std::uint32_t call = 0;
    std::uint32_t object = 0;
    Operation operation = Operation::CreateApplication;
    std::vector<Value> arguments;
};

struct Reply {
    std::uint32_t call = 0;
    std::int32_t error = 0;
    std::string description; // only with an error
    Value result;            // only without one
};

// A body that is not what it claims to be, or a frame too long: the connection cannot go on.
class ProtocolError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Whole frames, length included.
std::string encodeRequest(const Request& request);
std::string encodeReply(const Reply& reply);

// Bodies without the length; throw ProtocolError for anything malformed, trailing bytes included.
Request decodeRequest(std::string_view body);
Reply decodeReply(std::string_view body);

// Cuts a byte stream, fed as it arrives, into frame bodies.
class FrameReader {
public:
    void append(std::string_view bytes);
    // The next whole body, if one has arrived. Throws ProtocolError for a length over kMaxFrameBody.
    std::optional<std::string> next();
    bool empty() const { return m_start == m_buffer.size(); }

private:
    std::string m_buffer;
    std::size_t m_start = 0;
};

} // namespace quorlan::cnc::protocol
