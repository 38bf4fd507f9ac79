// Settings files of any content: read with every kind of call, then one key written and read
// back, while every other key keeps what it held.
#include "fuzz_station.h"
#include "platform/ini_file.h"
#include "platform/text.h"

#include <algorithm>
#include <cstdint>
#include <string_view>

namespace {

// The input: the file's content, then after a NUL the key, then after another the value.
struct Parts {
    std::string content;
    std::string key;
    std::string value;
};

Parts split(std::string_view input) {
    Parts parts;
    std::string* targets[] = {&parts.content, &parts.key, &parts.value};
    for (std::string* target : targets) {
        const std::size_t end = std::min(input.find('\0'), input.size());
        *target = std::string(input.substr(0, end));
        input.remove_prefix(std::min(end + 1, input.size()));
    }
    return parts;
}

// What the reader trims around names and values: blanks, tabs, vertical tabs, form feeds and the
// end-of-file mark.
constexpr std::string_view kBlanks = " \t\v\f\x1A";

// Names are compared without the blanks around them and without regard to case.
std::string nameKey(std::string_view name) {
    const auto first = name.find_first_not_of(kBlanks);
    if (first == std::string_view::npos) {
        return {};
    }
    return quorlan::platform::toUpper(std::string(name.substr(first, name.find_last_not_of(kBlanks) - first + 1)));
}

// A value that reads back as it was written: no blanks at its ends to be trimmed, and no pair of
// quotes around it to be dropped.
bool readsBackAsWritten(const std::string& value) {
    if (value.empty()) {
        return true;
    }
    const auto blank = [](char c) { return kBlanks.find(c) != std::string_view::npos; };
    const bool quoted =
        value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front();
    return !blank(value.front()) && !blank(value.back()) && !quoted;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace quorlan;
    const Parts parts = split(std::string_view(reinterpret_cast<const char*>(data), size));
    const std::string path = (fuzzing::Workspace::instance().root / "windows" / "FUZZ.INI").string();
    fuzzing::writeFile(path, parts.content);

    const char* others[] = {"Settings", "CommPort", "GCodePath", "a"};
    std::vector<std::string> before;
    for (const char* key : others) {
        before.push_back(platform::getPrivateProfileString("KORVALDE", key, "END.-", 128, path));
        platform::getPrivateProfileInt("KORVALDE", key, -7, path);
    }
    platform::getPrivateProfileString("KORVALDE", parts.key, "", 1, path);

    if (!platform::writePrivateProfileString("KORVALDE", parts.key, parts.value, path)) {
        return 0;
    }
    const std::string read = platform::getPrivateProfileString("KORVALDE", parts.key, "END.-", 1 << 20, path);
    if (readsBackAsWritten(parts.value) && read != parts.value) {
        fuzzing::broken("written value does not read back", parts.key + "=" + parts.value + " read " + read);
    }
    for (std::size_t i = 0; i < std::size(others); ++i) {
        if (nameKey(others[i]) == nameKey(parts.key)) {
            continue;
        }
        if (platform::getPrivateProfileString("KORVALDE", others[i], "END.-", 128, path) != before[i]) {
            fuzzing::broken("a write changed another key", others[i]);
        }
    }
    return 0;
}
