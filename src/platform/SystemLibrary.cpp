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

}  // namespace zel
