#include "platform/ordinary_file.h"

#include <cerrno>
#include <unistd.h>

namespace quorlan::platform {

NotAFile::NotAFile(mode_t mode) : StationError(errc::kPathFileAccess, "Not a file but " + fileKind(mode)) {}

FileDescriptor::~FileDescriptor() {
    if (m_fd >= 0) {
        ::close(m_fd);
    }
}

FileDescriptor& FileDescriptor::operator=(FileDescriptor&& other) noexcept {
    if (this != &other) {
        close();
        m_fd = other.release();
    }
    return *this;
}

int FileDescriptor::release() {
    const int fd = m_fd;
    m_fd = -1;
    return fd;
}

bool FileDescriptor::close() {
    return m_fd < 0 || ::close(release()) == 0;
}

FileInputBuffer::int_type FileInputBuffer::underflow() {
    ssize_t count = 0;
    do {
        count = ::read(m_fd, m_buffer.data(), m_buffer.size());
    } while (count < 0 && errno == EINTR);
    if (count < 0) {
        throw StationError(errc::kDeviceIo);
    }
    if (count == 0) {
        return traits_type::eof();
    }
    setg(m_buffer.data(), m_buffer.data(), m_buffer.data() + count);
    return traits_type::to_int_type(m_buffer[0]);
}

} // namespace quorlan::platform
