#include "ui/IntroLogic.h"

#include "payload/LanguageTexts.h"
#include "platform/UtilPaths.h"

#include <cwchar>
#include <cwctype>

namespace {
bool IsHighSurrogate(wchar_t c) { return c >= 0xD800 && c <= 0xDBFF; }

// The first count characters, never half of a surrogate pair.
std::wstring Head(const std::wstring& text, size_t count) {
    if (count >= text.size()) return text;
    if (count > 0 && IsHighSurrogate(text[count - 1])) --count;
    return text.substr(0, count);
}

void RemoveAll(std::wstring& text, const std::wstring& part) {
    if (part.empty()) return;
    for (size_t at = text.find(part); at != std::wstring::npos; at = text.find(part, at)) text.erase(at, part.size());
}
}  // namespace

bool ParseLanguageId(const std::wstring& text, int& lcid) {
    if (text.empty() || text.size() > 9) return false;
    long value = 0;
    for (wchar_t c : text) {
        if (c < L'0' || c > L'9') return false;
        value = value * 10 + (c - L'0');
    }
    if (value <= 0) return false;
    lcid = static_cast<int>(value);
    return true;
}

LanguageRadioPlan BuildLanguageRadios(const StringList& languages, const LanguageRadioSources& sources) {
    LanguageRadioPlan plan;
    for (const std::wstring& entry : languages) {
        int lcid = 0;
        if (!ParseLanguageId(entry, lcid)) {
            plan.Rejected.push_back(entry);
            continue;
        }
        if (plan.Radios.size() == kLanguageRadioCount) continue;
        LanguageRadio radio;
        radio.RadioId = kLanguageRadioIds[plan.Radios.size()];
        radio.Lcid = lcid;
        radio.Enabled = sources.Installed(lcid);
        radio.Caption = radio.Enabled ? sources.Caption(lcid) : sources.OwnName(lcid);
        plan.Radios.push_back(std::move(radio));
    }
    return plan;
}

int RadioToCheck(const std::vector<LanguageRadio>& radios, int selectedLanguage) {
    if (radios.size() == 1) return radios.front().RadioId;
    for (const LanguageRadio& radio : radios)
        if (radio.Lcid == selectedLanguage) return radio.RadioId;
    return 0;
}

int ConditionMessageLimit(int messageCount) {
    if (messageCount <= 0) return 0;
    // Past 36 messages the share would come out negative: nothing but "...".
    const int limit = 550 / messageCount - 15;
    return limit > 0 ? limit : 0;
}

std::wstring ConditionMessageText(const ConditionMessageInputs& inputs) {
    StringList languages;
    CUtilPaths::SplitText(inputs.SetupLanguages, L';', languages);
    bool offered = false;
    for (const std::wstring& language : languages)
        offered = offered || std::wcstol(language.c_str(), nullptr, 10) == inputs.SelectedLanguage;
    // A language listed twice still shows its messages once.
    if (!offered) return std::wstring();

    StringList keys;
    CUtilPaths::SplitText(inputs.MessageKeys, L';', keys);
    std::vector<std::wstring> messages;
    for (const std::wstring& key : keys) {
        std::wstring message = inputs.Message(key);
        if (!message.empty()) messages.push_back(std::move(message));
    }
    if (messages.empty()) return std::wstring();

    const size_t limit = static_cast<size_t>(ConditionMessageLimit(static_cast<int>(messages.size())));
    std::wstring result;
    for (std::wstring& message : messages) {
        if (inputs.Logged) inputs.Logged(message);
        if (message.size() > limit) message = Head(message, limit) + L"...";
        result += message + L"[NEWLINE]";
    }
    return ReplaceTokens(std::move(result), {{L"[NEWLINE]", L"\n"}, {L"[TAB]", L"\t"}});
}

bool LabelsFromLanguageStrings(int lcid) {
    switch (lcid) {
    case 1031:
    case 1033:
    case 1036:
    case 1034:
    case 1040:
    case 3082:
        return true;
    default:
        return false;
    }
}

std::wstring LicenseLabelFromLines(const std::vector<std::wstring>& lines, int stringId) {
    const std::wstring id = std::to_wstring(stringId);
    for (std::wstring line : lines) {
        // A file with Windows line ends keeps its carriage return otherwise.
        while (!line.empty() && (line.back() == L'\r' || line.back() == L'\n')) line.pop_back();
        if (line.compare(0, id.size(), id) != 0) continue;
        RemoveAll(line, id);
        const size_t first = line.find_first_not_of(L'=');
        if (first == std::wstring::npos) return std::wstring();
        const size_t last = line.find_last_not_of(L'=');
        return line.substr(first, last - first + 1);
    }
    return std::wstring();
}

DocumentType DocumentTypeOf(const std::wstring& path) {
    if (path.size() < 3) return DocumentType::Other;
    std::wstring ending = path.substr(path.size() - 3);
    for (wchar_t& c : ending) c = static_cast<wchar_t>(std::towlower(c));
    if (ending == L"rtf") return DocumentType::RichText;
    if (ending == L"txt") return DocumentType::PlainText;
    return DocumentType::Other;
}

DocumentList PlanDocumentList(const std::wstring& licenseFile, const std::wstring& securityFile) {
    DocumentList list;
    int count = 0;
    if (!licenseFile.empty()) {
        list.LicenseItem = count++;
        list.Shown = licenseFile;
    }
    if (!securityFile.empty()) {
        list.SecurityItem = count++;
        if (list.Shown.empty()) list.Shown = securityFile;
    }
    return list;
}

bool DocumentsAccepted(const DocumentList& list, bool licenseChecked, bool securityChecked) {
    return (list.LicenseItem < 0 || licenseChecked) && (list.SecurityItem < 0 || securityChecked);
}
