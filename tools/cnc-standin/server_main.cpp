// The stand-in as a server process of its own (cnc-standin.exe), as the maker's control runs:
//   cnc-standin /RegServer     registers it as the LocalServer32 of the control's classes
//   cnc-standin /UnregServer   removes that registration
//   cnc-standin                serves until it is ended (Ctrl+C), so that a test can stop and
//                              restart the control
// COM starts it with -Embedding when a client asks for the control's objects and no process
// serves them; it then ends when its last object is let go.
#include "class_factory.h"
#include "platform/error.h"
#include "registration.h"
#include "server_state.h"

#include <cstdio>
#include <objbase.h>
#include <shellapi.h>
#include <string>
#include <windows.h>

namespace {

using namespace quorlan::standin;

constexpr int kExitUsage = 2;
constexpr int kExitFailed = 3;

HANDLE ended = nullptr;

BOOL WINAPI endOnSignal(DWORD) {
    SetEvent(ended);
    return TRUE;
}

bool isSwitch(const std::wstring& argument, const wchar_t* name) {
    return (argument.size() > 1 && (argument[0] == L'/' || argument[0] == L'-')) &&
           CompareStringOrdinal(argument.c_str() + 1, -1, name, -1, TRUE) == CSTR_EQUAL;
}

int failed(const char* what, HRESULT result) {
    std::fprintf(stderr, "cnc-standin: %s failed (0x%08lX)\n", what, static_cast<unsigned long>(result));
    return kExitFailed;
}

int serve(bool startedByCom) {
    ended = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    if (startedByCom) {
        endProcessWhenIdle(ended);
    } else {
        SetConsoleCtrlHandler(endOnSignal, TRUE);
    }
    if (const HRESULT result = CoInitializeEx(nullptr, COINIT_MULTITHREADED); FAILED(result)) {
        return failed("starting COM", result);
    }
    try {
        simulator(); // a journal that cannot be written is told at once, not at the first call
    } catch (const quorlan::platform::StationError& error) {
        std::fprintf(stderr, "cnc-standin: %s\n", error.description().c_str());
        return kExitFailed;
    }
    DWORD cookies[2] = {};
    const CLSID* classes[2] = {&kApplicationClass, &kExeListClass};
    for (int i = 0; i < 2; ++i) {
        const HRESULT result = CoRegisterClassObject(*classes[i], classObject(*classes[i]), CLSCTX_LOCAL_SERVER,
                                                     REGCLS_MULTIPLEUSE, &cookies[i]);
        if (FAILED(result)) {
            return failed("offering the control's classes", result);
        }
    }
    if (!startedByCom) {
        std::printf("cnc-standin: serving the control's Application and ExeList until ended\n");
        std::fflush(stdout);
    }
    WaitForSingleObject(ended, INFINITE);
    for (const DWORD cookie : cookies) {
        CoRevokeClassObject(cookie);
    }
    CoUninitialize();
    return 0;
}

} // namespace

int main() {
    int count = 0;
    wchar_t** arguments = CommandLineToArgvW(GetCommandLineW(), &count);
    const std::wstring argument = count > 1 ? arguments[1] : L"";
    LocalFree(arguments);
    if (count > 2) {
        std::fprintf(stderr, "usage: cnc-standin [/RegServer | /UnregServer | -Embedding]\n");
        return kExitUsage;
    }
    if (isSwitch(argument, L"RegServer")) {
        const HRESULT result = registerServer(ServerForm::LocalServer, modulePath(nullptr));
        return FAILED(result) ? failed("registering", result) : 0;
    }
    if (isSwitch(argument, L"UnregServer")) {
        const HRESULT result = unregisterServer(ServerForm::LocalServer);
        return FAILED(result) ? failed("unregistering", result) : 0;
    }
    if (count > 1 && !isSwitch(argument, L"Embedding")) {
        std::fprintf(stderr,
                     "cnc-standin: unknown argument\nusage: cnc-standin [/RegServer | /UnregServer | -Embedding]\n");
        return kExitUsage;
    }
    return serve(count > 1);
}
