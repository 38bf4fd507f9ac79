#include "cnc/line_values.h"

#include "platform/text.h"

#include <algorithm>

namespace quorlan::cnc {

namespace {

bool breaksLine(char c) {
    return c == ';' || platform::isControlCharacter(c);
}

} // namespace

std::string lineValueFault(std::string_view text) {
    const auto found = std::find_if(text.begin(), text.end(), breaksLine);
    if (found == text.end()) {
        return {};
    }
    if (*found == ';') {
        return "it holds \";\", which separates the items of a work-list line";
    }
    return "it holds the control character " + platform::escapeControls(std::string_view(&*found, 1));
}

std::string withLineBreakersBlanked(std::string_view text) {
    std::string result(text);
    std::replace_if(result.begin(), result.end(), breaksLine, ' ');
    return result;
}

} // namespace quorlan::cnc
