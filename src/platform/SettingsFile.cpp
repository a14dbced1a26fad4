#include "platform/SettingsFile.h"

#include <windows.h>

namespace {
// The profile functions return "size - 2" when a section (or the list of
// sections) was cut; the buffer then doubles and the read is repeated.
template <typename Read>
std::vector<std::wstring> ReadGrowing(Read read) {
    DWORD size = 4096;
    for (;;) {
        std::vector<wchar_t> buffer(size, L'\0');
        DWORD n = read(buffer.data(), size);
        if (n + 2 < size || size >= (1u << 26)) return SplitDoubleZeroList(buffer.data(), n);
        size *= 2;
    }
}
}  // namespace

std::vector<std::wstring> SplitDoubleZeroList(const wchar_t* buffer, size_t chars) {
    std::vector<std::wstring> items;
    size_t i = 0;
    while (i < chars && buffer[i] != L'\0') {
        size_t start = i;
        while (i < chars && buffer[i] != L'\0') ++i;
        items.emplace_back(buffer + start, i - start);
        ++i;
    }
    return items;
}

std::wstring CSettingsFile::GetString(const wchar_t* section, const wchar_t* key, const wchar_t* defaultValue,
                                      unsigned bufferChars) const {
    if (bufferChars == 0) return std::wstring();
    std::vector<wchar_t> buffer(bufferChars, L'\0');
    DWORD n = ::GetPrivateProfileStringW(section, key, defaultValue, buffer.data(), bufferChars, path_.c_str());
    return std::wstring(buffer.data(), n);
}

bool CSettingsFile::GetFlag(const wchar_t* section, const wchar_t* key) const {
    return GetString(section, key) == L"1";
}

int CSettingsFile::GetInt(const wchar_t* section, const wchar_t* key, int defaultValue) const {
    return static_cast<int>(::GetPrivateProfileIntW(section, key, defaultValue, path_.c_str()));
}

std::vector<std::wstring> CSettingsFile::GetSection(const wchar_t* section) const {
    return ReadGrowing([&](wchar_t* buffer, DWORD size) {
        return ::GetPrivateProfileSectionW(section, buffer, size, path_.c_str());
    });
}

std::vector<std::wstring> CSettingsFile::GetSectionNames() const {
    return ReadGrowing([&](wchar_t* buffer, DWORD size) {
        return ::GetPrivateProfileSectionNamesW(buffer, size, path_.c_str());
    });
}

bool CSettingsFile::WriteString(const wchar_t* section, const wchar_t* key, const wchar_t* value) const {
    return ::WritePrivateProfileStringW(section, key, value, path_.c_str()) != FALSE;
}
