#include "platform/FileChecks.h"

#include "framework/Handles.h"

#include <windows.h>

namespace zel {

bool PathExists(const std::wstring& path) { return ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

bool IsFile(const std::wstring& path) {
    DWORD attributes = ::GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool IsFolder(const std::wstring& path) {
    DWORD attributes = ::GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool SearchFinds(const std::wstring& path) {
    if (path.size() >= 256) return false;
    WIN32_FIND_DATAW data;
    UniqueFindHandle find(::FindFirstFileW(path.c_str(), &data));
    return find.valid();
}

}  // namespace zel
