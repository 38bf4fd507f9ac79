// Reading a field of a published JSON object in a test: the first "key": followed by a string or
// a bare value (number, null, true, false). Enough for the flat objects the station publishes; the
// end-to-end tests parse them whole. Hand-written rather than std::regex, whose inlined automaton
// trips GCC's maybe-uninitialized warning in the sanitizer build.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace quorlan::testing {

inline std::optional<std::string> jsonField(const std::string& json, const std::string& key) {
    const std::string opening = "\"" + key + "\":";
    const std::size_t at = json.find(opening);
    if (at == std::string::npos) {
        return std::nullopt;
    }
    std::size_t pos = at + opening.size();
    if (pos < json.size() && json[pos] == '"') {
        std::string text;
        for (++pos; pos < json.size() && json[pos] != '"'; ++pos) {
            if (json[pos] == '\\' && pos + 1 < json.size()) {
                text += json[pos];
                ++pos;
            }
            text += json[pos];
        }
        return pos < json.size() ? std::optional(text) : std::nullopt;
    }
    const std::size_t end = json.find_first_of(",}", pos);
    if (end == std::string::npos || end == pos) {
        return std::nullopt;
    }
    return json.substr(pos, end - pos);
}

inline std::int64_t jsonId(const std::string& json) {
    return std::stoll(jsonField(json, "id").value_or("-1"));
}

} // namespace quorlan::testing
