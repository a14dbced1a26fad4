#include "app/FinishMessages.h"

#include "logging/LogFile.h"
#include "payload/Initializer.h"
#include "platform/SettingsFile.h"
#include "platform/Text.h"
#include "platform/Util.h"

#include <windows.h>

#include <cwchar>

namespace {

constexpr wchar_t kError[] = L"ERROR";
constexpr wchar_t kSuccess[] = L"SUCCESS";
constexpr wchar_t kMessageOnFinish[] = L"MessageOnFinish";

std::wstring LanguageSection() { return std::to_wstring(theInitializer.GetSetupLanguage()); }

}  // namespace

void CFinishMessages::LoadReturnCodeMessages(const std::wstring& entry) {
    std::wstring section = LanguageSection();
    std::map<std::wstring, std::wstring> values;
    theUtil.ReadSection(theInitializer.SettingsFilePath, entry, values, 2048);
    for (const auto& [key, value] : values) {
        if (value.empty() || !zel::StartsWithNoCaseAscii(key, L"ReturnCode_")) continue;
        ReturnCodeMessages[zel::ToLower(entry + L":" + key)] = GetMessageFromLangSection(value, section);
    }
    if (FinishMessages.count(kMessageOnFinish) == 0) {
        CSettingsFile settings(theInitializer.SettingsFilePath);
        FinishMessages[kMessageOnFinish] = settings.GetString(section.c_str(), kMessageOnFinish);
    }
}

std::wstring CFinishMessages::GetMessageFromLangSection(const std::wstring& value, const std::wstring& section) {
    const wchar_t* source = L"GetMessageFromLangSection";
    std::wstring prefix;
    if (zel::StartsWithNoCaseAscii(value, L"error:"))
        prefix = value.substr(0, 6);
    else if (zel::StartsWithNoCaseAscii(value, L"success:"))
        prefix = value.substr(0, 8);

    std::wstring rest = value.substr(prefix.size());
    theLog.LogMessage(8, source, L"Checking message part : %s ", rest.c_str());
    rest = zel::Trim(rest);
    if (rest.empty()) {
        theLog.LogMessage(8, source, L"Message part not provided");
        return prefix;
    }
    std::wstring text;
    if (rest.front() == L'{' && rest.back() == L'}') {
        size_t begin = rest.find_first_not_of(L'{');
        size_t end = rest.find_last_not_of(L'}');
        // "{}" names no key; an empty key name would read the section's key list.
        if (begin != std::wstring::npos && end != std::wstring::npos && begin <= end) {
            std::wstring key = rest.substr(begin, end - begin + 1);
            text = CSettingsFile(theInitializer.SettingsFilePath).GetString(section.c_str(), key.c_str());
        }
    }
    return prefix + text;
}

void CFinishMessages::SetFinishMessage(const std::wstring& entry, int code) {
    const wchar_t* source = L"SetFinishMessage";
    auto found = ReturnCodeMessages.find(zel::ToLower(entry + L":ReturnCode_" + std::to_wstring(code)));
    if (found == ReturnCodeMessages.end() || found->second.empty()) return;
    const std::wstring& value = found->second;
    if (zel::StartsWithNoCaseAscii(value, L"error:")) {
        theInitializer.SetFinishStatus(-6);
        std::wstring message = value.substr(6);
        theLog.LogMessage(0, source, L"Error while installation. Message Configuerd : %s", message.c_str());
        FinishMessages[kError] = message;
    } else if (zel::StartsWithNoCaseAscii(value, L"success:")) {
        std::wstring message = value.substr(8);
        theLog.LogMessage(8, source, L"Message Configuerd : %s", message.c_str());
        FinishMessages[kSuccess] = message;
    }
}

std::wstring CFinishMessages::GetFinishMessage() const {
    for (const wchar_t* key : {kError, kSuccess, kMessageOnFinish}) {
        auto found = FinishMessages.find(key);
        if (found != FinishMessages.end()) return found->second;
    }
    return std::wstring();
}
