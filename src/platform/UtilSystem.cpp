#include "platform/UtilSystem.h"

#include "framework/Handles.h"
#include "platform/SystemLibrary.h"

#include <cwchar>
#include <vector>

namespace {

constexpr unsigned kTextChars = 1024;

struct LanguageName {
    int id;
    const wchar_t* name;
};

// 1030 has no entry in the table the package authors know; it is Danish.
constexpr LanguageName kLanguageNames[] = {
    {0, L"Language Independent"},     {1025, L"Arabic (Saudi Arabia)"},
    {1026, L"Bulgarian"},             {1027, L"Catalan"},
    {1028, L"Chinese (Traditional)"}, {1029, L"Czech"},
    {1030, L"Danish"},                {1031, L"German"},
    {1032, L"Greek"},                 {1033, L"English"},
    {1034, L"Spanish (Traditional Sort)"}, {1035, L"Finnish"},
    {1036, L"French(France)"},        {1037, L"Hebrew"},
    {1038, L"Hungarian"},             {1040, L"Italian"},
    {1041, L"Japanese"},              {1042, L"Korean"},
    {1043, L"Dutch"},                 {1044, L"Norwegian (Bokmal)"},
    {1045, L"Polish"},                {1046, L"Portuguese (Brazil)"},
    {1048, L"Romanian"},              {1049, L"Russian"},
    {1050, L"Croatian"},              {1051, L"Slovak"},
    {1053, L"Swedish"},               {1054, L"Thai"},
    {1055, L"Turkish"},               {1057, L"Indonesian"},
    {1060, L"Slovenian"},             {1069, L"Basque"},
    {2052, L"Chinese (Simplified)"},  {2070, L"Portuguese (Portugal)"},
    {3082, L"Spanish - Modern Sort"}, {3084, L"French(Canada)"},
    {3098, L"Serbian (Cyrillic)"},
};

std::wstring DriveRoot(int index) {
    wchar_t root[] = L"A:\\";
    root[0] = static_cast<wchar_t>(L'A' + index);
    return root;
}

// Text of a buffer that may lack its terminating NUL.
std::wstring BoundedText(const wchar_t* buffer, size_t chars) {
    return std::wstring(buffer, wcsnlen(buffer, chars));
}

bool QueryDiskFreeSpace(const std::wstring& root, unsigned long long& totalBytes,
                        unsigned long long& freeBytes) {
    DWORD sectorsPerCluster = 0, bytesPerSector = 0, freeClusters = 0, totalClusters = 0;
    if (!::GetDiskFreeSpaceW(root.c_str(), &sectorsPerCluster, &bytesPerSector, &freeClusters,
                             &totalClusters))
        return false;
    const unsigned long long clusterBytes =
        static_cast<unsigned long long>(sectorsPerCluster) * bytesPerSector;
    totalBytes = clusterBytes * totalClusters;
    freeBytes = clusterBytes * freeClusters;
    return true;
}

std::wstring FormatSize(const wchar_t* label, unsigned long long bytes) {
    double value = 0;
    std::wstring unit;
    CUtilSystem::ToSizeUnit(static_cast<long long>(bytes), value, unit);
    wchar_t text[128] = {};
    // %ls: a wide string whichever printf family the run-time maps this to.
    _snwprintf(text, 127, L"%ls: %.02f %ls", label, value, unit.c_str());
    return text;
}

}  // namespace

int CUtilSystem::GetUILanguage() const {
    zel::UniqueModule kernel(zel::LoadSystemLibrary(L"kernel32.dll"));
    if (!kernel) return -1;
    using GetUserDefaultUILanguageFn = LANGID(WINAPI*)();
    auto getLanguage = zel::GetProc<GetUserDefaultUILanguageFn>(kernel.get(), "GetUserDefaultUILanguage");
    if (getLanguage == nullptr) return -1;
    return getLanguage();
}

