// Compressed scans: a 2D barcode can carry its program compressed. The scan, positions counted
// from 1:
//   1      "ñ" (the byte 0xF1), which marks it
//   2-3    two characters, not examined
//   4-8    the expanded length, five decimal digits
//   9-11   three characters, not examined
//   12-    the compressed data (a zlib stream), every backslash in it doubled
// Up to kLargestInMemory expanded characters are expanded in memory; larger ones go through two
// temporary files at a fixed place, made afresh for each such scan (never through a link or into
// a file someone else made) and removed afterwards.
#pragma once

#include "platform/decompressor.h"
#include "platform/path_mapper.h"
#include "platform/view.h"

#include <cstddef>
#include <string>
#include <string_view>

namespace quorlan::cnc {

inline constexpr char kCompressedMark = '\xF1';
inline constexpr std::size_t kLengthFieldStart = 3; // 0-based
inline constexpr std::size_t kLengthFieldSize = 5;
inline constexpr std::size_t kDataStart = 11; // 0-based
inline constexpr int kExpansionBufferSize = 23200;
inline constexpr int kLargestInMemory = kExpansionBufferSize - 128;
// Lengths are 16-bit counts in the scan's layout.
inline constexpr int kLargestScanLength = 32767;
inline constexpr const char* kTemporaryCompressed = "C:\\Koridan\\Bin\\Temp.Cmp";
inline constexpr const char* kTemporaryExpanded = "C:\\Koridan\\Bin\\Temp.Dat";

// In a run of backslashes every second one is dropped: "\\" gives "\", "\\\\" gives "\\".
std::string undoubleBackslashes(std::string_view data);
std::string doubleBackslashes(std::string_view data);

// The compressed scan that expands to text. Throws std::invalid_argument, saying why, for a text
// or compressed data longer than a scan's layout can hold.
std::string buildCompressedScan(std::string_view text);

// The text a compressed scan expands to; a line end after the compressed data (CR, LF or CR LF,
// as scanners send) is dropped. A scan that cannot be expanded - corrupt, incomplete,
// of another length than it claims, longer than the layout can hold, or whose temporary files
// cannot be written - gives the empty text, and the status line says why.
std::string ExpandCompressedScan(const std::string& scan, platform::Decompressor& decompressor,
                                 const platform::PathMapper& paths, platform::StationView& view);

} // namespace quorlan::cnc
