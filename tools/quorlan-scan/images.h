// Scans read from pictures of labels: PNG files, and PDF files whose pages pdftoppm renders. Every
// symbol found is a scan, in reading order; the parts of a structured-append sequence are merged
// into one scan first, as a 2D imager does.
#pragma once

#include <string>
#include <vector>

namespace quorlan::scan_tool {

// Throws std::runtime_error naming the file that cannot be read, holds no symbol, or leaves a
// sequence incomplete.
std::vector<std::string> payloadsFromImages(const std::vector<std::string>& files);

// A scan as the emulator shows it: the text when it is short and printable, else its size.
std::string describePayload(const std::string& payload);

} // namespace quorlan::scan_tool
