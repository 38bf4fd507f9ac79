// Who may read a secret on Windows: the rule over access lists written in SDDL, and the files that
// the bridge reads and creates as Wine's files present them.
#include "fakes/error_of.h"
#include "platform/error.h"
#include "platform/private_file.h"
#include "windows_private_file.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <memory>
#include <sddl.h>

namespace quorlan::platform {
namespace {

using ::testing::AllOf;
using ::testing::ElementsAreArray;
using ::testing::HasSubstr;

constexpr char kUser[] = "S-1-5-21-1-2-3-1000";
constexpr char kOwner[] = "S-1-5-21-1-2-3-1001";
constexpr char kEveryone[] = "S-1-1-0";
constexpr char kUsers[] = "S-1-5-32-545";

struct LocalFreeDeleter {
    void operator()(void* memory) const { LocalFree(memory); }
};
using Local = std::unique_ptr<void, LocalFreeDeleter>;

Local sid(const char* text) {
    PSID binary = nullptr;
    EXPECT_TRUE(ConvertStringSidToSidA(text, &binary)) << text;
    return Local(binary);
}

std::vector<std::string> otherReadersOf(const std::string& sddl) {
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    EXPECT_TRUE(
        ConvertStringSecurityDescriptorToSecurityDescriptorA(sddl.c_str(), SDDL_REVISION_1, &descriptor, nullptr))
        << sddl;
    const Local owned(descriptor);
    BOOL present = FALSE;
    BOOL defaulted = FALSE;
    PACL dacl = nullptr;
    GetSecurityDescriptorDacl(descriptor, &present, &dacl, &defaulted);
    return otherReaders(dacl, sid(kOwner).get(), sid(kUser).get());
}

TEST(OtherReaders, AreThoseTheAccessListLetsReadOrChangeWhoMay) {
    const std::string user = kUser;
    const std::string owner = kOwner;
    const struct {
        std::string dacl;
        std::vector<std::string> readers;
    } cases[] = {
        {"D:P(A;;FA;;;SY)(A;;FA;;;BA)(A;;FA;;;" + user + ")(A;;FR;;;" + owner + ")", {}},
        {"D:(A;;FA;;;SY)(A;;FA;;;" + user + ")(A;;0x1200a9;;;WD)", {kEveryone}}, // Wine's list for mode 0644
        {"D:(A;;GR;;;BU)", {kUsers}},
        {"D:(A;;GA;;;WD)", {kEveryone}},
        {"D:(A;;0x1;;;WD)", {kEveryone}},   // FILE_READ_DATA alone
        {"D:(A;;WD;;;BU)", {kUsers}},       // may change the list, so may grant itself the reading
        {"D:(A;;WO;;;BU)", {kUsers}},       // may take the file over
        {"D:(A;;FW;;;WD)(A;;FX;;;BU)", {}}, // writing or running is not reading
        {"D:(D;;FA;;;WD)", {}},
        {"D:(A;OICIIO;GA;;;BU)", {}},       // only for what is created in a folder
        {"D:(A;ID;FR;;;BU)", {kUsers}},     // inherited from the folder, and so in force
        {"D:(A;;GA;;;CO)(A;;GA;;;OW)", {}}, // CREATOR OWNER, OWNER RIGHTS
        {"D:(A;;FR;;;WD)(A;;FR;;;BU)(A;;GR;;;WD)", {kEveryone, kUsers}},
        {"D:", {}},
    };
    for (const auto& c : cases) {
        EXPECT_THAT(otherReadersOf(c.dacl), ElementsAreArray(c.readers)) << c.dacl;
    }
    // No list at all (Wine's SDDL parser makes an empty one of "D:NO_ACCESS_CONTROL").
    EXPECT_THAT(otherReaders(nullptr, sid(kOwner).get(), sid(kUser).get()), ElementsAreArray({kEveryone}));
}

class PrivateFile : public ::testing::Test {
protected:
    PrivateFile() {
        char folder[MAX_PATH];
        GetTempPathA(MAX_PATH, folder);
        m_path = std::string(folder) + "private-file-test-" + std::to_string(GetCurrentProcessId());
        DeleteFileA(m_path.c_str());
    }
    ~PrivateFile() override { DeleteFileA(m_path.c_str()); }

    std::string m_path;
};

TEST_F(PrivateFile, WhatItCreatesIsReadAndNotReplaced) {
    createPrivateFile(m_path, "abc\n");
    EXPECT_EQ(readPrivateFile(m_path, 100), "abc\n");
    EXPECT_EQ(testing::errorOf([&] { createPrivateFile(m_path, "new\n"); }), errc::kFileAlreadyExists);
    EXPECT_EQ(readPrivateFile(m_path, 100), "abc\n");
    EXPECT_EQ(testing::errorOf([&] { readPrivateFile(m_path, 3); }), errc::kPathFileAccess);
}

TEST_F(PrivateFile, IsRefusedOnceOthersMayReadItWithTheCommandThatMendsIt) {
    createPrivateFile(m_path, "abc\n");
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    ASSERT_TRUE(
        ConvertStringSecurityDescriptorToSecurityDescriptorA("D:P(A;;FA;;;WD)", SDDL_REVISION_1, &descriptor, nullptr));
    const Local owned(descriptor);
    ASSERT_TRUE(SetFileSecurityA(m_path.c_str(), DACL_SECURITY_INFORMATION, descriptor));
    try {
        readPrivateFile(m_path, 100);
        ADD_FAILURE() << "read although everyone may";
    } catch (const StationError& error) {
        EXPECT_EQ(error.number(), errc::kPermissionDenied);
        EXPECT_THAT(error.description(), AllOf(HasSubstr(m_path + " may be read by Everyone, not only by this user"),
                                               HasSubstr("icacls \"" + m_path + "\" /inheritance:r /grant:r \"")));
    }
    EXPECT_EQ(testing::errorOf([&] { readPrivateFile(m_path + "-missing", 100); }), errc::kFileNotFound);
}

} // namespace
} // namespace quorlan::platform
