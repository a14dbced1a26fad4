// Libraries are loaded from the system folder only, so that a DLL planted
// beside a downloaded Setup.exe is never picked up.
#pragma once

#include "framework/ProcAddress.h"

#include <windows.h>

namespace zel {

// Drops the application folder and the current folder from the DLL search
// path where the system allows it. Call first thing at start-up.
void HardenDllSearchPath();

// Loads name (a bare file name such as L"Cabinet.dll") from the system folder.
HMODULE LoadSystemLibrary(const wchar_t* name);

// version.dll is not linked: loaded from the system folder on first use and
// kept for the rest of the run.
struct VersionLibrary {
    using SizeFn = DWORD(WINAPI*)(LPCWSTR, LPDWORD);
    using InfoFn = BOOL(WINAPI*)(LPCWSTR, DWORD, DWORD, LPVOID);
    using QueryFn = BOOL(WINAPI*)(LPCVOID, LPCWSTR, LPVOID*, PUINT);

    SizeFn getSize = nullptr;
    InfoFn getInfo = nullptr;
    QueryFn query = nullptr;
};
const VersionLibrary& VersionDll();

}  // namespace zel