DWORD CUtilSystem::GetOSMajorVersion() const {
    OSVERSIONINFOEXW info = {};
    info.dwOSVersionInfoSize = sizeof(info);
    if (!::GetVersionExW(reinterpret_cast<OSVERSIONINFOW*>(&info))) return 0;
    return info.dwMajorVersion;
}

int CUtilSystem::IsUserAdmin() const {
    SID_IDENTIFIER_AUTHORITY ntAuthority = SECURITY_NT_AUTHORITY;
    PSID rawSid = nullptr;
    if (!::AllocateAndInitializeSid(&ntAuthority, 2, SECURITY_BUILTIN_DOMAIN_RID,
                                    DOMAIN_ALIAS_RID_ADMINS, 0, 0, 0, 0, 0, 0, &rawSid))
        return 0;
    zel::UniqueSid administrators(rawSid);
    BOOL member = FALSE;
    if (!::CheckTokenMembership(nullptr, administrators.get(), &member)) member = FALSE;
    return member ? 1 : 0;
}

DWORD CUtilSystem::GetTotalMemory() const {
    MEMORYSTATUS status = {};
    status.dwLength = sizeof(status);
    ::GlobalMemoryStatus(&status);
    return static_cast<DWORD>(status.dwTotalPhys);
}

std::wstring CUtilSystem::GetComputerNameText() const {
    wchar_t name[kTextChars] = {};
    DWORD chars = kTextChars;
    if (!::GetComputerNameW(name, &chars)) return std::wstring();
    return BoundedText(name, kTextChars);
}

void CUtilSystem::GetProcessorNames(std::list<std::wstring>& names) const {
    zel::ReadProcessorNames(HKEY_LOCAL_MACHINE, L"HARDWARE\\DESCRIPTION\\System\\CentralProcessor\\",
                            names);
}

int CUtilSystem::ListDrives(std::list<std::wstring>& drives, UINT type) const {
    zel::DriveQueries queries;
    queries.driveType = [](const std::wstring& root) { return ::GetDriveTypeW(root.c_str()); };
    return zel::SelectDrives(::GetLogicalDrives(), queries, type, false, 0, drives);
}

int CUtilSystem::ListDrivesWithSpace(std::list<std::wstring>& drives, UINT type,
                                     unsigned long long needed) const {
    zel::DriveQueries queries;
    queries.driveType = [](const std::wstring& root) { return ::GetDriveTypeW(root.c_str()); };
    queries.freeBytes = [this](const std::wstring& root) { return GetFreeBytes(root); };
    return zel::SelectDrives(::GetLogicalDrives(), queries, type, true, needed, drives);
}

unsigned long long CUtilSystem::GetFreeBytes(const std::wstring& root) const {
    unsigned long long total = 0, free = 0;
    if (!QueryDiskFreeSpace(root, total, free)) return 0;
    return free;
}

void CUtilSystem::GetDriveSpaceText(const std::wstring& root, std::wstring& text) const {
    text = L"No Information";
    ULARGE_INTEGER available = {}, total = {}, free = {};
    unsigned long long totalBytes = 0, freeBytes = 0;
    if (::GetDiskFreeSpaceExW(root.c_str(), &available, &total, &free)) {
        totalBytes = total.QuadPart;
        freeBytes = free.QuadPart;
    } else if (!QueryDiskFreeSpace(root, totalBytes, freeBytes)) {
        return;
    }
    text = zel::FormatDriveSpaceText(totalBytes, freeBytes);
}

std::wstring CUtilSystem::GetFileSystemName(const std::wstring& root) const {
    wchar_t name[kTextChars] = {};
    if (!::GetVolumeInformationW(root.c_str(), nullptr, 0, nullptr, nullptr, nullptr, name,
                                 kTextChars))
        return std::wstring();
    return BoundedText(name, kTextChars);
}

