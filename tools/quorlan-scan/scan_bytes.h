// What goes on the line for one scan argument: text in the station's code page, raw bytes, or
// bytes given as hex digits.
#pragma once

#include <optional>
#include <string>

namespace quorlan::scan_tool {

enum class ScanForm { Text, Raw, Hex };

// Nothing when a hex scan holds something other than pairs of hex digits; a text scan that is
// not UTF-8 throws std::invalid_argument.
std::optional<std::string> scanBytes(const std::string& argument, ScanForm form);

// UTF-8 to Windows-1252; characters outside the code page become "?". Throws
// std::invalid_argument for text that is not UTF-8.
std::string toCodePage(const std::string& utf8);

} // namespace quorlan::scan_tool
