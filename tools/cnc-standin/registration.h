// Registering the stand-in as the control's automation server, in HKEY_CLASSES_ROOT as the
// installation of a server does: the Application class, the ExeList class and its ProgID
// "Koridan.ExeList". Each form has its own key under each class (InprocServer32, LocalServer32), so
// both forms can be registered at once; a client then picks one by its class context.
#pragma once

#include <string>
#include <windows.h>

namespace quorlan::standin {

enum class ServerForm { InProcess, LocalServer };

// server: the full path of the DLL or the program. Returns the first failure's HRESULT.
HRESULT registerServer(ServerForm form, const std::wstring& server);
// Removes the form's keys, and each class's with them when no form is left.
HRESULT unregisterServer(ServerForm form);

// The full path of a loaded module (null: this process's program).
std::wstring modulePath(HMODULE module);

} // namespace quorlan::standin
