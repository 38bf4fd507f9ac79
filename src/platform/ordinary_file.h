// Files the station opens by name in folders that others may write in: programs, list files,
// CSV files, the compressed scans' temporary files. Only an ordinary file is taken. A FIFO, a
// device, a folder or a socket under the name is refused at once: opening a FIFO waits for a
// writer for ever, reading one waits for data, and opening a device can act on it.
#pragma once

#include "platform/error.h"

#include <array>
#include <streambuf>
#include <string>
#include <sys/types.h>

namespace quorlan::platform {

// "a FIFO", "a folder", "a device", "a socket", "a symbolic link" or "a file", for messages.
std::string fileKind(mode_t mode);

// Something else than an ordinary file under the name: error 75, "Not a file but a FIFO".
class NotAFile final : public StationError {
public:
    explicit NotAFile(mode_t mode);
};

// Owns an open file and closes it.
class FileDescriptor final {
public:
    explicit FileDescriptor(int fd = -1) : m_fd(fd) {}
    ~FileDescriptor();
    FileDescriptor(FileDescriptor&& other) noexcept : m_fd(other.release()) {}
    FileDescriptor& operator=(FileDescriptor&& other) noexcept;
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;

    int get() const { return m_fd; }
    int release();
    // Closes now; false with errno when the close reported an error (a write that did not land).
    bool close();

private:
    int m_fd;
};

// Opens an ordinary file with the flags (O_RDONLY, or writing ones with or without O_CREAT),
// following links unless O_NOFOLLOW is among them, without ever blocking. Throws NotAFile for another kind of file, and
// StationError otherwise: a missing file is 53, or 76 when O_CREAT was asked and the folder is
// missing; other failures take the lookup's numbers, each with its standard words.
FileDescriptor openOrdinaryFile(const std::string& localPath, int flags);

// An open file as a stream buffer, for readers written for streams. A read error throws
// StationError 57.
class FileInputBuffer final : public std::streambuf {
public:
    explicit FileInputBuffer(int fd) : m_fd(fd) {}

protected:
    int_type underflow() override;

private:
    int m_fd;
    std::array<char, 65536> m_buffer{};
};

} // namespace quorlan::platform
