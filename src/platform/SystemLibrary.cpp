#include "platform/SystemLibrary.h"

#include <string>

namespace zel {
namespace {
constexpr DWORD kLoadLibrarySearchSystem32 = 0x00000800;

using SetDefaultDllDirectoriesFn = BOOL(WINAPI*)(DWORD);

// SetDefaultDllDirectories exists from Windows 8 on, and on 7 and Vista
// with update KB2533623; LOAD_LIBRARY_SEARCH_SYSTEM32 is usable exactly then.
SetDefaultDllDirectoriesFn FindSetDefaultDllDirectories() {
    return GetProc<SetDefaultDllDirectoriesFn>(::GetModuleHandleW(L"kernel32.dll"), "SetDefaultDllDirectories");
}
}  // namespace

void HardenDllSearchPath() {
    // Removes the current folder from the search (XP SP1 and later).
    ::SetDllDirectoryW(L"");
    if (SetDefaultDllDirectoriesFn setDefault = FindSetDefaultDllDirectories())
        setDefault(kLoadLibrarySearchSystem32);
}

HMODULE LoadSystemLibrary(const wchar_t* name) {
    if (FindSetDefaultDllDirectories() != nullptr)
        return ::LoadLibraryExW(name, nullptr, kLoadLibrarySearchSystem32);
    wchar_t folder[MAX_PATH] = {};
    UINT n = ::GetSystemDirectoryW(folder, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) return nullptr;
    std::wstring path(folder, n);
    path += L'\\';
    path += name;
    return ::LoadLibraryExW(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
}

const VersionLibrary& VersionDll() {
    static const VersionLibrary library = [] {
        VersionLibrary found;
        // Never freed: the entries stay valid until the process ends.
        HMODULE module = LoadSystemLibrary(L"version.dll");
        found.getSize = GetProc<VersionLibrary::SizeFn>(module, "GetFileVersionInfoSizeW");
        found.getInfo = GetProc<VersionLibrary::InfoFn>(module, "GetFileVersionInfoW");
        found.query = GetProc<VersionLibrary::QueryFn>(module, "VerQueryValueW");
        return found;
    }();
    return library;
}

const ShellLibrary& ShellDll() {
    static const ShellLibrary library = [] {
        ShellLibrary found;
        HMODULE module = LoadSystemLibrary(L"shell32.dll");
        found.shellExecuteEx = GetProc<ShellLibrary::ExecuteFn>(module, "ShellExecuteExW");
        found.browseForFolder = GetProc<ShellLibrary::BrowseFn>(module, "SHBrowseForFolderW");
        found.pathFromIdList = GetProc<ShellLibrary::PathFromListFn>(module, "SHGetPathFromIDListW");
        return found;
    }();
    return library;
}

const OleLibrary& OleDll() {
    static const OleLibrary library = [] {
        OleLibrary found;
        HMODULE module = LoadSystemLibrary(L"ole32.dll");
        found.oleInitialize = GetProc<OleLibrary::InitializeFn>(module, "OleInitialize");
        found.oleUninitialize = GetProc<OleLibrary::UninitializeFn>(module, "OleUninitialize");
        found.coInitializeEx = GetProc<OleLibrary::InitializeExFn>(module, "CoInitializeEx");
        found.coUninitialize = GetProc<OleLibrary::UninitializeFn>(module, "CoUninitialize");
        found.coTaskMemFree = GetProc<OleLibrary::TaskMemFreeFn>(module, "CoTaskMemFree");
        found.createStreamOnHGlobal = GetProc<OleLibrary::StreamOnGlobalFn>(module, "CreateStreamOnHGlobal");
        return found;
    }();
    return library;
}

void DisableInputMethod() {
    // The input-method library is the system's and already loaded with the
    // window library; it is never loaded here.
    using DisableFn = BOOL(WINAPI*)(DWORD);
    if (auto disable = GetProc<DisableFn>(::GetModuleHandleW(L"imm32.dll"), "ImmDisableIME"))
        disable(static_cast<DWORD>(-1));
}

ComScope::ComScope() {
    const OleLibrary& ole = OleDll();
    // S_FALSE (already started on this thread) counts too and is balanced.
    if (ole.coInitializeEx != nullptr && ole.coUninitialize != nullptr)
        started_ = SUCCEEDED(ole.coInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE));
}

ComScope::~ComScope() {
    if (started_) OleDll().coUninitialize();
}

}  // namespace zel
