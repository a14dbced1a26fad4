// The two log files of a run: the master log shared by every package run on
// the machine, and the package's own extraction log; plus the system
// information block.
#include "logging/LogSetup.h"

#include "framework/Handles.h"
#include "logging/LogFile.h"
#include "platform/SettingsFile.h"
#include "platform/Util.h"

#include <windows.h>

#include <cmath>
#include <cwchar>
#include <cstdio>
#include <ctime>

namespace {
constexpr wchar_t kLogFolderNew[] = L"%s\\Ulverin\\Automation\\Logfiles\\%s";
constexpr wchar_t kLogFolderOld[] = L"%s\\Application Data\\Ulverin\\Automation\\Logfiles\\%s";
constexpr wchar_t kEndBanner[] =
    L"############################## --------- End --------- ##############################";

std::wstring Format2(const wchar_t* format, const std::wstring& a, const std::wstring& b) {
    wchar_t text[2048] = {};
    _snwprintf(text, 2047, format, a.c_str(), b.c_str());
    return text;
}

bool IsNewLayout() { return theUtil.GetOSMajorVersion() > 5; }

// A name the file system takes as one file name.
bool IsUsableFileName(const std::wstring& name) {
    if (name.empty() || name.back() == L'.' || name.back() == L' ') return false;
    for (wchar_t c : name)
        if (c < 32 || std::wcschr(L"\\/:*?\"<>|", c) != nullptr) return false;
    return true;
}

// Readable and writable without creating it: an existing log another
// process holds fails here.
bool CanOpenExisting(const std::wstring& path) {
    const zel::UniqueHandle file(::CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                               FILE_ATTRIBUTE_NORMAL, nullptr));
    return file.valid();
}

// The modification time as local time; the zero time when it cannot be read.
SYSTEMTIME LastWriteLocalTime(const std::wstring& path) {
    SYSTEMTIME local = {1970, 1, 4, 1, 0, 0, 0, 0};
    WIN32_FILE_ATTRIBUTE_DATA data;
    FILETIME localFile;
    if (::GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data) &&
        ::FileTimeToLocalFileTime(&data.ftLastWriteTime, &localFile))
        ::FileTimeToSystemTime(&localFile, &local);
    return local;
}

std::wstring EnglishLocaleName(LCID locale) {
    wchar_t name[85] = {};
    ::GetLocaleInfoW(locale, LOCALE_SENGLANGUAGE, name, 85);
    return name;
}
}  // namespace

std::wstring KeptLogName(const std::wstring& folder, const std::wstring& baseName, const SYSTEMTIME& modified,
                         const std::wstring& extension) {
    static const wchar_t* const kMonths[] = {L"Jan", L"Feb", L"Mar", L"Apr", L"May", L"Jun",
                                             L"Jul", L"Aug", L"Sep", L"Oct", L"Nov", L"Dec"};
    const wchar_t* month = modified.wMonth >= 1 && modified.wMonth <= 12 ? kMonths[modified.wMonth - 1] : L"Jan";
    wchar_t text[2048] = {};
    _snwprintf(text, 2047, L"%ls%ls_%02u%ls%04u_%02u-%02u-%02u.%ls", folder.c_str(), baseName.c_str(),
               modified.wDay, month, modified.wYear, modified.wHour, modified.wMinute, modified.wSecond,
               extension.c_str());
    return text;
}

std::wstring GetRamSizeText(unsigned long totalBytes) {
    unsigned long kilobytes = totalBytes / 1024;
    double gigabytes = std::ceil(kilobytes / 1024.0 / 1024.0);
    wchar_t text[32] = {};
    _snwprintf(text, 31, L"%.02f", gigabytes);
    return text;
}

std::wstring GetMasterLogPath() {
    const wchar_t* layout = IsNewLayout() ? L"%ALLUSERSPROFILE%\\Ulverin\\Automation\\Logfiles\\Tavo.log"
                                          : L"%ALLUSERSPROFILE%\\Application Data\\Ulverin\\Automation\\Logfiles\\Tavo.log";
    return CUtilPaths::ExpandPathVariable(layout);
}

void OpenMasterLog(int debug, bool anotherRun) {
    const int level = debug ? 11 : 9;
    std::wstring path = GetMasterLogPath();
    CUtilPaths::CreateFolderChain(path);
    theLog.InitLog(path, level);
    if (!anotherRun && CUtilPaths::FileExists(path) && theLog.DeleteLog() == -1) {
        // Held by someone else: a file of this user's own beside it.
        path = CUtilPaths::UserSpecificPath(path);
        CUtilPaths::CreateFolderChain(path);
        theLog.InitLog(path, level);
        theLog.DeleteLog();
    }
    theLog.WriteStartBanner();
}

