#include "platform/Launch.h"

#include <cwchar>

namespace {
// Everything from the last "." on; the whole path when there is none.
std::wstring ExtensionOf(const std::wstring& file) {
    size_t dot = file.rfind(L'.');
    return dot == std::wstring::npos ? file : file.substr(dot);
}
}  // namespace

bool IsSupportedLaunchVariable(const std::wstring& token) {
    static const wchar_t* const kSupported[] = {
        L"%temp%",       L"%tmp%",           L"%windir%",     L"%allusersprofile%", L"%userprofile%",
        L"%systemroot%", L"%appdata%",       L"%systemdrive%", L"%commonprogramfiles%", L"%homedrive%",
        L"%homepath%",   L"%localappdata%",  L"%programdata%", L"%programfiles%",  L"%public%"};
    for (const wchar_t* name : kSupported)
        if (::_wcsicmp(token.c_str(), name) == 0) return true;
    return false;
}

LaunchPlan PlanLaunch(const std::wstring& file, const std::wstring& parameters, const LaunchContext& context) {
    LaunchPlan plan;
    std::wstring extension = ExtensionOf(file);
    if (::_wcsicmp(extension.c_str(), L".msi") == 0) {
        plan.Program = L"msiexec.exe";
        plan.Parameters = L"/i \"" + file + L"\" " + parameters;
        plan.UsePipe = true;
    } else {
        plan.Program = file;
        plan.Parameters = parameters;
        plan.UsePipe = ::_wcsicmp(extension.c_str(), L".exe") == 0;
    }
    bool elevate = ::_wcsicmp(plan.Program.c_str(), L"msiexec.exe") == 0 &&
                   (context.MajorVersion >= 6 ||
                    (context.MajorVersion == 5 && !context.IsAdmin && context.CheckAdmin == L"0"));
    if (elevate) plan.Verb = L"runas";
    return plan;
}

std::wstring ExpandLaunchParameters(const std::wstring& parameters,
                                    const std::function<std::wstring(const std::wstring&)>& expand,
                                    const std::function<void(const std::wstring&)>& unsupported) {
    std::wstring p = parameters;
    size_t left = 0;
    for (wchar_t c : p)
        if (c == L'%') ++left;
    size_t search = 0;
    while (left >= 2) {
        size_t first = p.find(L'%', search);
        if (first == std::wstring::npos) break;
        size_t second = p.find(L'%', first + 1);
        if (second == std::wstring::npos) break;
        // Only a token followed by "\", a blank or a quote is a variable; at
        // the very end of the text it is not.
        if (second + 1 >= p.size()) break;
        wchar_t next = p[second + 1];
        if (next != L'\\' && next != L' ' && next != L'"') break;

        std::wstring token = p.substr(first, second - first + 1);
        search = second + 1;
        if (!IsSupportedLaunchVariable(token)) unsupported(token);
        std::wstring bare;
        for (wchar_t c : token)
            if (c != L'"') bare += c;
        std::wstring value = expand(bare);
        if (!value.empty()) {
            for (size_t at = p.find(bare); at != std::wstring::npos; at = p.find(bare, at + value.size()))
                p.replace(at, bare.size(), value);
            // Go on right after the value: a value shorter than its token
            // would otherwise let the search skip the next token, and one
            // holding a "%" must not be taken for a token.
            if (p.compare(first, value.size(), value) == 0) search = first + value.size();
        }
        left -= 2;
    }
    return p;
}
