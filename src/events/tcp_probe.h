// Whether a TCP connection to host:port can be made, within a time: asked before a broker session
// starts, so that a broker that is down or out of reach is told apart quickly and in plain words,
// and no attempt waits on the kernel's own connect timeout of minutes.
#pragma once

#include <chrono>
#include <optional>
#include <string>

namespace quorlan::events {

// Nothing when a connection was made (and closed at once); else why not, as "no broker answers
// at host:port (connection refused)".
std::optional<std::string> probeTcp(const std::string& host, int port, std::chrono::milliseconds timeout);

} // namespace quorlan::events
