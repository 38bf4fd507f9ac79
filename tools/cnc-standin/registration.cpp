#include "registration.h"

#include "cnc/control.h"
#include "server_state.h"

#include <objbase.h>

namespace quorlan::standin {

namespace {

struct ClassEntry {
    const CLSID* id;
    const wchar_t* description;
    const wchar_t* progId; // null: created by its class only
};

const ClassEntry kClasses[] = {
    {&kApplicationClass, L"Quorlan cnc-standin: the control's Application", nullptr},
    {&kExeListClass, L"Quorlan cnc-standin: the control's ExeList", L"Koridan.ExeList"},
};

std::wstring classText(const CLSID& id) {
    wchar_t text[40];
    StringFromGUID2(id, text, 40);
    return text;
}

std::wstring classKey(const CLSID& id) {
    return L"CLSID\\" + classText(id);
}

const wchar_t* formKey(ServerForm form) {
    return form == ServerForm::InProcess ? L"InprocServer32" : L"LocalServer32";
}

HRESULT setValue(const std::wstring& key, const wchar_t* name, const std::wstring& value) {
    HKEY opened = nullptr;
    LSTATUS status =
        RegCreateKeyExW(HKEY_CLASSES_ROOT, key.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, &opened, nullptr);
    if (status == ERROR_SUCCESS) {
        status = RegSetValueExW(opened, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                                static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
        RegCloseKey(opened);
    }
    return HRESULT_FROM_WIN32(status);
}

bool keyExists(const std::wstring& key) {
    HKEY opened = nullptr;
    if (RegOpenKeyExW(HKEY_CLASSES_ROOT, key.c_str(), 0, KEY_READ, &opened) != ERROR_SUCCESS) {
        return false;
    }
    RegCloseKey(opened);
    return true;
}

HRESULT deleteKey(const std::wstring& key) {
    const LSTATUS status = RegDeleteTreeW(HKEY_CLASSES_ROOT, key.c_str());
    return status == ERROR_FILE_NOT_FOUND ? S_OK : HRESULT_FROM_WIN32(status);
}

HRESULT registerClass(const ClassEntry& entry, ServerForm form, const std::wstring& server) {
    const std::wstring key = classKey(*entry.id);
    const std::wstring serverKey = key + L"\\" + formKey(form);
    // A program's path is quoted, as it is a command line; the DLL's is a plain path.
    HRESULT result = setValue(key, nullptr, entry.description);
    if (SUCCEEDED(result)) {
        result = setValue(serverKey, nullptr, form == ServerForm::InProcess ? server : L"\"" + server + L"\"");
    }
    if (SUCCEEDED(result) && form == ServerForm::InProcess) {
        result = setValue(serverKey, L"ThreadingModel", L"Both");
    }
    if (SUCCEEDED(result) && entry.progId != nullptr) {
        result = setValue(key + L"\\ProgID", nullptr, entry.progId);
        if (SUCCEEDED(result)) {
            result = setValue(entry.progId, nullptr, entry.description);
        }
        if (SUCCEEDED(result)) {
            result = setValue(std::wstring(entry.progId) + L"\\CLSID", nullptr, classText(*entry.id));
        }
    }
    return result;
}

} // namespace

HRESULT registerServer(ServerForm form, const std::wstring& server) {
    for (const ClassEntry& entry : kClasses) {
        if (const HRESULT result = registerClass(entry, form, server); FAILED(result)) {
            return result;
        }
    }
    return S_OK;
}

HRESULT unregisterServer(ServerForm form) {
    for (const ClassEntry& entry : kClasses) {
        const std::wstring key = classKey(*entry.id);
        HRESULT result = deleteKey(key + L"\\" + formKey(form));
        const bool otherForm = keyExists(
            key + L"\\" + formKey(form == ServerForm::InProcess ? ServerForm::LocalServer : ServerForm::InProcess));
        if (SUCCEEDED(result) && !otherForm) {
            result = deleteKey(key);
            if (SUCCEEDED(result) && entry.progId != nullptr) {
                result = deleteKey(entry.progId);
            }
        }
        if (FAILED(result)) {
            return result;
        }
    }
    return S_OK;
}

std::wstring modulePath(HMODULE module) {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = GetModuleFileNameW(module, path.data(), static_cast<DWORD>(path.size()));
        if (length < path.size()) {
            path.resize(length);
            return path;
        }
        path.resize(path.size() * 2);
    }
}

} // namespace quorlan::standin
