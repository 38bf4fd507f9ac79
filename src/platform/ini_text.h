// The text of a settings file as the private-profile calls read and change it: what its lines
// hold, in which encoding, and what a write makes of it. No file is touched here.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>

namespace quorlan::platform {

// A settings file's encoding, as its first bytes show it: a byte order mark makes it Unicode
// (UTF-8, or UTF-16 in either byte order), and without one it is in the code page.
enum class IniEncoding { CodePage, Utf8, Utf16Le, Utf16Be };

// The file's text in a form its lines can be read and changed in: the bytes themselves for a file
// in the code page; UTF-8 for the Unicode encodings, without the byte order mark. Of a UTF-16
// file, an odd last byte is no character, and a lone surrogate reads as U+FFFD.
struct IniText {
    IniEncoding encoding = IniEncoding::CodePage;
    std::string text;
};

IniText decodeIni(std::string_view bytes);
// The bytes of the file, in its own encoding and with its byte order mark.
std::string encodeIni(const IniText& ini);

// What the reading calls see: per section, per key, the value as stored (blanks around it
// trimmed, quotes still on), in the code page. Names are kept in ASCII lower case: section and
// key names are compared ignoring it. Only the first section of a name counts, and in it the
// first line of a key.
struct IniValues {
    using Keys = std::unordered_map<std::string, std::string>;
    std::unordered_map<std::string, Keys> sections;

    // Nothing when the section or the key is missing.
    const std::string* find(std::string_view section, std::string_view key) const;
};

IniValues parseIni(const IniText& ini);

// The string call's reading of a stored value: one pair of surrounding quotes (" or ') dropped.
std::string iniString(std::string_view stored);
// The integer call's: the leading decimal number (a sign allowed), 0 when there is none, kept
// within the range of an int; nothing for an empty value, which reads as missing.
std::optional<long> iniInteger(std::string_view stored);

// Names that would not survive in the file (line breaks, a "]" in a section, an "=" in a key, a
// key that reads as a comment or a section), and values with a line break, are not written.
bool writableEntry(std::string_view section, std::string_view key, std::string_view value);

// The text with the key set to value (all three in the code page): its line changed in place, or
// a new line at the end of the section, or a new section at the end; every other line stays as
// it was, and new lines take the file's own line end (CR LF in a file without one).
IniText withEntry(const IniText& ini, std::string_view section, std::string_view key, std::string_view value);

} // namespace quorlan::platform
