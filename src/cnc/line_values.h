// What a work-list line may carry. The control parses a line at each ";", and a control character
// ends or garbles the line wherever it is stored or shown, so no value placed in a line (program
// name, comment, dimensions, variables, field code, list values) may hold either.
#pragma once

#include <string>
#include <string_view>

namespace quorlan::cnc {

// Empty when the text may stand in a line; otherwise what is wrong with it, for the operator:
// "it holds \";\"" or "it holds the control character \x0D".
std::string lineValueFault(std::string_view text);

// A comment read from a file cannot be refused like a scan: each character a line may not carry
// becomes a blank, so that a program file cannot break its own line.
std::string withLineBreakersBlanked(std::string_view text);

} // namespace quorlan::cnc
