// zlib in the compression library's place: the compressed data of a scan is a zlib stream.
#pragma once

#include "platform/decompressor.h"

#include <map>
#include <string>
#include <string_view>

namespace quorlan::platform {

class ZlibDecompressor final : public Decompressor {
public:
    ZlibDecompressor() = default;
    ~ZlibDecompressor() override;
    ZlibDecompressor(const ZlibDecompressor&) = delete;
    ZlibDecompressor& operator=(const ZlibDecompressor&) = delete;

    int cxInit() override;
    int cxCleanup() override;
    int cxBuf2BufInit() override;
    int cxBuf2BufExpand(const char* input, char* output, int outputSize, int compressedLength) override;
    int cxBuf2BufClose() override;
    std::uint32_t cxBufCRC32(const char* buffer, int length) override;
    int cxOpenFile(const std::string& localPath, int mode) override;
    int cxExpandFile(const CxExpandFileParameters& parameters) override;
    int cxCloseFile(int handle) override;

private:
    std::map<int, int> m_files; // handle -> file descriptor
    int m_nextHandle = 1;
};

// What a scanner's compressed payload carries: the text as one zlib stream, best compression.
std::string zlibCompress(std::string_view text);

} // namespace quorlan::platform
