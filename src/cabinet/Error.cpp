#include "cabinet/Error.h"

#include <cwchar>
#include <vector>

const wchar_t* GetCabErrorTableText(int code) {
    switch (code) {
        case 0: return L"Success";
        case 1: return L"Cabinet file (or part of splitted CAB) not found";
        case 2: return L"The file is not a cabinet";
        case 3: return L"Unknown cabinet version";
        case 4: return L"Corrupt cabinet";
        case 5: return L"Memory allocation failed";
        case 6: return L"Unknown compression type";
        case 7: return L"Failure decompressing data";
        case 8: return L"Failure writing to target file";
        case 9: return L"Cabinets in set have different RESERVE sizes";
        case 10: return L"Cabinet returned on fdintNEXT_CABINET is incorrect";
        case 11: return L"User aborted extraction";
        case 1000: return L"Could not load Cabinet.dll";
        case 1002: return L"Invalid parameters passed to extraction function";
        case 1005: return L"The path is too long. (Max 260 characters are allowed).";
        case 1011: return L"Could not remove attributes of the file";
        case 1012: return L"The cabinet holds a file name outside the extraction folder";
        default: return L"Unknown error";
    }
}

void CError::Clear() {
    platform_ = ERF{};
    ownCode_ = 0;
    ownType_ = 0;
}

bool CError::HasError() const { return platform_.fError || ownType_ != 0 || ownCode_ != 0; }

int CError::GetErrorCode() const { return ownCode_ != 0 ? ownCode_ : platform_.erfOper; }

const std::wstring& CError::GetErrorText() {
    if (!HasError()) {
        text_ = L"Success";
        return text_;
    }
    const wchar_t* tableText = GetCabErrorTableText(GetErrorCode());
    int type = ownType_ != 0 ? ownType_ : platform_.erfType;
    if (type == 0) {
        text_ = tableText;
        return text_;
    }
    std::vector<wchar_t> buffer(std::wcslen(tableText) + 32);
    std::swprintf(buffer.data(), buffer.size(), L"Error %ls: %d", tableText, type);
    text_ = buffer.data();
    return text_;
}
