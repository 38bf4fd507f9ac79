// The payload of a 2D program barcode, as the scan loop hands it on (after any expansion):
//   [prefix] header "!" program text
// An optional prefix of eight characters starts with "Ñ". The header is split into fields at each
// "^": field 1 is the program name, fields 2 to 14 one item each, a letter and its value. The
// program text is everything after the first "!". A scan without "!" that begins "*%00" names a
// list file instead: "*%00", the list name, and two more characters.
// Building and reading live together here so that every tool writes what the station reads.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace quorlan::scan {

inline constexpr char kTwoDPrefixMark = '\xD1'; // "Ñ" in the station's code page
inline constexpr std::size_t kTwoDPrefixLength = 8;
inline constexpr char kHeaderSeparator = '^';
inline constexpr char kProgramSeparator = '!';
inline constexpr std::string_view kListFormMark = "*%00";
inline constexpr std::size_t kListFormTrailerLength = 2;
inline constexpr int kLastHeaderField = 14;
// A program text is saved only when it is longer than this.
inline constexpr std::size_t kLongestUnsavedProgram = 10;
// The letters of header items, in the order a builder writes them.
inline constexpr std::string_view kHeaderLetters = "UVXYZABCDEFGI";

struct HeaderItem {
    char letter;
    std::string value;
};

// The scan without its prefix, when it has one.
std::string withoutTwoDPrefix(std::string scan);

// Field n of a header, counted from 1; a field that does not exist reads empty.
std::string headerField(std::string_view header, int n);

// The list name of the list form; empty when the scan is not one.
bool isListForm(std::string_view scan);
std::string listFormName(std::string_view scan);

// Why the station would not read a header value (program name or item value) back as it was given;
// empty when it would.
std::string headerValueFault(const std::string& value);

// The program text a 2D scan carries for a program file's bytes. The station saves the text with
// CR LF after it, so one line end at the file's end is left off and the saved file is the same.
std::string programTextOfFile(std::string fileBytes);

// A 2D program scan the station reads back into the same program file and line. Throws
// std::invalid_argument, saying why, for a value it could not read back: an unsafe program name,
// a value holding "^", "!", ";", a control character or surrounding blanks, a name whose first
// character would route the scan elsewhere, an unknown letter, more items than the header holds,
// or a program text too short to be saved.
std::string buildTwoDScan(const std::string& programName, const std::vector<HeaderItem>& items,
                          const std::string& programText, bool withPrefix);
// The list form for a list name, with the same refusals.
std::string buildListScan(const std::string& listName);

} // namespace quorlan::scan
