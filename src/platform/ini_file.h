// Settings files with the private-profile rules the station's settings were written under:
// names compared ignoring ASCII case; blanks, the end-of-file mark and one pair of surrounding
// quotes dropped on read; CR, LF and CR LF each ending a line; a file with a byte order mark read
// and written in its own encoding (UTF-8 or UTF-16), one without in the code page; keys replaced
// in place on write with the file's own line ends.
//
// A file is read and parsed once and kept while it is unchanged (the same file, size and times),
// as the platform keeps profiles: start-up and every label read dozens of keys. A change by
// anyone, this station included, is seen at the next read.
//
// A write goes to a temporary file that takes the old file's owner and mode and is renamed over
// it, so a crash never leaves half a settings file behind; where that cannot be done (a read-only
// folder, an owner the station cannot give the new file) the file is rewritten in place. A file
// the user may not write is never changed.
#pragma once

#include "platform/ini_text.h"
#include "platform/profile.h"

#include <cstddef>
#include <memory>
#include <string>

namespace quorlan::platform {

// The file's values as the reading calls see them, kept while the file is unchanged; nothing
// for a file that is missing, cannot be read, or is no ordinary file.
std::shared_ptr<const IniValues> readIniFile(const std::string& filePath);

// The reading calls over values read before; no values read as a missing file.
std::string profileString(const IniValues* values, const std::string& section, const std::string& key,
                          const std::string& defaultValue, std::size_t bufferSize);
long profileInt(const IniValues* values, const std::string& section, const std::string& key, long defaultValue);

// The raw calls, on a local file path. A file that cannot be read, or is no ordinary file,
// counts as missing.
std::string getPrivateProfileString(const std::string& section, const std::string& key, const std::string& defaultValue,
                                    std::size_t bufferSize, const std::string& filePath);
long getPrivateProfileInt(const std::string& section, const std::string& key, long defaultValue,
                          const std::string& filePath);
// False when the file could not be written (or the names or value would break its lines).
bool writePrivateProfileString(const std::string& section, const std::string& key, const std::string& value,
                               const std::string& filePath);

class IniFileSection final : public ProfileSection {
public:
    IniFileSection(std::string filePath, std::string section);

    std::string getString(const std::string& key, const std::string& defaultValue, std::size_t bufferSize) override;
    long getInt(const std::string& key, long defaultValue) override;
    void writeString(const std::string& key, const std::string& value) override;

private:
    std::string m_filePath;
    std::string m_section;
};

} // namespace quorlan::platform
