// Reads and writes the package settings and language files (UTF-16 INI)
// through the platform's private-profile functions. Section and key names
// match without regard to case; a missing file, section or key gives the
// default.
#pragma once

#include <string>
#include <vector>

class CSettingsFile {
public:
    static constexpr unsigned kStringBufferChars = 1024;

    explicit CSettingsFile(std::wstring path) : path_(std::move(path)) {}

    const std::wstring& Path() const { return path_; }

    // Values longer than bufferChars - 1 characters are cut to fit.
    std::wstring GetString(const wchar_t* section, const wchar_t* key, const wchar_t* defaultValue = L"",
                           unsigned bufferChars = kStringBufferChars) const;
    // On only when the value is exactly "1".
    bool GetFlag(const wchar_t* section, const wchar_t* key) const;
    int GetInt(const wchar_t* section, const wchar_t* key, int defaultValue = 0) const;
    // Every "key=value" entry of the section, in file order; the buffer grows
    // until the section fits.
    std::vector<std::wstring> GetSection(const wchar_t* section) const;
    std::vector<std::wstring> GetSectionNames() const;
    // Adds the key when it is missing. Returns false when the file could not be written.
    bool WriteString(const wchar_t* section, const wchar_t* key, const wchar_t* value) const;

private:
    std::wstring path_;
};

// Splits a list of zero-ended texts ended by a second zero.
std::vector<std::wstring> SplitDoubleZeroList(const wchar_t* buffer, size_t chars);
