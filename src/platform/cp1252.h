// Windows-1252, the station's code page: one byte per character, the way the core keeps every
// text. Every byte decodes; the five bytes the code page leaves undefined (0x81, 0x8D, 0x8F, 0x90
// and 0x9D) keep their C1 code points, as the workstation's conversion did, so that they survive
// a round trip.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace quorlan::platform {

char32_t cp1252CodePoint(unsigned char byte);
// The byte of a code point; nothing for one the code page cannot hold.
std::optional<char> cp1252Byte(char32_t codePoint);
// The byte Windows puts for a code point when it converts Unicode text: its own, else the best fit
// the platform gives (U+0100 "Ā" as "A", U+03A9 "Ω" as "O"), else '?'.
char cp1252BestFit(char32_t codePoint);

// The station's bytes as UTF-8, for what other programs read (a terminal, the history, its
// exports).
std::string cp1252ToUtf8(std::string_view bytes);

// UTF-8 text in the code page, characters it cannot hold as '?'. Nothing when the text is not
// UTF-8: a stray or missing continuation byte, an overlong form, a surrogate, or beyond U+10FFFF.
std::optional<std::string> utf8ToCp1252(std::string_view utf8);

// The pieces of UTF-8, for text that is converted character by character (UTF-16 files).
void appendUtf8(std::string& utf8, char32_t codePoint);
// The next code point of UTF-8 text, taken off its front; nothing, and the text as it was, when
// the text does not go on as UTF-8 does.
std::optional<char32_t> takeUtf8(std::string_view& text);

} // namespace quorlan::platform
