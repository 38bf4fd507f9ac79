// A fresh folder under the system's temporary folder, removed with its contents after the test,
// so no test touches the user's real files.
#pragma once

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

namespace quorlan::testing {

class TempFolder final {
public:
    TempFolder() {
        std::string pattern = (std::filesystem::temp_directory_path() / "quorlan-test-XXXXXX").string();
        if (::mkdtemp(pattern.data()) == nullptr) {
            throw std::filesystem::filesystem_error("mkdtemp", std::error_code(errno, std::generic_category()));
        }
        m_path = pattern;
    }
    ~TempFolder() { std::filesystem::remove_all(m_path); }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    std::string path(const std::string& relative = {}) const {
        return relative.empty() ? m_path.string() : (m_path / relative).string();
    }
    std::string makeFolder(const std::string& relative) const {
        std::filesystem::create_directories(m_path / relative);
        return path(relative);
    }
    // Writes the bytes exactly, creating the folders on the way.
    std::string write(const std::string& relative, const std::string& bytes) const {
        std::filesystem::create_directories((m_path / relative).parent_path());
        std::ofstream(m_path / relative, std::ios::binary) << bytes;
        return path(relative);
    }
    std::string read(const std::string& relative) const {
        std::ifstream in(m_path / relative, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }

private:
    std::filesystem::path m_path;
};

} // namespace quorlan::testing
