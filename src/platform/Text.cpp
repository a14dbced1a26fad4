#include "platform/Text.h"

#include <windows.h>

#include <cwchar>

namespace zel {

std::wstring ToLower(std::wstring text) {
    if (!text.empty()) ::CharLowerBuffW(text.data(), static_cast<DWORD>(text.size()));
    return text;
}

std::wstring ToUpper(std::wstring text) {
    if (!text.empty()) ::CharUpperBuffW(text.data(), static_cast<DWORD>(text.size()));
    return text;
}

std::wstring ToLowerAscii(std::wstring text) {
    for (wchar_t& c : text)
        if (c >= L'A' && c <= L'Z') c = static_cast<wchar_t>(c - L'A' + L'a');
    return text;
}

std::wstring Trim(const std::wstring& text) { return TrimAny(text, L" \t\r\n\v\f"); }

std::wstring TrimAny(const std::wstring& text, const wchar_t* characters) {
    size_t first = text.find_first_not_of(characters);
    if (first == std::wstring::npos) return std::wstring();
    return text.substr(first, text.find_last_not_of(characters) - first + 1);
}

bool EqualsNoCase(const std::wstring& a, const std::wstring& b) {
    return a.size() == b.size() && ToUpper(a) == ToUpper(b);
}

bool EqualsNoCaseAscii(const std::wstring& a, const std::wstring& b) { return ::_wcsicmp(a.c_str(), b.c_str()) == 0; }

bool StartsWithNoCaseAscii(const std::wstring& text, const std::wstring& prefix) {
    return text.size() >= prefix.size() && ::_wcsnicmp(text.c_str(), prefix.c_str(), prefix.size()) == 0;
}

}  // namespace zel
