// Libraries are loaded from the system folder only, so that a DLL planted
// beside a downloaded Setup.exe is never picked up.
#pragma once

#include <windows.h>

namespace zel {

// Drops the application folder and the current folder from the DLL search
// path where the system allows it. Call first thing at start-up.
void HardenDllSearchPath();

// Loads name (a bare file name such as L"Cabinet.dll") from the system folder.
HMODULE LoadSystemLibrary(const wchar_t* name);

}  // namespace zel
