#include "payload/LanguageTexts.h"

#include "framework/Handles.h"
#include "platform/FileChecks.h"
#include "platform/SettingsFile.h"

#include <cwchar>
#include <cwctype>

std::map<int, std::wstring> LanguageStrings;
std::map<int, std::wstring> ButtonCaptions;

namespace {
// A non-numeric id counts as 0, as the C run-time's conversion gives.
int IdOf(const std::wstring& text) { return static_cast<int>(std::wcstol(text.c_str(), nullptr, 10)); }

std::wstring LanguageFilePath(int lcid, const std::wstring& folder) {
    return folder + L"Default" + std::to_wstring(lcid) + L".ulf";
}

// The first "ID" line decides (the key is case-sensitive, the value not).
bool IsFileForLanguage(const CSettingsFile& file, int lcid) {
    for (const std::wstring& line : file.GetSection(L"FileInfo")) {
        size_t eq = line.find(L'=');
        if (eq == std::wstring::npos || eq == 0 || line.compare(0, eq, L"ID") != 0) continue;
        return ::_wcsicmp(line.c_str() + eq + 1, std::to_wstring(lcid).c_str()) == 0;
    }
    return true;
}

int DefaultCaptionId(int buttonId) {
    switch (buttonId) {
    case IDYES: return 702;
    case IDOK: return 405;
    case IDNO: return 704;
    case IDCANCEL: return 406;
    default: return 0;
    }
}

// The hook of the box being shown on this thread; the hook ends itself once
// the captions are set.
thread_local zel::UniqueHook* t_boxHook = nullptr;

LRESULT CALLBACK CaptionButtons(int code, WPARAM wParam, LPARAM lParam) {
    HHOOK hook = t_boxHook != nullptr ? t_boxHook->get() : nullptr;
    if (code == HCBT_ACTIVATE) {
        HWND box = reinterpret_cast<HWND>(wParam);
        for (int id : {IDYES, IDOK, IDNO, IDCANCEL}) {
            HWND button = ::GetDlgItem(box, id);
            if (button == nullptr) continue;
            auto caption = ButtonCaptions.find(id);
            std::wstring text = caption != ButtonCaptions.end() ? caption->second : GetBuiltInString(DefaultCaptionId(id));
            ::SetWindowTextW(button, text.c_str());
        }
        if (t_boxHook != nullptr) t_boxHook->reset();
        return 0;
    }
    return ::CallNextHookEx(hook, code, wParam, lParam);
}
}  // namespace

std::wstring GetBuiltInString(int id) {
    // A pointer to the read-only resource text, not a copy (buffer size 0).
    const wchar_t* text = nullptr;
    int length = ::LoadStringW(::GetModuleHandleW(nullptr), static_cast<UINT>(id),
                               reinterpret_cast<LPWSTR>(&text), 0);
    return length > 0 && text != nullptr ? std::wstring(text, static_cast<size_t>(length)) : std::wstring();
}

std::wstring GetLangString(int id) {
    auto it = LanguageStrings.find(id);
    return it != LanguageStrings.end() ? it->second : GetBuiltInString(id);
}

bool HasLanguageStrings() { return !LanguageStrings.empty(); }

int LoadLanguageFile(int lcid, const std::wstring& folder) {
    if (lcid == 1033) {
        LanguageStrings.clear();
        return 1;
    }
    std::wstring path = LanguageFilePath(lcid, folder);
    if (!zel::IsFile(path)) return 0;
    CSettingsFile file(path);
    if (!IsFileForLanguage(file, lcid)) return -1;
    // Not emptied first: ids the file lacks keep the text of an earlier load.
    for (const std::wstring& section : file.GetSectionNames()) {
        for (const std::wstring& line : file.GetSection(section.c_str())) {
            size_t eq = line.find(L'=');
            int id = eq == std::wstring::npos ? 0 : IdOf(line.substr(0, eq));
            std::wstring text = eq == std::wstring::npos ? line : line.substr(eq + 1);
            LanguageStrings[id] = ReplaceTokens(std::move(text), {{L"[NEWLINE]", L"\n"}});
        }
    }
    return 0;
}

std::wstring GetLanguageCaption(int lcid, const std::wstring& folder) {
    std::wstring caption =
        CSettingsFile(folder + L"Defaultx.ulf").GetString(L"RADIOBUTTONSTRING", std::to_wstring(lcid).c_str());
    return caption.empty() ? L"Unknown Language" : caption;
}

std::wstring GetLanguageName(int lcid, const std::wstring& folder) {
    return CSettingsFile(LanguageFilePath(lcid, folder)).GetString(L"FileInfo", L"LangName");
}

std::wstring ReplaceTokens(std::wstring text,
                           std::initializer_list<std::pair<const wchar_t*, std::wstring>> tokens) {
    for (const auto& [token, value] : tokens) {
        const size_t tokenLength = std::wcslen(token);
        if (tokenLength == 0) continue;
        for (size_t at = text.find(token); at != std::wstring::npos; at = text.find(token, at + value.size()))
            text.replace(at, tokenLength, value);
    }
    return text;
}

MessageBoxLayout MapMessageBoxType(UINT type) {
    switch (type) {
    case 0: return {0x30, {{IDOK, 405}}};
    case 1: return {0x131, {{IDOK, 405}, {IDCANCEL, 406}}};
    case 3: return {0x223, {}};
    case 4: return {0x124, {{IDYES, 702}, {IDNO, 704}}};
    case 16: return {16, {{IDOK, 405}}};
    case 17: return {0x111, {{IDOK, 405}, {IDCANCEL, 406}}};
    case 0x34: return {0x134, {{IDYES, 702}, {IDNO, 704}}};
    default: return {type, {}};
    }
}

int ShowTranslatedMessageBox(HWND owner, const std::wstring& text, const std::wstring& caption, UINT type) {
    MessageBoxLayout layout = MapMessageBoxType(type);
    for (const auto& [button, stringId] : layout.Captions) ButtonCaptions[button] = GetLangString(stringId);
    zel::UniqueHook hook(::SetWindowsHookExW(WH_CBT, CaptionButtons, nullptr, ::GetCurrentThreadId()));
    t_boxHook = &hook;
    int result = ::MessageBoxW(owner, text.c_str(), caption.c_str(), layout.ShownType);
    t_boxHook = nullptr;
    hook.reset();
    ButtonCaptions.clear();
    return result;
}
