// Settings files that real installations hold, and what the platform's private-profile reader
// gives for key "A" of section "KORVALDE" in each: the station's reader is held to this table on
// Linux, and the platform's own reader (GetPrivateProfileStringA, under Wine) to the same table in
// the Windows build, so that the two read alike.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace quorlan::testing {

// UTF-16 as the bytes of a file: its byte order mark, then each character of the text (ASCII or
// Latin-1) as two bytes.
inline std::string utf16(std::string_view latin1, bool littleEndian = true) {
    std::string bytes = littleEndian ? "\xFF\xFE" : "\xFE\xFF";
    for (const char c : latin1) {
        bytes += littleEndian ? std::string{c, '\0'} : std::string{'\0', c};
    }
    return bytes;
}

struct ProfileReadingCase {
    const char* what;
    std::string file;
    std::string expected; // in the code page (Windows-1252)
};

inline std::vector<ProfileReadingCase> profileReadingCases() {
    const std::string omega = "\xA9\x03";     // U+03A9, which the code page holds only as a likeness
    const std::string snowman = "\x03\x26";   // U+2603, which it cannot hold at all
    const std::string aMacron("\x00\x01", 2); // U+0100, held as "A" in a value, but no key "A"
    const std::string euro = "\xAC\x20";      // U+20AC, 0x80 in the code page
    const std::string lineEnd = utf16("\r\n").substr(2);
    return {
        {"code page", "[KORVALDE]\r\nA=9600,N,8,1\r\n", "9600,N,8,1"},
        {"UTF-16", utf16("[KORVALDE]\r\nA=9600,N,8,1\r\n"), "9600,N,8,1"},
        {"UTF-16, a Latin-1 letter", utf16("[KORVALDE]\r\nA=M\xFCller\r\n"), "M\xFCller"},
        {"UTF-16, the euro sign", utf16("[KORVALDE]\r\nA=") + euro + lineEnd, "\x80"},
        {"UTF-16, a letter the code page lacks", utf16("[KORVALDE]\r\nA=x") + omega + lineEnd, "xO"},
        {"UTF-16, a character without a likeness", utf16("[KORVALDE]\r\nA=x") + snowman + lineEnd, "x?"},
        {"UTF-16, a name that is only like the key",
         utf16("[KORVALDE]\r\n") + aMacron + utf16("=like\r\nA=own\r\n").substr(2), "own"},
        {"UTF-16, names in other case and blanks", utf16("[korvalde]\r\n  a = \"quoted\" \r\n"), "quoted"},
        {"UTF-16 big-endian", utf16("[KORVALDE]\r\nA=big end\r\n", false), "big end"},
        {"UTF-8 with its mark", "\xEF\xBB\xBF[KORVALDE]\r\nA=M\xC3\xBCller \xE2\x82\xAC\r\n", "M\xFCller \x80"},
        {"end-of-file mark after the last value", "[KORVALDE]\r\nHalfLimitX=7\r\nA=N\x1A", "N"},
        {"end-of-file mark on a line of its own", "[KORVALDE]\r\nA=N\r\n\x1A", "N"},
        {"end-of-file marks around names and values", "[KORVALDE]\x1A\r\n\x1A A \x1A= \x1A\"q\"\x1A\r\n", "q"},
        {"end-of-file mark in UTF-16", utf16("[KORVALDE]\r\nA=7\x1A"), "7"},
    };
}

} // namespace quorlan::testing
