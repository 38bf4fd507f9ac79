#include "device.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <stdexcept>
#include <termios.h>
#include <unistd.h>

namespace quorlan::scan_tool {

namespace {

speed_t speedFor(int baud) {
    switch (baud) {
    case 300:
        return B300;
    case 1200:
        return B1200;
    case 2400:
        return B2400;
    case 4800:
        return B4800;
    case 19200:
        return B19200;
    case 38400:
        return B38400;
    case 57600:
        return B57600;
    case 115200:
        return B115200;
    default:
        return B9600;
    }
}

int millisecondsUntil(std::chrono::steady_clock::time_point deadline) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    return left.count() > 0 ? static_cast<int>(left.count()) : 0;
}

} // namespace

ScannerLine::ScannerLine(const std::string& device, int baud) : m_device(device) {
    m_fd = ::open(device.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (m_fd < 0) {
        throw std::runtime_error("cannot open " + device + ": " + std::strerror(errno));
    }
    termios tty{};
    if (tcgetattr(m_fd, &tty) == 0) {
        cfmakeraw(&tty);
        cfsetispeed(&tty, speedFor(baud));
        cfsetospeed(&tty, speedFor(baud));
        tcsetattr(m_fd, TCSANOW, &tty);
    }
}

ScannerLine::~ScannerLine() {
    ::close(m_fd);
}

void ScannerLine::discardInput() {
    tcflush(m_fd, TCIFLUSH);
    // A line that is no terminal ignores the flush: read it empty instead.
    char buffer[256];
    while (::read(m_fd, buffer, sizeof buffer) > 0) {
    }
}

void ScannerLine::write(const std::string& bytes) {
    std::size_t sent = 0;
    while (sent < bytes.size()) {
        const ssize_t n = ::write(m_fd, bytes.data() + sent, bytes.size() - sent);
        if (n < 0 && (errno == EAGAIN || errno == EINTR)) {
            pollfd p{m_fd, POLLOUT, 0};
            ::poll(&p, 1, 100);
            continue;
        }
        if (n <= 0) {
            throw std::runtime_error("cannot write to " + m_device + ": " + std::strerror(errno));
        }
        sent += static_cast<std::size_t>(n);
    }
}

std::string ScannerLine::read(std::chrono::steady_clock::time_point deadline) {
    while (true) {
        pollfd p{m_fd, POLLIN, 0};
        const int ready = ::poll(&p, 1, millisecondsUntil(deadline));
        if (ready > 0 && (p.revents & POLLIN) != 0) {
            char buffer[256];
            const ssize_t n = ::read(m_fd, buffer, sizeof buffer);
            if (n > 0) {
                return std::string(buffer, static_cast<std::size_t>(n));
            }
        }
        if (millisecondsUntil(deadline) == 0) {
            return {};
        }
        if (ready > 0 && (p.revents & (POLLHUP | POLLERR)) != 0) {
            // Nobody at the other end: nothing will come, but keep the time the caller asked for.
            ::poll(nullptr, 0, millisecondsUntil(deadline));
        }
    }
}

} // namespace quorlan::scan_tool
