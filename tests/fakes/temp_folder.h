// A fresh folder under the system's temporary folder, removed with its contents at the end, so
// that no test or benchmark touches the user's real files.
#pragma once

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <system_error>

namespace quorlan::testing {

inline std::string readFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

class TempFolder final {
public:
    TempFolder() {
        std::string pattern = (std::filesystem::temp_directory_path() / "quorlan-test-XXXXXX").string();
        if (::mkdtemp(pattern.data()) == nullptr) {
            throw std::filesystem::filesystem_error("mkdtemp", std::error_code(errno, std::generic_category()));
        }
        m_root = pattern;
    }
    ~TempFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(m_root, ignored);
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    const std::filesystem::path& root() const { return m_root; }
    std::string path(const std::string& relative = {}) const {
        return relative.empty() ? m_root.string() : (m_root / relative).string();
    }
    // The folder with a trailing "/", ready to take a file name as a plain prefix.
    std::string prefix() const { return m_root.string() + "/"; }

    std::string makeFolder(const std::string& relative) const {
        std::filesystem::create_directories(m_root / relative);
        return path(relative);
    }
    // Writes the bytes exactly, creating the folders on the way.
    std::string write(const std::string& relative, const std::string& bytes) const {
        std::filesystem::create_directories((m_root / relative).parent_path());
        std::ofstream(m_root / relative, std::ios::binary) << bytes;
        return path(relative);
    }
    std::string read(const std::string& relative) const { return readFile(m_root / relative); }

private:
    std::filesystem::path m_root;
};

} // namespace quorlan::testing
