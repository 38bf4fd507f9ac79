// The field parser of program headers and G-code lines: every occurrence of any separator
// character ends a field, so two separators in a row enclose an empty field.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace quorlan::cnc {

// Field n, counted from 1, of text; a field that does not exist (n = 0 included) reads empty.
// "G71 X600 Y400 Z18" with the separators "XYZT" gives "G71 ", "600 ", "400 " and "18".
std::string fieldAt(std::string_view text, std::string_view separators, std::size_t n);

} // namespace quorlan::cnc
