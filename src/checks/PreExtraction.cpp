// What must be settled before extraction: setup language, autolaunch switch,
// extraction folder with its free space, license files.
#include "checks/Condition.h"
#include "checks/ExtractorValidator.h"
#include "checks/OSValidator.h"
#include "framework/Handles.h"
#include "framework/WinApp.h"
#include "logging/LogFile.h"
#include "payload/LanguageTexts.h"
#include "platform/FileChecks.h"
#include "platform/SettingsFile.h"
#include "platform/Text.h"
#include "platform/Util.h"

#include <cwchar>
#include <vector>

using zel::EqualsNoCase;

namespace zel {

bool QueryVolumeFreeBytes(const std::wstring& path, std::uint64_t& freeBytes) {
    std::wstring folder = path;
    for (;;) {
        if (IsFolder(folder)) break;
        const size_t end = folder.find_last_not_of(L'\\');
        const size_t cut = end == std::wstring::npos ? std::wstring::npos : folder.rfind(L'\\', end);
        if (cut == std::wstring::npos) break;
        folder.erase(cut + 1);
    }
    ULARGE_INTEGER available = {}, total = {}, free = {};
    if (!::GetDiskFreeSpaceExW(folder.c_str(), &available, &total, &free)) return false;
    // The volume's free bytes, not only what a quota leaves this user.
    freeBytes = free.QuadPart;
    return true;
}

}  // namespace zel

namespace {

std::wstring ExpandKeepingText(const std::wstring& text) {
    std::wstring expanded = CUtilPaths::ExpandPathVariable(text);
    return expanded.empty() ? text : expanded;
}

}  // namespace

void CExtractorValidator::GetSetupLanguages(StringList& languages) const {
    const std::wstring offered = CSettingsFile(SettingsPath).GetString(L"Languages", L"SetupLanguages");
    if (offered.empty()) theLog.LogUnnamed(8, L"SetupLanguages not found.");
    CUtilPaths::SplitText(offered, L';', languages);
}

bool CExtractorValidator::IsLanguageSupported(int languageId) const {
    StringList languages;
    GetSetupLanguages(languages);
    const std::wstring wanted = std::to_wstring(languageId);
    for (const std::wstring& language : languages)
        if (EqualsNoCase(language, wanted)) return true;
    return false;
}

int CExtractorValidator::GetDefaultSetupLanguage() const { return GetDefaultSetupLanguage(theUtil.GetUILanguage()); }

int CExtractorValidator::GetDefaultSetupLanguage(int uiLanguage) const {
    return IsLanguageSupported(uiLanguage) ? uiLanguage : 1033;
}

int CExtractorValidator::CommandLineLanguage(const std::wstring& text) const {
    int32_t language = 1033;
    if (!text.empty()) {
        theLog.LogText(8, L"ValidateSetupLangPassedFromCommandLine",
                       L"Command line parameter for SetupLanguage : " + text);
        CUtilPaths::TextToNumber(text, language);
        if (language == 0) {
            theLog.LogMessage(8, L"Command Line Parameters",
                              L"Invalid Command line parameter for SetupLanguage. English taken as default SetupLanguage");
            language = 1033;
        }
    }
    return language;
}

int CExtractorValidator::SupportedSetupLanguage(int requested) const {
    const wchar_t* source = L"SetLanguaeForProgressBar";
    int language = requested;
    if (!IsLanguageSupported(language)) {
        theLog.LogMessage(1, source, L"Language not supported. Default English taken as Setup language");
        language = 1033;
    }
    if (!::IsValidLocale(static_cast<LCID>(language), LCID_INSTALLED)) {
        theLog.LogMessage(1, source, L"Language : %d not supported by OS. Default English taken as Setup language",
                          language);
        language = 1033;
    }
    return language;
}

