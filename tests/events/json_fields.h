// Reading a field of a published JSON object in a test: the first "key": followed by a string or
// a number. Enough for the flat objects the station publishes; the end-to-end tests parse them whole.
#pragma once

#include <optional>
#include <regex>
#include <string>

namespace quorlan::testing {

inline std::optional<std::string> jsonField(const std::string& json, const std::string& key) {
    const std::regex field("\"" + key + "\":(\"((?:[^\"\\\\]|\\\\.)*)\"|(-?[0-9]+|null|true|false))");
    std::smatch match;
    if (!std::regex_search(json, match, field)) {
        return std::nullopt;
    }
    return match[2].matched ? match[2].str() : match[3].str();
}

inline std::int64_t jsonId(const std::string& json) {
    return std::stoll(jsonField(json, "id").value_or("-1"));
}

} // namespace quorlan::testing
