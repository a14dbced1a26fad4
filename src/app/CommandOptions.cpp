#include "app/CommandOptions.h"

#include <cwchar>
#include <vector>

namespace {
bool EqualsNoCase(const std::wstring& a, const wchar_t* b) { return ::_wcsicmp(a.c_str(), b) == 0; }

// A text that merely begins with the option name matches too
// ("extractpathX=D:\Data" sets the extract path).
bool StartsWithNoCase(const std::wstring& text, const std::wstring& name) {
    return text.size() >= name.size() && ::_wcsnicmp(text.c_str(), name.c_str(), name.size()) == 0;
}

std::wstring Trim(const std::wstring& s) {
    const wchar_t* blanks = L" \t\r\n\v\f";
    size_t first = s.find_first_not_of(blanks);
    if (first == std::wstring::npos) return std::wstring();
    size_t last = s.find_last_not_of(blanks);
    return s.substr(first, last - first + 1);
}
}  // namespace

CExtractorCommandOpt::CExtractorCommandOpt() = default;

std::wstring CExtractorCommandOpt::GetValue(const std::wstring& text) {
    std::vector<std::wstring> pieces;
    size_t start = 0;
    while (true) {
        size_t eq = text.find(L'=', start);
        std::wstring piece = Trim(text.substr(start, eq == std::wstring::npos ? std::wstring::npos : eq - start));
        if (!piece.empty()) pieces.push_back(piece);
        if (eq == std::wstring::npos) break;
        start = eq + 1;
    }
    return pieces.size() >= 2 ? pieces.back() : std::wstring();
}

void CExtractorCommandOpt::ParseParam(const wchar_t* param, BOOL isFlag, BOOL /*isLast*/) {
    if (!isFlag || param == nullptr) return;
    const std::wstring text(param);

    if (EqualsNoCase(text, L"silent")) Silent = 1;
    else if (EqualsNoCase(text, L"unattended")) Unattended = 1;

    if (StartsWithNoCase(text, extractPathName_)) ExtractPathArg = GetValue(text);
    if (StartsWithNoCase(text, autoLaunchName_)) AutoLaunchArg = GetValue(text);
    if (StartsWithNoCase(text, setupLanguageName_)) SetupLanguageArg = GetValue(text);
    if (StartsWithNoCase(text, passwordName_)) PasswordArg = GetValue(text);

    if (EqualsNoCase(text, L"d") || EqualsNoCase(text, L"debug")) Debug = 1;
    if (EqualsNoCase(text, L"NoConditioncheck")) NoConditionCheck = 1;
    if (EqualsNoCase(text, L"NoOSCheck")) NoOSCheck = 1;
}
