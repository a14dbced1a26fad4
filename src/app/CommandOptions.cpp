#include "app/CommandOptions.h"

#include "platform/Text.h"

#include <cwchar>
#include <vector>

CExtractorCommandOpt::CExtractorCommandOpt() = default;

std::wstring CExtractorCommandOpt::GetValue(const std::wstring& text) {
    std::vector<std::wstring> pieces;
    size_t start = 0;
    while (true) {
        size_t eq = text.find(L'=', start);
        std::wstring piece = zel::Trim(text.substr(start, eq == std::wstring::npos ? std::wstring::npos : eq - start));
        if (!piece.empty()) pieces.push_back(piece);
        if (eq == std::wstring::npos) break;
        start = eq + 1;
    }
    return pieces.size() >= 2 ? pieces.back() : std::wstring();
}

void CExtractorCommandOpt::ParseParam(const wchar_t* param, BOOL isFlag, BOOL /*isLast*/) {
    if (!isFlag || param == nullptr) return;
    const std::wstring text(param);

    if (zel::EqualsNoCaseAscii(text, L"silent")) Silent = 1;
    else if (zel::EqualsNoCaseAscii(text, L"unattended")) Unattended = 1;

    // A text that merely begins with the option name matches too
    // ("extractpathX=D:\Data" sets the extract path).
    if (zel::StartsWithNoCaseAscii(text, extractPathName_)) ExtractPathArg = GetValue(text);
    if (zel::StartsWithNoCaseAscii(text, autoLaunchName_)) AutoLaunchArg = GetValue(text);
    if (zel::StartsWithNoCaseAscii(text, setupLanguageName_)) SetupLanguageArg = GetValue(text);
    if (zel::StartsWithNoCaseAscii(text, passwordName_)) PasswordArg = GetValue(text);

    if (zel::EqualsNoCaseAscii(text, L"d") || zel::EqualsNoCaseAscii(text, L"debug")) Debug = 1;
    if (zel::EqualsNoCaseAscii(text, L"NoConditioncheck")) NoConditionCheck = 1;
    if (zel::EqualsNoCaseAscii(text, L"NoOSCheck")) NoOSCheck = 1;
}
