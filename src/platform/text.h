// Text helpers for the station's single-byte (Windows-1252) strings. Every rule of the station
// that trims, upper-cases or reads a number goes through these, so they behave alike everywhere.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace quorlan::platform {

// Removes leading and trailing blanks (the space character only, as the station always did).
std::string trimBlanks(std::string_view text);

// Upper case in the Windows-1252 code page: ASCII letters and the accented letters alike.
std::string toUpper(std::string_view text);
char toUpper(char c);

bool contains(std::string_view text, std::string_view part);
bool startsWith(std::string_view text, std::string_view prefix);
bool endsWith(std::string_view text, std::string_view suffix);

// The length of the line end a scanner may put after each scan, CR, LF or CR LF, at the end of
// text: 2 for CR LF, 1 for a lone CR or LF, else 0.
std::size_t trailingLineEndLength(std::string_view text);

// The lenient numeric reading: a leading number with "." as decimal point (blanks before it
// skipped, an optional sign and exponent), whatever follows ignored, 0 when there is none.
double numericValue(std::string_view text);

// The strict conversion to a single: the whole text (blanks around it aside) must be a number,
// otherwise StationError 13 (type mismatch); a value beyond the single's range is error 6.
float strictSingle(std::string_view text);

// The same strict reading for a 32-bit integer: a fraction is rounded, halves to the even
// neighbour; a value beyond 32 bits is error 6.
std::int32_t strictLong(std::string_view text);

// A single as text with up to seven significant digits and no padding: 600, 12.5, 0.25.
std::string formatSingle(float value);

// A control character: 0x00 to 0x1F and 0x7F, and the five bytes the code page leaves
// undefined (0x81, 0x8D, 0x8F, 0x90, 0x9D), which become control characters once converted.
bool isControlCharacter(char c);

// Each control character written as an escape (\r, \n, \t, \x1B), so that text holding one
// stays on one line and cannot drive a terminal. With escapeBackslashes, a backslash becomes
// "\\" as well, so that the escapes can be told from the text.
std::string escapeControls(std::string_view text, bool escapeBackslashes = false);

// Text for the operator's eyes (status line, echo, message boxes): control characters escaped,
// and a text beyond maxLength cut there with a note of how much was left out, as nobody reads
// a megabyte in a status line.
inline constexpr std::size_t kMaxShownLength = 1000;
std::string visibleText(std::string_view text, std::size_t maxLength = kMaxShownLength);

} // namespace quorlan::platform
