#include "two_d_scan.h"

#include "cnc/compressed_payload.h"
#include "platform/cp1252.h"
#include "platform/text.h"
#include "scan/two_d_payload.h"
#include "scan_bytes.h"

#include <fstream>
#include <iterator>
#include <stdexcept>

namespace quorlan::scan_tool {

namespace {

std::string readProgram(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        throw std::invalid_argument("The program file " + path + " cannot be read");
    }
    return scan::programTextOfFile({std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()});
}

std::string programScan(const std::string& header, const std::string& programFile, bool prefix) {
    std::vector<std::string> fields;
    std::size_t start = 0;
    for (std::size_t end = header.find(scan::kHeaderSeparator);; end = header.find(scan::kHeaderSeparator, start)) {
        fields.push_back(header.substr(start, end == std::string::npos ? std::string::npos : end - start));
        if (end == std::string::npos) {
            break;
        }
        start = end + 1;
    }
    std::vector<scan::HeaderItem> items;
    for (std::size_t i = 1; i < fields.size(); ++i) {
        if (fields[i].empty()) {
            throw std::invalid_argument("The header " + header + " is not accepted: it has an empty item");
        }
        items.push_back({fields[i].front(), fields[i].substr(1)});
    }
    return scan::buildTwoDScan(fields.front(), items, readProgram(programFile), prefix);
}

} // namespace

std::string twoDScanBytes(const ScanArgument& scan, const Options& options) {
    const std::string text = toCodePage(scan.text);
    std::string payload = scan.kind == ScanKind::ListLoad ? scan::buildListScan(text)
                                                          : programScan(text, scan.programFile, options.prefix);
    if (scan.kind == ScanKind::ListLoad && options.prefix) {
        payload.insert(0, scan::kTwoDPrefixLength, '0');
        payload.front() = scan::kTwoDPrefixMark;
    }
    return options.compress ? cnc::buildCompressedScan(payload) : payload;
}

std::string describeScan(const ScanArgument& scan, const Options& options, const std::string& payload) {
    if (scan.kind == ScanKind::Given) {
        // What the station reads; a scan's escape sequences must not drive this terminal.
        return platform::cp1252ToUtf8(platform::visibleText(payload));
    }
    const std::string what =
        scan.kind == ScanKind::ListLoad ? "2D list " + scan.text : "2D " + scan.text + " with " + scan.programFile;
    return what + " (" + std::to_string(payload.size()) + " bytes" + (options.compress ? ", compressed)" : ")");
}

} // namespace quorlan::scan_tool