std::optional<int> CExtractorValidator::CommandLineAutolaunch(const std::wstring& text) const {
    if (text.empty()) return std::nullopt;
    const wchar_t* source = L"ValidateAndSetAutolaunchFromCommandLine";
    theLog.LogText(8, L"Command Line Parameters", L"Command line parameter for Autolaunch : " + text);
    CSettingsFile settings(SettingsPath);
    const wchar_t* key = settings.GetString(L"Runtime", L"Multilaunch") == L"1" ? L"AutoLaunch1" : L"AutoLaunch";
    if (settings.GetString(L"Runtime", key).empty()) {
        theLog.LogMessage(8, source, L"Autolaunch is not enabled for the Web Package");
        return std::nullopt;
    }
    if (EqualsNoCase(text, L"no")) {
        theLog.LogMessage(8, source, L"Autolaunch disabled");
        return 0;
    }
    if (EqualsNoCase(text, L"yes")) {
        theLog.LogMessage(8, source, L"Autolaunch enabled");
        return 1;
    }
    theLog.LogMessage(8, source, L"Invalid value for Autolaunch. Autolaunch is enabled by default");
    return 1;
}

std::wstring CExtractorValidator::GetFinalExtractPathParam(const std::wstring& commandLinePath,
                                                           const std::wstring& packageName,
                                                           std::uint64_t requiredSize,
                                                           const zel::FreeSpaceQuery& freeSpace) {
    const wchar_t* source = L"GetFinalExtractPathParam";
    auto accepted = [&](std::wstring& candidate) {
        return ValidatePathAndSpaceAvailable(candidate, 0, requiredSize, freeSpace) == 0;
    };

    if (!commandLinePath.empty()) {
        theLog.LogText(8, source, L"Extract path from command line : " + commandLinePath);
        std::wstring path = ExpandKeepingText(commandLinePath);
        if (accepted(path)) return path;
    }

    std::wstring osPath = theOSValidator.GetOSExtractPath();
    if (!osPath.empty()) {
        osPath = ExpandKeepingText(osPath);
        theLog.LogText(8, source, L"Extract path for the OS : " + osPath);
        if (accepted(osPath)) return osPath;
    }

    const std::wstring packagePath = CSettingsFile(SettingsPath).GetString(L"Runtime", L"ExtractPath");
    theLog.LogText(8, source, L"Extract path from the Web Package properties : " + packagePath);
    // An empty value names no folder: nothing to check.
    if (!packagePath.empty()) {
        std::wstring path = ExpandKeepingText(packagePath);
        if (accepted(path)) return path;
    }

    std::wstring tempPath = ExpandKeepingText(L"%TEMP%\\" + packageName);
    if (accepted(tempPath)) return tempPath;
    return std::wstring();
}

int CExtractorValidator::ValidatePathAndSpaceAvailable(std::wstring& path, int showMessages,
                                                       std::uint64_t requiredSize,
                                                       const zel::FreeSpaceQuery& freeSpace) {
    const wchar_t* source = L"ValidatePathAndSpaceAvailable";
    theLog.LogText(8, source, L"Validating the Extract path : " + path);

    std::wstring drive;
    const int code = theUtil.CheckFolderPath(path, drive);
    if (code != 0) {
        ErrorMessagesForInvalidPath(code, path, showMessages);
        return -1;
    }

    std::vector<wchar_t> full(1024, L'\0');
    const DWORD length = ::GetFullPathNameW(path.c_str(), static_cast<DWORD>(full.size()), full.data(), nullptr);
    if (length > 0 && length < full.size()) path.assign(full.data(), length);
    theLog.LogText(8, source, L"Checking the space availability in : " + path);

    std::wstring message;
    if (CheckFreeSpace(path, requiredSize, message, freeSpace) == 1) {
        CUtilPaths::AddTrailingBackslash(path);
        theLog.LogText(8, source, L"Extract Path : " + path);
        return 0;
    }
    if (showMessages == 1) zel::AppMessageBox(message, MB_OK);
    return -1;
}

