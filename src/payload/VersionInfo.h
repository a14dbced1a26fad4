// Reads the payload start offset that the packaging tool stamps into the
// executable's own version record.
#pragma once

#include <windows.h>

#include <string>

class CTavoVersionInfoUpdater {
public:
    // dwFileSubtype of the file's fixed version information; 0 when the file
    // has none (or cannot be read).
    static DWORD GetModuleVersionSubtype(const std::wstring& path);
};