void CUtilSystem::ToSizeUnit(long long bytes, double& value, std::wstring& unit) {
    constexpr long long kGiB = 1073741824, kMiB = 1048576, kKiB = 1024;
    long long factor = kKiB;
    unit = L"KB";
    if (bytes > kGiB) {
        factor = kGiB;
        unit = L"GB";
    } else if (bytes > kMiB) {
        factor = kMiB;
        unit = L"MB";
    }
    value = static_cast<double>(bytes) / static_cast<double>(factor);
}

std::wstring CUtilSystem::LanguageIdToName(int id) {
    for (const LanguageName& entry : kLanguageNames)
        if (entry.id == id) return entry.name;
    return L"Unknown";
}

DWORD CUtilSystem::ReadRegDword(HKEY key, const std::wstring& valueName, DWORD defaultValue) {
    DWORD value = 0;
    DWORD size = sizeof(value);
    if (::RegQueryValueExW(key, valueName.c_str(), nullptr, nullptr, reinterpret_cast<BYTE*>(&value),
                           &size) != ERROR_SUCCESS)
        return defaultValue;
    return value;
}

std::wstring CUtilSystem::ReadRegString(HKEY key, const std::wstring& valueName, DWORD sizeBytes) {
    const size_t chars = sizeBytes / sizeof(wchar_t);
    if (chars == 0) return std::wstring();
    std::vector<wchar_t> buffer(chars, L'\0');
    DWORD size = static_cast<DWORD>(chars * sizeof(wchar_t));
    if (::RegQueryValueExW(key, valueName.c_str(), nullptr, nullptr,
                           reinterpret_cast<BYTE*>(buffer.data()), &size) != ERROR_SUCCESS)
        return std::wstring();
    return BoundedText(buffer.data(), chars);
}

namespace zel {

std::wstring FormatDriveSpaceText(unsigned long long totalBytes, unsigned long long freeBytes) {
    // A volume never has more free space than space; should the figures
    // disagree, "used" stays at zero instead of wrapping to a huge count.
    const unsigned long long usedBytes = totalBytes > freeBytes ? totalBytes - freeBytes : 0;
    return FormatSize(L"Total Space", totalBytes) + L"\t" + FormatSize(L"Used space", usedBytes) +
           L"\t" + FormatSize(L"Free space", freeBytes);
}

int SelectDrives(DWORD mask, const DriveQueries& queries, UINT type, bool checkSpace,
                 unsigned long long needed, std::list<std::wstring>& drives) {
    if (mask == 0) return -1;
    for (int index = 0; index < 26; ++index) {
        if ((mask & (1u << index)) == 0) continue;
        const std::wstring root = DriveRoot(index);
        bool take = false;
        if (type == DRIVE_FIXED) {
            take = (!checkSpace || (queries.freeBytes && queries.freeBytes(root) >= needed)) &&
                   queries.driveType(root) == DRIVE_FIXED;
        } else if (type == DRIVE_CDROM) {
            take = queries.driveType(root) == DRIVE_CDROM;
        }
        if (take) drives.push_front(root);
    }
    return 0;
}

void ReadProcessorNames(HKEY root, const std::wstring& baseKey, std::list<std::wstring>& names) {
    for (int n = 0;; ++n) {
        const std::wstring keyName = baseKey + std::to_wstring(n);
        HKEY opened = nullptr;
        if (::RegOpenKeyExW(root, keyName.c_str(), 0, KEY_READ, &opened) != ERROR_SUCCESS) return;
        zel::UniqueRegKey key(opened);
        std::wstring name = CUtilSystem::ReadRegString(key.get(), L"ProcessorNameString",
                                                       kTextChars * sizeof(wchar_t));
        const bool empty = name.empty();
        names.push_front(std::move(name));
        if (empty) return;
    }
}

std::wstring SizeText(std::uint64_t bytes) {
    double value = 0;
    std::wstring unit;
    CUtilSystem::ToSizeUnit(static_cast<long long>(bytes), value, unit);
    wchar_t text[64] = {};
    _snwprintf(text, 63, L"%.02f %ls", value, unit.c_str());
    return text;
}

}  // namespace zel
