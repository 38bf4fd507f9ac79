// The decompressor of compressed scans, as calls shaped like the compression library the scans
// were made for: a buffer-to-buffer expansion and a file-to-file one, each between an init and a
// close, with a checksum call beside them. Statuses are returned, never thrown, as that library
// did; the caller decides what a bad status means.
#pragma once

#include <cstdint>
#include <string>

namespace quorlan::platform {

inline constexpr int kCxOk = 0;
inline constexpr int kCxError = -1;

// cxOpenFile modes.
inline constexpr int kCxReadMode = 1;
inline constexpr int kCxWriteMode = 10;

// The library's parameter block for a file-to-file expansion; the fields not named here stay zero.
struct CxExpandFileParameters {
    int inputHandle = 0;
    int outputHandle = 0;
    std::int32_t compressedLength = 0;
    std::int32_t expandedLength = 0;
    int mode = 0;
};

class Decompressor {
public:
    virtual ~Decompressor() = default;

    virtual int cxInit() = 0;
    virtual int cxCleanup() = 0;

    virtual int cxBuf2BufInit() = 0;
    // Expands compressedLength bytes of input into output, which has room for outputSize bytes.
    // Returns the number of bytes written, or a negative status when the data is not a complete
    // compressed stream or does not fit.
    virtual int cxBuf2BufExpand(const char* input, char* output, int outputSize, int compressedLength) = 0;
    virtual int cxBuf2BufClose() = 0;
    virtual std::uint32_t cxBufCRC32(const char* buffer, int length) = 0;

    // A handle (positive), or a negative status. The write mode makes the file afresh: whatever
    // had the name before (a link, a file someone planted) is removed, never written through. The
    // read mode opens only an ordinary file, and never through a link.
    virtual int cxOpenFile(const std::string& localPath, int mode) = 0;
    // Expands compressedLength bytes from the input handle into the output handle, writing at most
    // expandedLength bytes. Returns the number of bytes written, or a negative status.
    virtual int cxExpandFile(const CxExpandFileParameters& parameters) = 0;
    virtual int cxCloseFile(int handle) = 0;
};

} // namespace quorlan::platform
