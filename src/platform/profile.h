// One section of the settings file, read and written with the private-profile rules.
#pragma once

#include <cstddef>
#include <string>

namespace quorlan::platform {

class ProfileSection {
public:
    virtual ~ProfileSection() = default;

    // The value with blanks and surrounding quotes trimmed, cut to bufferSize - 1 characters;
    // defaultValue when the key (or the file, or the section) is missing.
    virtual std::string getString(const std::string& key, const std::string& defaultValue, std::size_t bufferSize) = 0;
    // The leading decimal number of the value, 0 when it has none; defaultValue when missing.
    virtual long getInt(const std::string& key, long defaultValue) = 0;
    // Replaces the key in place or adds it; every other line stays as it was. Failures are silent.
    virtual void writeString(const std::string& key, const std::string& value) = 0;
};

} // namespace quorlan::platform
