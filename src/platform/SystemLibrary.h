// Libraries are loaded from the system folder only, so that a DLL planted
// beside a downloaded Setup.exe is never picked up.
#pragma once

#include "framework/ProcAddress.h"

#include <windows.h>
#include <objidl.h>
#include <shellapi.h>
#include <shlobj.h>

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

// The shell and OLE libraries are not linked either: a silent run needs
// neither while it extracts, and under Wine the two with what they bring cost
// about 3 MiB. Loaded on first use and kept; members are null when a library
// or an export is missing.
struct ShellLibrary {
    using ExecuteFn = BOOL(WINAPI*)(SHELLEXECUTEINFOW*);
    using BrowseFn = PIDLIST_ABSOLUTE(WINAPI*)(LPBROWSEINFOW);
    using PathFromListFn = BOOL(WINAPI*)(PCIDLIST_ABSOLUTE, LPWSTR);

    ExecuteFn shellExecuteEx = nullptr;
    BrowseFn browseForFolder = nullptr;
    PathFromListFn pathFromIdList = nullptr;
};
const ShellLibrary& ShellDll();

struct OleLibrary {
    using InitializeFn = HRESULT(WINAPI*)(LPVOID);
    using UninitializeFn = void(WINAPI*)();
    using InitializeExFn = HRESULT(WINAPI*)(LPVOID, DWORD);
    using TaskMemFreeFn = void(WINAPI*)(LPVOID);
    using StreamOnGlobalFn = HRESULT(WINAPI*)(HGLOBAL, BOOL, LPSTREAM*);

    InitializeFn oleInitialize = nullptr;
    UninitializeFn oleUninitialize = nullptr;
    InitializeExFn coInitializeEx = nullptr;
    UninitializeFn coUninitialize = nullptr;
    TaskMemFreeFn coTaskMemFree = nullptr;
    StreamOnGlobalFn createStreamOnHGlobal = nullptr;
};
const OleLibrary& OleDll();

// Turns the input method off for every thread of the process, before its
// first window: a window with one gets an input-method window of its own,
// which starts COM (under Wine that maps OLE, 2 MiB).
void DisableInputMethod();

// COM on the calling thread for the life of the scope (the shell's dialogs
// and its starting of documents need it), balanced on the way out.
class ComScope {
public:
    ComScope();
    ~ComScope();
    ComScope(const ComScope&) = delete;
    ComScope& operator=(const ComScope&) = delete;

private:
    bool started_ = false;
};

}  // namespace zel
