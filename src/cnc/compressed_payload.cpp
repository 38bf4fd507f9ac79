#include "cnc/compressed_payload.h"

#include "platform/file_write.h"
#include "platform/ordinary_file.h"
#include "platform/text.h"
#include "platform/zlib_codec.h"

#include <cerrno>
#include <cmath>
#include <cstring>
#include <fcntl.h>
#include <iterator>
#include <optional>
#include <stdexcept>
#include <unistd.h>

namespace quorlan::cnc {

namespace {

using platform::Decompressor;

// Why a compressed scan is not used; the status line takes it as it is. Corrupt: the data is no
// complete stream by itself.
struct Refusal {
    std::string reason;
    bool corrupt = false;
};

// The library is cleaned up on every way out, a refusal included.
class Session final {
public:
    explicit Session(Decompressor& decompressor) : m_decompressor(decompressor) { m_decompressor.cxInit(); }
    ~Session() { m_decompressor.cxCleanup(); }
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

private:
    Decompressor& m_decompressor;
};

std::string tooLong(const char* what, double length) {
    return std::string(what) + " " + platform::formatSingle(static_cast<float>(length)) +
           " characters, more than the " + std::to_string(kLargestScanLength) + " a scan can hold";
}

// The length field as a 16-bit number, halves to the even neighbour; nothing that is not a
// number reads as 0.
int expandedLength(const std::string& scan) {
    const std::string field = scan.size() > kLengthFieldStart ? scan.substr(kLengthFieldStart, kLengthFieldSize) : "";
    const double value = std::nearbyint(platform::numericValue(field));
    if (value > kLargestScanLength || value < -kLargestScanLength - 1) {
        throw Refusal{tooLong("it claims", value)};
    }
    return static_cast<int>(value);
}

void checkLength(int claimed, long produced) {
    if (produced < 0) {
        throw Refusal{"it could not be expanded: the data is corrupt, incomplete or longer than it claims", true};
    }
    if (produced != claimed) {
        throw Refusal{"it claims " + std::to_string(claimed) + " characters but expands to " +
                      std::to_string(produced)};
    }
}

std::string systemReason() {
    return std::strerror(errno);
}

std::string expandInMemory(Decompressor& decompressor, const std::string& data, int claimed) {
    const int compressedLength = static_cast<int>(data.size());
    std::string input(std::max<std::size_t>(data.size(), kExpansionBufferSize), ' ');
    input.replace(0, data.size(), data);
    std::string output(kExpansionBufferSize, '\0');
    decompressor.cxBuf2BufInit();
    decompressor.cxBufCRC32(input.data(), compressedLength);
    const int produced =
        decompressor.cxBuf2BufExpand(input.data(), output.data(), kExpansionBufferSize, compressedLength);
    decompressor.cxBuf2BufClose();
    checkLength(claimed, produced);
    // The expanded text ends at its length: the buffer's padding is no part of the program.
    output.resize(static_cast<std::size_t>(produced));
    return output;
}

void writeTemporary(const std::string& localPath, const std::string& data) {
    platform::FileDescriptor file(platform::createFresh(localPath));
    if (file.get() < 0 || !platform::writeAll(file.get(), data) || !file.close()) {
        throw Refusal{"the temporary file " + std::string(kTemporaryCompressed) +
                      " cannot be written: " + systemReason()};
    }
}

std::string readTemporary(const std::string& localPath) {
    try {
        const platform::FileDescriptor file = platform::openOrdinaryFile(localPath, O_RDONLY | O_NOFOLLOW);
        platform::FileInputBuffer buffer(file.get());
        return {std::istreambuf_iterator<char>(&buffer), std::istreambuf_iterator<char>()};
    } catch (const platform::StationError& error) {
        throw Refusal{"the temporary file " + std::string(kTemporaryExpanded) +
                      " cannot be read: " + error.description()};
    }
}

// The two files exist only while a scan is expanded through them: made afresh for it, so that a
// link or a file someone planted under their names is never written through or read, and
// removed afterwards, whatever the outcome.
class TemporaryFiles final {
public:
    explicit TemporaryFiles(const platform::PathMapper& paths)
        : compressed(paths.toLocal(kTemporaryCompressed)), expanded(paths.toLocal(kTemporaryExpanded)) {}
    ~TemporaryFiles() {
        ::unlink(compressed.c_str());
        ::unlink(expanded.c_str());
    }
    TemporaryFiles(const TemporaryFiles&) = delete;
    TemporaryFiles& operator=(const TemporaryFiles&) = delete;

