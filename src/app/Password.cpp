// The extraction password: decoded from the package settings, removed from
// the working copy, and compared with what a quiet run was given.
#include "app/App.h"
#include "app/Password.h"

#include "logging/LogFile.h"
#include "payload/Initializer.h"
#include "platform/SettingsFile.h"
#include "platform/Util.h"

#include <map>

std::wstring DecodePassword(const std::wstring& stored, int shift) {
    std::wstring decoded;
    decoded.reserve(stored.size());
    for (wchar_t c : stored) {
        int d = static_cast<int>(c) - shift;
        if (static_cast<int>(c) - 32 < shift) d += 95;
        decoded += static_cast<wchar_t>(static_cast<std::uint16_t>(d));
    }
    return decoded;
}

std::wstring CZelSelfExtractorUIApp::DecodeStoredPassword(const std::wstring& stored) {
    CSettingsFile ini(theInitializer.SettingsFilePath);
    int shift = ini.GetInt(L"Temporary", L"Number", 0);
    std::wstring decoded = DecodePassword(stored, shift);
    // Every run leaves both keys present and empty in the working copy.
    UnlockSettingsFile();
    ini.WriteString(L"Runtime", L"ExtractionPassword", L"");
    ini.WriteString(L"Temporary", L"Number", L"");
    LockSettingsFile();
    return decoded;
}

int CZelSelfExtractorUIApp::CheckPassword(const std::wstring& given) {
    const wchar_t* source = L"CheckPassword";
    std::map<std::wstring, std::wstring> runtime;
    CUtilPaths::ReadSection(theInitializer.SettingsFilePath, L"runtime", runtime, 2048);
    std::wstring stored;
    auto it = runtime.find(L"extractionpassword");
    if (it != runtime.end()) {
        stored = it->second;
        stored.erase(0, stored.find_first_not_of(L' '));
        stored.erase(stored.find_last_not_of(L' ') + 1);
    }
    StoredPassword = DecodeStoredPassword(stored);
    std::wstring required = CSettingsFile(theInitializer.SettingsFilePath).GetString(L"Runtime", L"ExtractPasswordRequired");
    if (IsQuietRun() && required == L"1") {
        if (given.empty()) {
            theLog.LogMessage(0, source, L"Please provide the Password from the command line parameter : -ExtractionPassword");
            return 0;
        }
        if (given != StoredPassword) {
            theLog.LogMessage(0, source, L"Password provided by user is invalid");
            return 0;
        }
        theLog.LogMessage(8, source, L"Password provided by user is correct");
        return 1;
    }
    return 1;
}