int CExtractorValidator::CheckFreeSpace(const std::wstring& path, std::uint64_t requiredSize, std::wstring& message,
                                        const zel::FreeSpaceQuery& freeSpace) {
    const wchar_t* source = L"CheckFreeSpace";
    std::uint64_t freeBytes = 0;
    if (!freeSpace || !freeSpace(path, freeBytes)) {
        message = L"Please check the path : " + path;
        return 0;
    }
    const std::wstring freeText = zel::SizeText(freeBytes);
    const std::wstring requiredText = zel::SizeText(requiredSize);
    const std::wstring availableMessage =
        ReplaceTokens(GetLangString(407), {{L"[DRIVENAME]", path}, {L"[AVALSPACEIN]", freeText}});
    theLog.LogText(8, source, L"Drive " + path + L".  Available space : " + freeText);
    const std::wstring requiredMessage = ReplaceTokens(GetLangString(408), {{L"[REQSPACEIN]", requiredText}});
    theLog.LogText(8, source, L"Required space : " + requiredText);
    theLog.LogText(8, source, L"Comparing Available space : " + std::to_wstring(freeBytes) +
                                  L" Bytes and Required space  " + std::to_wstring(requiredSize) + L" Bytes");

    if (freeBytes < requiredSize) {
        message = ReplaceTokens(GetLangString(409), {{L"[DRIVENAME]", path}}) + L"\n" + requiredMessage;
        theLog.LogText(1, source, L"Space on drive " + path + L" is not sufficient");
        return 0;
    }
    message = availableMessage + L"\n" + requiredMessage;
    return 1;
}

std::wstring CExtractorValidator::ErrorMessagesForInvalidPath(int code, const std::wstring& path, int showMessages) {
    const wchar_t* source = L"ErrorMessagesForInvalidPath";
    std::wstring message;
    switch (code) {
    case CUtilPaths::kPathBadName:
        message = ReplaceTokens(GetLangString(413), {{L"[INVALIDPATH]", path}});
        theLog.LogText(1, source, L"Invalid path : " + path);
        break;
    case CUtilPaths::kPathAccessDenied:
        message = ReplaceTokens(GetLangString(414), {{L"[INVALIDPATH]", path}});
        theLog.LogText(1, source, L"Please check the permission of the path : " + path);
        break;
    case CUtilPaths::kPathCannotMake:
        message = ReplaceTokens(GetLangString(415), {{L"[INVALIDPATH]", path}, {L"[NEWLINE]", L"\n"}});
        theLog.LogText(1, source, L"You cannot extract in the folder : " + path);
        break;
    case CUtilPaths::kPathTooLong:
        message = ReplaceTokens(GetLangString(412), {{L"[NEWLINE]", L"\n"}});
        theLog.LogMessage(1, source, L"The path you have specified is too long.");
        break;
    default:
        break;
    }
    if (showMessages == 1) zel::AppMessageBox(message, MB_OK);
    return message;
}

std::wstring CExtractorValidator::CheckLicenseFiles(int languageId, const std::wstring& folder, int kind) const {
    const wchar_t* source = L"CheckLicenseFiles";
    const wchar_t* section = kind == 2 ? L"SecurityLicenseFiles" : L"LicenseFiles";
    const std::wstring label = kind == 2 ? L"Security License File" : L"License File";
    const std::wstring key = std::to_wstring(languageId);
    CSettingsFile settings(SettingsPath);

    const std::wstring file = settings.GetString(section, key.c_str());
    if (!file.empty()) {
        const std::wstring path = folder + file;
        if (IsValidLicenseFile(path)) {
            theLog.LogText(8, source, label + L" for language " + key + L" : " + file);
            return path;
        }
        theLog.LogText(1, source, L"Invalid " + label + L" for language " + key + L" : " + file);
        return std::wstring();
    }

    theLog.LogText(1, source, label + L" for language " + key + L" not found.");
    const std::wstring english = key == L"1033" ? std::wstring() : settings.GetString(section, L"1033");
    if (english.empty()) return std::wstring();
    theLog.LogMessage(8, source, L"English file taken as default.");
    return folder + english;
}

bool CExtractorValidator::IsValidLicenseFile(const std::wstring& path) {
    if (path.size() < 5 || path.size() > 255) return false;
    // A wildcard would let the search find some other file, and a folder
    // named like a text file is no license text.
    if (path.find_first_of(L"*?") != std::wstring::npos) return false;
    WIN32_FIND_DATAW data;
    zel::UniqueFindHandle find(::FindFirstFileW(path.c_str(), &data));
    if (!find.valid() || (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) return false;
    const std::wstring extension = path.substr(path.size() - 4);
    return EqualsNoCase(extension, L".txt") || EqualsNoCase(extension, L".rtf");
}
