// On Windows a file's readers are set by its access list, not by mode bits: a secret is read only
// while the list lets no one else read it, and is created with a list of its user's alone. Paths
// are in the ANSI code page, as the command line and the other files' opening have them.
#include "windows_private_file.h"

#include "platform/error.h"
#include "platform/private_file.h"

#include <aclapi.h>
#include <algorithm>
#include <memory>
#include <sddl.h>

namespace quorlan::platform {

namespace {

struct LocalFreeDeleter {
    void operator()(void* memory) const { LocalFree(memory); }
};

class Handle {
public:
    explicit Handle(HANDLE handle) : m_handle(handle) {}
    ~Handle() {
        if (valid()) {
            CloseHandle(m_handle);
        }
    }
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
    HANDLE get() const { return m_handle; }
    bool valid() const { return m_handle != INVALID_HANDLE_VALUE && m_handle != nullptr; }

private:
    HANDLE m_handle;
};

int errorNumberOf(DWORD systemError) {
    switch (systemError) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
        return errc::kFileNotFound;
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
        return errc::kPermissionDenied;
    case ERROR_FILE_EXISTS:
    case ERROR_ALREADY_EXISTS:
        return errc::kFileAlreadyExists;
    default:
        return errc::kPathFileAccess;
    }
}

// The token's user: the account this program runs as.
class ProcessUser {
public:
    ProcessUser() {
        HANDLE token = nullptr;
        DWORD size = 0;
        if (OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) {
            const Handle owned(token);
            GetTokenInformation(token, TokenUser, nullptr, 0, &size);
            m_buffer.resize(size);
            if (!GetTokenInformation(token, TokenUser, m_buffer.data(), size, &size)) {
                m_buffer.clear();
            }
        }
        if (m_buffer.empty()) {
            throw StationError(errc::kPermissionDenied, "this program cannot tell which user it runs as");
        }
    }
    PSID sid() const { return reinterpret_cast<const TOKEN_USER*>(m_buffer.data())->User.Sid; }

private:
    std::vector<char> m_buffer;
};

std::string sidText(PSID sid) {
    LPSTR text = nullptr;
    if (!ConvertSidToStringSidA(sid, &text)) {
        throw StationError(errc::kPathFileAccess, "an account's SID cannot be written out");
    }
    const std::unique_ptr<char, LocalFreeDeleter> owned(text);
    return text;
}

bool letsRead(ACCESS_MASK mask) {
    GENERIC_MAPPING fileMapping{FILE_GENERIC_READ, FILE_GENERIC_WRITE, FILE_GENERIC_EXECUTE, FILE_ALL_ACCESS};
    MapGenericMask(&mask, &fileMapping);
    return (mask & (FILE_READ_DATA | WRITE_DAC | WRITE_OWNER)) != 0;
}

bool isTrusted(PSID sid, PSID owner, PSID user) {
    // CREATOR OWNER in an entry that applies to the file itself stands for no one: it matters only
    // where it is inherited, and then it is replaced by the creator.
    return EqualSid(sid, user) || (owner != nullptr && EqualSid(sid, owner)) ||
           IsWellKnownSid(sid, WinCreatorOwnerRightsSid) || IsWellKnownSid(sid, WinCreatorOwnerSid) ||
           IsWellKnownSid(sid, WinLocalSystemSid) || IsWellKnownSid(sid, WinBuiltinAdministratorsSid);
}

std::string accountName(const std::string& sid) {
    PSID binary = nullptr;
    if (!ConvertStringSidToSidA(sid.c_str(), &binary)) {
        return sid;
    }
    const std::unique_ptr<void, LocalFreeDeleter> owned(binary);
    char name[256];
    char domain[256];
    DWORD nameSize = sizeof name;
    DWORD domainSize = sizeof domain;
    SID_NAME_USE use{};
    if (!LookupAccountSidA(nullptr, binary, name, &nameSize, domain, &domainSize, &use)) {
        return sid;
    }
    return domain[0] == '\0' ? std::string(name) : std::string(domain) + '\\' + name;
}

// Why the open file may not hold a secret of this user's, or an empty string.
std::string unfitness(HANDLE file, const std::string& path) {
    PSID owner = nullptr;
    PACL dacl = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (const DWORD error =
            GetSecurityInfo(file, SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION, &owner,
                            nullptr, &dacl, nullptr, &descriptor);
        error != ERROR_SUCCESS) {
        throw StationError(errorNumberOf(error), path + " cannot be examined: who may read it is not known");
    }
    const std::unique_ptr<void, LocalFreeDeleter> owned(descriptor);
    const ProcessUser user;
    const std::vector<std::string> readers = otherReaders(dacl, owner, user.sid());
    if (readers.empty()) {
        return {};
    }
    std::string names;
    for (const std::string& reader : readers) {
        names += (names.empty() ? "" : ", ") + accountName(reader);
    }
    const std::string self = accountName(sidText(user.sid()));
    return path + " may be read by " + names + ", not only by this user (" + self +
           "); allow this user alone, in a command prompt: icacls \"" + path + "\" /inheritance:r /grant:r \"" + self +
           ":R\"";
}

} // namespace

