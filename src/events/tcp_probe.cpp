#include "events/tcp_probe.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <netdb.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace quorlan::events {

namespace {

using Clock = std::chrono::steady_clock;

struct AddressList {
    addrinfo* first = nullptr;
    ~AddressList() {
        if (first != nullptr) {
            freeaddrinfo(first);
        }
    }
};

class Socket {
public:
    explicit Socket(int fd) : m_fd(fd) {}
    ~Socket() {
        if (m_fd >= 0) {
            ::close(m_fd);
        }
    }
    Socket(const Socket&) = delete;
    Socket& operator=(const Socket&) = delete;
    int fd() const { return m_fd; }

private:
    int m_fd;
};

// 0 when connected; else the errno that says why (ETIMEDOUT when the time was up).
int connectWithin(const addrinfo& address, Clock::time_point deadline) {
    Socket socket(::socket(address.ai_family, address.ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC, address.ai_protocol));
    if (socket.fd() < 0) {
        return errno;
    }
    if (::connect(socket.fd(), address.ai_addr, address.ai_addrlen) == 0) {
        return 0;
    }
    if (errno != EINPROGRESS) {
        return errno;
    }
    pollfd waiting{socket.fd(), POLLOUT, 0};
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (left <= 0) {
            return ETIMEDOUT;
        }
        const int ready = ::poll(&waiting, 1, static_cast<int>(left));
        if (ready > 0) {
            break;
        }
        if (ready < 0 && errno != EINTR) {
            return errno;
        }
    }
    int error = 0;
    socklen_t size = sizeof(error);
    if (::getsockopt(socket.fd(), SOL_SOCKET, SO_ERROR, &error, &size) != 0) {
        return errno;
    }
    return error;
}

} // namespace

std::optional<std::string> probeTcp(const std::string& host, int port, std::chrono::milliseconds timeout) {
    const std::string where = host + ":" + std::to_string(port);
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    AddressList addresses;
    const int lookup = ::getaddrinfo(host.c_str(), std::to_string(port).c_str(), &hints, &addresses.first);
    if (lookup != 0) {
        if (lookup == EAI_NONAME || lookup == EAI_NODATA || lookup == EAI_FAIL) {
            return "the broker's host name " + host + " is not known";
        }
        return "the broker's host name " + host + " cannot be looked up: " + gai_strerror(lookup);
    }
    const auto deadline = Clock::now() + timeout;
    int error = 0;
    for (const addrinfo* address = addresses.first; address != nullptr; address = address->ai_next) {
        error = connectWithin(*address, deadline);
        if (error == 0) {
            return std::nullopt;
        }
    }
    switch (error) {
    case ECONNREFUSED:
        return "no broker answers at " + where + " (connection refused)";
    case ETIMEDOUT:
        return "the broker " + where + " did not answer within " + std::to_string(timeout.count() / 1000) + " s";
    default:
        return "the broker " + where + " cannot be reached: " + std::strerror(error);
    }
}

} // namespace quorlan::events