void OpenExtractionLog(const std::wstring& settingsPath, const std::wstring& packageName, int debug) {
    const wchar_t* source = L"CreateExtractionLogFile";
    theLog.LogMessage(8, source, L"Creating Extraction Log File");
    CSettingsFile ini(settingsPath);
    std::wstring name = ini.GetString(L"LogFiles", L"ExtractLogFileName");
    // Without a log name the package name gives one; the package name is not
    // read yet at this point of the set-up, so it is read here. A log is never
    // written to a bare folder path or beside the current folder.
    if (name.empty()) {
        std::wstring package = !packageName.empty() ? packageName : ini.GetString(L"Package", L"Name");
        name = package.empty() ? L"Package.log" : package + L".log";
    }
    // A name no file can have would mean no extraction log at all.
    if (!IsUsableFileName(name)) {
        theLog.LogText(1, source, L"The extraction log name is not a valid file name, Package.log is used : " + name);
        name = L"Package.log";
    }
    const wchar_t* layout = IsNewLayout() ? kLogFolderNew : kLogFolderOld;
    theLog.LogText(8, source, Format2(layout, L"%ALLUSERSPROFILE%", name));
    std::wstring path = CUtilPaths::ExpandPathVariable(Format2(layout, L"%ALLUSERSPROFILE%", name));

    if (CUtilPaths::FileExists(path) && !CanOpenExisting(path)) path = CUtilPaths::UserSpecificPath(path);
    theLog.LogMessage(8, source, L"Extraction Log File : %s", path.c_str());
    theLog.WriteRaw(L"%s", kEndBanner);

    if (CUtilPaths::FileExists(path)) {
        std::wstring file = CUtilPaths::SplitPath(path, 1);
        std::wstring kept = KeptLogName(CUtilPaths::SplitPath(path, 0),
                                        CUtilPaths::GetBaseName(file), LastWriteLocalTime(path),
                                        CUtilPaths::GetExtension(file));
        ::MoveFileW(path.c_str(), kept.c_str());
    }
    CUtilPaths::CreateFolderChain(path);
    theLog.InitLog(path, debug ? 11 : 9);
    theLog.DeleteLog();
    theLog.WriteStartBanner();
    theLog.LogMessage(8, source, L"Master Log File : %s", GetMasterLogPath().c_str());
}

void LogMachineInformation() {
    SYSTEMTIME now;
    ::GetLocalTime(&now);
    static const wchar_t* const kDays[] = {L"Sunday",   L"Monday", L"Tuesday", L"Wednesday",
                                           L"Thursday", L"Friday", L"Saturday"};
    static const wchar_t* const kMonths[] = {L"January", L"February", L"March",     L"April",   L"May",      L"June",
                                             L"July",    L"August",   L"September", L"October", L"November", L"December"};
    wchar_t date[64] = {};
    _snwprintf(date, 63, L"%ls, %ls %02u, %04u", kDays[now.wDayOfWeek % 7], kMonths[(now.wMonth + 11) % 12], now.wDay,
               now.wYear);
    theLog.LogMessage(8, L"Date", L"%s", date);
    theLog.WriteRaw(L"-------------------------------------- System Information --------------------------------------\n");
    theLog.LogMessage(8, L"RAM Size", L"%s GB", GetRamSizeText(theUtil.GetTotalMemory()).c_str());

    StringList processors;
    theUtil.GetProcessorNames(processors);
    int number = 1;
    for (const std::wstring& raw : processors) {
        std::wstring name = raw;
        size_t first = name.find_first_not_of(L" \t\r\n");
        name = first == std::wstring::npos ? std::wstring() : name.substr(first, name.find_last_not_of(L" \t\r\n") - first + 1);
        if (processors.size() == 1) {
            theLog.LogMessage(8, L"Processor", L"%s", name.c_str());
        } else {
            wchar_t sourceText[32] = {};
            _snwprintf(sourceText, 31, L"Processor %d", number++);
            theLog.LogMessage(8, sourceText, L"%s", name.c_str());
        }
    }
    theLog.LogMessage(8, L"Computer name", L"%s", theUtil.GetComputerNameText().c_str());

    StringList drives;
    theUtil.ListDrives(drives, DRIVE_FIXED);
    for (auto it = drives.rbegin(); it != drives.rend(); ++it) {
        std::wstring fileSystem = theUtil.GetFileSystemName(*it);
        std::wstring sourceText = fileSystem.empty() ? L"Space Info on Drive: " + *it
                                                     : L"Space Info on Drive: " + *it + L" (" + fileSystem + L")";
        std::wstring space;
        theUtil.GetDriveSpaceText(*it, space);
        theLog.LogText(8, sourceText.c_str(), space);
    }
}

void LogLanguageInformation() {
    LCID locale = ::GetSystemDefaultLCID();
    wchar_t language[128] = {};
    _snwprintf(language, 127, L"%ls (%u)", EnglishLocaleName(locale).c_str(), static_cast<unsigned>(locale));
    theLog.LogMessage(8, L"System Language", L"%s", language);
    int ui = theUtil.GetUILanguage();
    _snwprintf(language, 127, L"%ls (%u)", CUtilSystem::LanguageIdToName(ui).c_str(), static_cast<unsigned>(ui));
    theLog.LogMessage(8, L"UI Language", L"%s", language);
    theLog.WriteRaw(L"-----------------------------------------------------------------------------------------------\n");
}

void LogUnsupportedLaunchVariable(const std::wstring&) {
    theLog.LogMessage(1, L"IsEnvVarPresent", L"Env variable not supported..");
}
