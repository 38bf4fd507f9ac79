// A control's network address as the station (--cnc, ControlAddress), cnc-sim and the bridge
// (--listen) write it: "tcp:HOST:PORT". An IPv6 address goes in brackets, "tcp:[fe80::1]:4711", so
// that its colons are told from the port's.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace quorlan::cnc {

inline constexpr std::string_view kTcpScheme = "tcp:";

struct TcpAddress {
    std::string host; // without the brackets of an IPv6 address
    std::uint16_t port = 0;
};

// Whether text names a network address at all (begins with "tcp:"), well formed or not.
bool isTcpAddress(std::string_view text);

// HOST and PORT of "tcp:HOST:PORT" with a HOST and a PORT of 0 to 65535 (0 asks a server for any
// free port); nothing for anything else.
std::optional<TcpAddress> parseTcpAddress(std::string_view text);

} // namespace quorlan::cnc
