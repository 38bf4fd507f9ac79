// The platform's own private-profile reader over the settings files of
// tests/platform/profile_reading_cases.h: what the station's reader is held to on Linux is what
// Windows reads.
#include "platform/profile_reading_cases.h"

#include <cstdio>
#include <gtest/gtest.h>
#include <string>
#include <windows.h>

namespace {

std::string temporaryFile() {
    char folder[MAX_PATH];
    char file[MAX_PATH];
    GetTempPathA(MAX_PATH, folder);
    GetTempFileNameA(folder, "ini", 0, file);
    return file;
}

TEST(PlatformProfileReader, readsTheCasesAsTheStationDoes) {
    const std::string path = temporaryFile();
    for (const auto& c : quorlan::testing::profileReadingCases()) {
        std::FILE* file = std::fopen(path.c_str(), "wb");
        ASSERT_NE(file, nullptr);
        std::fwrite(c.file.data(), 1, c.file.size(), file);
        std::fclose(file);
        char value[128];
        const DWORD length = GetPrivateProfileStringA("KORVALDE", "A", "DEF", value, sizeof value, path.c_str());
        EXPECT_EQ(std::string(value, length), c.expected) << c.what;
    }
    DeleteFileA(path.c_str());
}

} // namespace
