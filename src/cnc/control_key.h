// The key that the station and the bridge on the control's PC share. It lets each side prove to
// the other that it holds the key, and signs every frame between them. It is kControlKeyBytes or
// more random bytes, kept as hex digits on one line in a file that its owner alone may read.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace quorlan::cnc {

// As long as the HMAC-SHA256 output: a shorter key would be the weakest part of the link.
inline constexpr std::size_t kControlKeyBytes = 32;

// A new random key as a key file holds it: 64 hex digits and a line end.
std::string newControlKeyText();

// The key's bytes from a key file's text: hex digits in either case, at least 2 * kControlKeyBytes
// of them and an even number, with blanks and line ends around them. Throws StationError for
// anything else, saying what a key file holds.
std::string parseControlKey(std::string_view text);

// Reads and checks the key file (readable by its owner alone). Throws StationError naming the
// file and what is wrong with it.
std::string readControlKey(const std::string& path);

// Writes a new key to a file that must not exist yet, readable and writable by its owner alone.
void writeNewControlKey(const std::string& path);

} // namespace quorlan::cnc
