// The stand-in as an in-process server (cnc-standin.dll): regsvr32 registers it, and a client
// that creates the control's objects with CLSCTX_INPROC_SERVER gets the simulated control in its
// own process.
#include "class_factory.h"
#include "registration.h"
#include "server_state.h"

#include <windows.h>

namespace {

HMODULE thisModule = nullptr;

} // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) {
        thisModule = instance;
        DisableThreadLibraryCalls(instance);
    }
    return TRUE;
}

STDAPI DllGetClassObject(REFCLSID classId, REFIID iid, LPVOID* out) {
    if (out == nullptr) {
        return E_POINTER;
    }
    *out = nullptr;
    IClassFactory* factory = quorlan::standin::classObject(classId);
    return factory == nullptr ? CLASS_E_CLASSNOTAVAILABLE : factory->QueryInterface(iid, out);
}

STDAPI DllCanUnloadNow() {
    return quorlan::standin::serverIdle() ? S_OK : S_FALSE;
}

STDAPI DllRegisterServer() {
    using namespace quorlan::standin;
    return registerServer(ServerForm::InProcess, modulePath(thisModule));
}

STDAPI DllUnregisterServer() {
    return quorlan::standin::unregisterServer(quorlan::standin::ServerForm::InProcess);
}
