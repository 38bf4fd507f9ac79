// What the stand-in's objects share in one process: the simulated control, with the lock that
// keeps COM's threads from calling into it at once, and the count of what keeps the server alive.
#pragma once

#include "cnc/simulator.h"

#include <mutex>
#include <windows.h>

namespace quorlan::standin {

// The control's classes: Application's is the maker's; ExeList is created by its ProgID
// (cnc::kExeListProgId), and this class stands behind that name here.
inline constexpr CLSID kApplicationClass = {
    0x288F2FEF, 0x1083, 0x4A1E, {0xBA, 0xD7, 0x4B, 0x36, 0xD0, 0x10, 0x0F, 0x29}};
inline constexpr CLSID kExeListClass = {0x721DECD0, 0xD6C7, 0x4E52, {0x9B, 0xC0, 0x32, 0x0B, 0x8C, 0xBD, 0x4C, 0x7A}};

// Shown as the errors' source, as the maker's server shows its own name.
inline constexpr const char* kSource = "cnc-standin";

// The one simulated control of this process, made at the first use, with its journal in the file
// $QUORLAN_CNC_JOURNAL names when it names one. Throws StationError when that file cannot be
// opened.
cnc::Simulator& simulator();
// Held around every call into the simulator.
std::mutex& simulatorLock();

// Objects and LockServer(TRUE) keep the server: an in-process server's DLL stays loaded, and a
// server that COM started (-Embedding) runs, until the last is let go.
void holdServer();
void releaseServer();
// Whether nothing holds the server (DllCanUnloadNow).
bool serverIdle();
// For a server process that COM started: the event is set when the last hold is let go.
void endProcessWhenIdle(HANDLE event);

} // namespace quorlan::standin