    const std::string compressed;
    const std::string expanded;
};

int openTemporary(Decompressor& decompressor, const std::string& localPath, int mode, const char* path) {
    const int handle = decompressor.cxOpenFile(localPath, mode);
    if (handle < 0) {
        throw Refusal{"the temporary file " + std::string(path) + " cannot be opened: " + systemReason()};
    }
    return handle;
}

std::string expandThroughFiles(Decompressor& decompressor, const platform::PathMapper& paths, const std::string& data,
                               int claimed) {
    const TemporaryFiles files(paths);
    writeTemporary(files.compressed, data);
    platform::CxExpandFileParameters parameters;
    parameters.outputHandle = openTemporary(decompressor, files.expanded, platform::kCxWriteMode, kTemporaryExpanded);
    parameters.inputHandle = openTemporary(decompressor, files.compressed, platform::kCxReadMode, kTemporaryCompressed);
    parameters.compressedLength = static_cast<std::int32_t>(data.size());
    parameters.expandedLength = claimed;
    parameters.mode = 2;
    const int produced = decompressor.cxExpandFile(parameters);
    decompressor.cxCloseFile(parameters.outputHandle);
    decompressor.cxCloseFile(parameters.inputHandle);
    checkLength(claimed, produced);
    std::string text = readTemporary(files.expanded);
    checkLength(claimed, static_cast<long>(text.size()));
    return text;
}

std::string expandData(Decompressor& decompressor, const platform::PathMapper& paths, const std::string& data,
                       int claimed) {
    if (data.size() > kLargestScanLength) {
        throw Refusal{tooLong("its data is", static_cast<double>(data.size()))};
    }
    return claimed > kLargestInMemory ? expandThroughFiles(decompressor, paths, data, claimed)
                                      : expandInMemory(decompressor, data, claimed);
}

// Many scanners end each scan with CR, LF or CR LF; compressed data may end with those bytes too.
// A complete stream is never the beginning of another, so the data is tried without such an
// ending first (CR LF, then its LF alone, as the data may end with the CR), and the bytes are
// taken as data only when the shorter data is no complete stream.
std::string expandWithoutLineEnd(Decompressor& decompressor, const platform::PathMapper& paths, const std::string& data,
                                 int claimed) {
    for (std::size_t lineEnd = platform::trailingLineEndLength(data); lineEnd > 0; --lineEnd) {
        try {
            return expandData(decompressor, paths, data.substr(0, data.size() - lineEnd), claimed);
        } catch (const Refusal& refusal) {
            if (!refusal.corrupt) {
                throw;
            }
        }
    }
    return expandData(decompressor, paths, data, claimed);
}

} // namespace

std::string undoubleBackslashes(std::string_view data) {
    std::string result;
    result.reserve(data.size());
    int run = 0;
    for (const char c : data) {
        if (c != '\\') {
            run = 0;
            result += c;
            continue;
        }
        run = run == 2 ? 1 : run + 1;
        if (run == 1) {
            result += c;
        }
    }
    return result;
}

std::string doubleBackslashes(std::string_view data) {
    std::string result;
    result.reserve(data.size() + data.size() / 64);
    for (const char c : data) {
        result += c;
        if (c == '\\') {
            result += c;
        }
    }
    return result;
}

std::string buildCompressedScan(std::string_view text) {
    if (text.size() > kLargestScanLength) {
        throw std::invalid_argument("the text is " + std::to_string(text.size()) + " characters long, more than the " +
                                    std::to_string(kLargestScanLength) + " a compressed scan can hold");
    }
    const std::string data = doubleBackslashes(platform::zlibCompress(text));
    if (data.size() > kLargestScanLength) {
        throw std::invalid_argument("the compressed data is " + std::to_string(data.size()) +
                                    " characters long, more than the " + std::to_string(kLargestScanLength) +
                                    " a compressed scan can hold");
    }
    std::string length = std::to_string(text.size());
    length.insert(0, kLengthFieldSize - length.size(), '0');
    return std::string(1, kCompressedMark) + "00" + length + "000" + data;
}

std::string ExpandCompressedScan(const std::string& scan, Decompressor& decompressor, const platform::PathMapper& paths,
                                 platform::StationView& view) {
    try {
        const int claimed = expandedLength(scan);
        Session session(decompressor);
        const std::string data = undoubleBackslashes(scan.size() > kDataStart ? scan.substr(kDataStart) : "");
        return expandWithoutLineEnd(decompressor, paths, data, claimed);
    } catch (const Refusal& refusal) {
        view.setStatus("Compressed scan not used: " + refusal.reason + ".");
        return {};
    }
}

} // namespace quorlan::cnc
