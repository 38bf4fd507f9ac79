// Who is at the other end of a local socket, as the kernel vouches for it (SO_PEERCRED): the
// station only talks to a control run by its own user, and cnc-sim only serves that user.
#pragma once

#include <optional>
#include <string>
#include <sys/types.h>

namespace quorlan::platform {

// The user of the process at the other end of the connected local socket fd; none when the
// kernel cannot tell.
std::optional<uid_t> peerUser(int fd);

// Why the peer of fd must not be trusted (another user, or one that cannot be told), or an empty
// string when it runs as this process's user. what names the peer for the message ("the control").
std::string foreignPeer(int fd, const std::string& what);

// Whether the peer of the connected stream socket fd has closed or shut down its end. Bytes it
// sent before may still wait unread.
bool peerHungUp(int fd);

} // namespace quorlan::platform
