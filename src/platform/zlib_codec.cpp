#include "platform/zlib_codec.h"

#include "platform/file_write.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <stdexcept>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>
#include <zlib.h>

namespace quorlan::platform {

namespace {

constexpr std::size_t kChunk = 1 << 16;

// One inflate of a whole stream, fed from `more` and handed to `take`; the number of bytes
// produced, or kCxError when the stream is corrupt, incomplete or followed by other bytes.
template <typename More, typename Take> long inflateStream(More&& more, Take&& take) {
    z_stream stream{};
    if (inflateInit(&stream) != Z_OK) {
        return kCxError;
    }
    std::vector<unsigned char> input(kChunk);
    std::vector<unsigned char> output(kChunk);
    long produced = 0;
    int status = Z_OK;
    bool exhausted = false;
    while (status != Z_STREAM_END) {
        if (stream.avail_in == 0 && !exhausted) {
            stream.avail_in = static_cast<uInt>(more(input.data(), input.size()));
            stream.next_in = input.data();
            exhausted = stream.avail_in == 0;
        }
        stream.next_out = output.data();
        stream.avail_out = static_cast<uInt>(output.size());
        status = inflate(&stream, Z_NO_FLUSH);
        if (status != Z_OK && status != Z_STREAM_END) {
            break; // corrupt, or no input left for a stream that has not ended
        }
        const std::size_t count = output.size() - stream.avail_out;
        if (!take(output.data(), count)) {
            status = Z_BUF_ERROR;
            break;
        }
        produced += static_cast<long>(count);
    }
    const bool complete = status == Z_STREAM_END && stream.avail_in == 0 && more(input.data(), 1) == 0;
    inflateEnd(&stream);
    return complete ? produced : kCxError;
}

} // namespace

ZlibDecompressor::~ZlibDecompressor() {
    cxCleanup();
}

int ZlibDecompressor::cxInit() {
    return kCxOk;
}

int ZlibDecompressor::cxCleanup() {
    for (const auto& [handle, fd] : m_files) {
        ::close(fd);
    }
    m_files.clear();
    return kCxOk;
}

int ZlibDecompressor::cxBuf2BufInit() {
    return kCxOk;
}

// Straight from the one buffer into the other, as a scan is expanded hundreds of times a shift.
int ZlibDecompressor::cxBuf2BufExpand(const char* input, char* output, int outputSize, int compressedLength) {
    if (compressedLength < 0 || outputSize < 0) {
        return kCxError;
    }
    z_stream stream{};
    if (inflateInit(&stream) != Z_OK) {
        return kCxError;
    }
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(input));
    stream.avail_in = static_cast<uInt>(compressedLength);
    stream.next_out = reinterpret_cast<Bytef*>(output);
    stream.avail_out = static_cast<uInt>(outputSize);
    const int status = inflate(&stream, Z_FINISH);
    const bool complete = status == Z_STREAM_END && stream.avail_in == 0;
    const auto produced = static_cast<int>(stream.total_out);
    inflateEnd(&stream);
    return complete ? produced : kCxError;
}

int ZlibDecompressor::cxBuf2BufClose() {
    return kCxOk;
}

std::uint32_t ZlibDecompressor::cxBufCRC32(const char* buffer, int length) {
    return static_cast<std::uint32_t>(
        crc32(0L, reinterpret_cast<const Bytef*>(buffer), static_cast<uInt>(std::max(length, 0))));
}

int ZlibDecompressor::cxOpenFile(const std::string& localPath, int mode) {
    const int fd = mode == kCxWriteMode ? createFresh(localPath)
                                        : ::open(localPath.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    struct stat status {};
    if (fd < 0 || ::fstat(fd, &status) != 0 || !S_ISREG(status.st_mode)) {
        if (fd >= 0) {
            ::close(fd);
            errno = EINVAL;
        }
        return kCxError;
    }
    m_files[m_nextHandle] = fd;
    return m_nextHandle++;
}

int ZlibDecompressor::cxExpandFile(const CxExpandFileParameters& parameters) {
    const auto input = m_files.find(parameters.inputHandle);
    const auto output = m_files.find(parameters.outputHandle);
    if (input == m_files.end() || output == m_files.end() || parameters.compressedLength < 0) {
        return kCxError;
    }
    std::size_t left = static_cast<std::size_t>(parameters.compressedLength);
    // A stream that would write more than it claims is not the program it claims to be, and a
    // small scan could otherwise fill the disk.
    std::size_t room = static_cast<std::size_t>(std::max(parameters.expandedLength, 0));
    const long produced = inflateStream(
        [&](unsigned char* buffer, std::size_t size) -> std::size_t {
            const ssize_t count = ::read(input->second, buffer, std::min(size, left));
            if (count <= 0) {
                return 0;
            }
            left -= static_cast<std::size_t>(count);
            return static_cast<std::size_t>(count);
        },
        [&](const unsigned char* bytes, std::size_t count) {
            if (count > room) {
                return false;
            }
            room -= count;
            return writeAll(output->second, std::string_view(reinterpret_cast<const char*>(bytes), count));
        });
    return static_cast<int>(produced);
}

int ZlibDecompressor::cxCloseFile(int handle) {
    const auto file = m_files.find(handle);
    if (file == m_files.end()) {
        return kCxError;
    }
    const int status = ::close(file->second) == 0 ? kCxOk : kCxError;
    m_files.erase(file);
    return status;
}

std::string zlibCompress(std::string_view text) {
    uLongf size = compressBound(static_cast<uLong>(text.size()));
    std::string compressed(size, '\0');
    if (compress2(reinterpret_cast<Bytef*>(compressed.data()), &size, reinterpret_cast<const Bytef*>(text.data()),
                  static_cast<uLong>(text.size()), Z_BEST_COMPRESSION) != Z_OK) {
        throw std::runtime_error("zlib could not compress the text");
    }
    compressed.resize(size);
    return compressed;
}

} // namespace quorlan::platform
