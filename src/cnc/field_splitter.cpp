#include "cnc/field_splitter.h"

namespace quorlan::cnc {

std::string fieldAt(std::string_view text, std::string_view separators, std::size_t n) {
    if (n == 0) {
        return {};
    }
    std::size_t start = 0;
    for (std::size_t field = 1; field < n; ++field) {
        const auto end = text.find_first_of(separators, start);
        if (end == std::string_view::npos) {
            return {};
        }
        start = end + 1;
    }
    return std::string(text.substr(start, text.find_first_of(separators, start) - start));
}

} // namespace quorlan::cnc
