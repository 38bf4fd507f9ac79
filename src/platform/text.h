// Text helpers for the station's single-byte (Windows-1252) strings. Every rule of the station
// that trims, upper-cases or reads a number goes through these, so they behave alike everywhere.
#pragma once

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

// The lenient numeric reading: a leading number with "." as decimal point (blanks before it
// skipped, an optional sign and exponent), whatever follows ignored, 0 when there is none.
double numericValue(std::string_view text);

// The strict conversion to a single: the whole text (blanks around it aside) must be a number,
// otherwise StationError 13 (type mismatch); a value beyond the single's range is error 6.
float strictSingle(std::string_view text);

// A single as text with up to seven significant digits and no padding: 600, 12.5, 0.25.
std::string formatSingle(float value);

} // namespace quorlan::platform
