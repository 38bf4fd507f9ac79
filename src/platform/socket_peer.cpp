#include "platform/socket_peer.h"

#include "platform/runtime_folder.h"

#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace quorlan::platform {

std::optional<uid_t> peerUser(int fd) {
    struct ucred credentials {};
    socklen_t size = sizeof credentials;
    if (::getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &credentials, &size) != 0 || size != sizeof credentials) {
        return std::nullopt;
    }
    return credentials.uid;
}

std::string foreignPeer(int fd, const std::string& what) {
    const auto peer = peerUser(fd);
    if (!peer) {
        return "the system cannot tell which user runs " + what;
    }
    const uid_t self = ::geteuid();
    if (*peer == self) {
        return {};
    }
    return what + " runs as user " + userNameOf(*peer) + " (" + std::to_string(*peer) + "), not as " +
           userNameOf(self) + " (" + std::to_string(self) + ")";
}

bool peerHungUp(int fd) {
    if (fd < 0) {
        return true; // closed on this side already
    }
    struct pollfd probe {
        fd, POLLRDHUP, 0
    };
    return ::poll(&probe, 1, 0) > 0 && (probe.revents & (POLLRDHUP | POLLHUP | POLLERR | POLLNVAL)) != 0;
}

} // namespace quorlan::platform
