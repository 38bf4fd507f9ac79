// Scans read from pictures of labels: PNG files, and PDF files of at most 200 pages, which pdftoppm
// renders a few pages at a time and which are read one page at a time. Every symbol found is a
// scan, in reading order; the parts of a structured-append sequence are merged into one scan
// first, as a 2D imager does.
#pragma once

#include <string>
#include <vector>

namespace quorlan::scan_tool {

// Throws std::runtime_error naming the file that cannot be read (with what pdftoppm or pdfinfo
// said, or why it ended: a signal, a stop, no end in time), has too many pages, holds no symbol,
// or leaves a sequence incomplete.
std::vector<std::string> payloadsFromImages(const std::vector<std::string>& files);

// A scan as the emulator shows it: the text when it is short and printable, else its size.
std::string describePayload(const std::string& payload);

} // namespace quorlan::scan_tool
