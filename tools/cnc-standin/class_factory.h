// The class objects of the stand-in's two classes: Application, and ExeList behind the ProgID.
#pragma once

#include <ole2.h>
#include <windows.h>

namespace quorlan::standin {

// The class object of the class, or null for a class that is not the stand-in's. Class objects
// live as long as the process; references to them are not counted.
IClassFactory* classObject(REFCLSID classId);

} // namespace quorlan::standin