std::vector<std::string> otherReaders(const ACL* dacl, PSID owner, PSID user) {
    if (dacl == nullptr) {
        return {"S-1-1-0"}; // Everyone
    }
    std::vector<std::string> readers;
    for (DWORD index = 0; index < dacl->AceCount; ++index) {
        void* entry = nullptr;
        if (!GetAce(const_cast<ACL*>(dacl), index, &entry)) {
            continue;
        }
        const auto* header = static_cast<const ACE_HEADER*>(entry);
        // Denials only narrow, and an inherit-only entry is for what is created in a folder. A
        // conditional grant has the layout of a plain one and is taken as granting.
        const bool grants =
            header->AceType == ACCESS_ALLOWED_ACE_TYPE || header->AceType == ACCESS_ALLOWED_CALLBACK_ACE_TYPE;
        if (!grants || (header->AceFlags & INHERIT_ONLY_ACE) != 0) {
            continue;
        }
        auto* allowed = static_cast<ACCESS_ALLOWED_ACE*>(entry);
        const PSID sid = &allowed->SidStart;
        if (!letsRead(allowed->Mask) || isTrusted(sid, owner, user)) {
            continue;
        }
        if (std::string text = sidText(sid); std::find(readers.begin(), readers.end(), text) == readers.end()) {
            readers.push_back(std::move(text));
        }
    }
    return readers;
}

std::string readPrivateFile(const std::string& path, std::size_t maxBytes) {
    const Handle file(CreateFileA(path.c_str(), GENERIC_READ | READ_CONTROL, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.valid()) {
        throw StationError(errorNumberOf(GetLastError()),
                           path + " cannot be read: it is not there, or this user may not read it");
    }
    if (const std::string problem = unfitness(file.get(), path); !problem.empty()) {
        throw StationError(errc::kPermissionDenied, problem);
    }
    std::string contents(maxBytes + 1, '\0');
    DWORD total = 0;
    DWORD count = 0;
    do {
        if (!ReadFile(file.get(), contents.data() + total, static_cast<DWORD>(contents.size() - total), &count,
                      nullptr)) {
            throw StationError(errorNumberOf(GetLastError()), path + " cannot be read");
        }
        total += count;
    } while (count > 0 && total < contents.size());
    contents.resize(total);
    if (contents.size() > maxBytes) {
        throw StationError(errc::kPathFileAccess, path + " is longer than " + std::to_string(maxBytes) +
                                                      " bytes, so it is not what it should be");
    }
    return contents;
}

void createPrivateFile(const std::string& path, std::string_view contents) {
    // Protected, so that nothing of the folder's list is inherited.
    const std::string list = "D:P(A;;FA;;;" + sidText(ProcessUser().sid()) + ")";
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorA(list.c_str(), SDDL_REVISION_1, &descriptor, nullptr)) {
        throw StationError(errc::kPathFileAccess, path + " cannot be created: its access list cannot be made");
    }
    const std::unique_ptr<void, LocalFreeDeleter> owned(descriptor);
    SECURITY_ATTRIBUTES attributes{sizeof attributes, descriptor, FALSE};
    const DWORD written = [&] {
        const Handle file(
            CreateFileA(path.c_str(), GENERIC_WRITE, 0, &attributes, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!file.valid()) {
            const DWORD error = GetLastError();
            if (error == ERROR_FILE_EXISTS) {
                throw StationError(errc::kFileAlreadyExists, path + " is there already; it is left as it is");
            }
            throw StationError(errorNumberOf(error), path + " cannot be created");
        }
        for (std::string_view rest = contents; !rest.empty();) {
            DWORD count = 0;
            if (!WriteFile(file.get(), rest.data(), static_cast<DWORD>(rest.size()), &count, nullptr)) {
                return GetLastError();
            }
            rest.remove_prefix(count);
        }
        return FlushFileBuffers(file.get()) ? DWORD{ERROR_SUCCESS} : GetLastError();
    }();
    if (written != ERROR_SUCCESS) {
        DeleteFileA(path.c_str());
        throw StationError(errorNumberOf(written), path + " cannot be written");
    }
}

} // namespace quorlan::platform
