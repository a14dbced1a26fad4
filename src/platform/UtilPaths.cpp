#include "platform/UtilPaths.h"

#include "framework/Handles.h"
#include "platform/FileChecks.h"
#include "platform/SettingsFile.h"
#include "platform/Text.h"

#include <ntsecapi.h>

#include <algorithm>
#include <climits>
#include <vector>

namespace {

constexpr wchar_t kRefusedPathChars[] = L"\"/*?><|";
constexpr const wchar_t* kReservedNames[] = {L"PRN",  L"AUX",  L"NUL",  L"COM1", L"COM2", L"COM3", L"COM4", L"COM5",
                                             L"COM6", L"COM7", L"COM8", L"COM9", L"CON",  L"LPT1", L"LPT2", L"LPT3",
                                             L"LPT4", L"LPT5", L"LPT6", L"LPT7", L"LPT8", L"LPT9"};
constexpr DWORD kFullPathChars = 1024;
constexpr DWORD kSectionChars = 2000;

bool IsBlank(wchar_t c) { return c == L' ' || c == L'\t' || c == L'\r' || c == L'\n' || c == L'\v' || c == L'\f'; }

bool IsAsciiLetter(wchar_t c) { return (c >= L'A' && c <= L'Z') || (c >= L'a' && c <= L'z'); }
bool IsDigit(wchar_t c) { return c >= L'0' && c <= L'9'; }

bool IsDrivePath(const std::wstring& p) {
    return p.size() > 2 && IsAsciiLetter(p[0]) && p[1] == L':' && p[2] == L'\\';
}
bool IsNetworkPath(const std::wstring& p) { return p.size() > 2 && p[0] == L'\\' && p[1] == L'\\'; }

bool FullPath(const std::wstring& path, std::wstring& full) {
    std::vector<wchar_t> buffer(kFullPathChars, L'\0');
    DWORD n = ::GetFullPathNameW(path.c_str(), kFullPathChars, buffer.data(), nullptr);
    if (n == 0 || n >= kFullPathChars) return false;
    full.assign(buffer.data(), n);
    return true;
}

// "\\server\share\" of a network path, or empty when the server name or the
// share is missing or the server name starts with an unusual character.
std::wstring NetworkDrivePart(const std::wstring& p) {
    size_t first = p.find(L'\\', 2);
    if (first == std::wstring::npos) return std::wstring();
    size_t second = p.find(L'\\', first + 1);
    if (second == std::wstring::npos) return std::wstring();
    wchar_t c = p[2];
    if (!IsDigit(c) && c != L'.' && !IsAsciiLetter(c)) return std::wstring();
    return p.substr(0, second + 1);
}

// Splits a full path into its drive part and the rest; false when the path
// does not start with the drive part it should.
bool SplitDrive(const std::wstring& full, std::wstring& drive, std::wstring& rest) {
    if (IsDrivePath(full)) {
        drive = full.substr(0, 2);
    } else if (IsNetworkPath(full)) {
        drive = NetworkDrivePart(full);
        if (drive.empty()) return false;
    } else {
        return false;
    }
    rest = full.substr(drive.size());
    return true;
}

bool RunningOnWine() {
    static const bool wine = ::GetProcAddress(::GetModuleHandleW(L"ntdll.dll"), "wine_get_version") != nullptr;
    return wine;
}

// Removes a junction or symbolic link to a folder, never what it points to.
bool RemoveFolderLink(const std::wstring& path) {
    // Wine reports a Unix symbolic link as a reparse point, but its
    // RemoveDirectoryW removes the (empty) target and keeps the link: there
    // the link stays.
    if (RunningOnWine()) {
        ::SetLastError(ERROR_ACCESS_DENIED);
        return false;
    }
    return ::RemoveDirectoryW(path.c_str()) != 0;
}

bool IsLink(const WIN32_FIND_DATAW& data) { return (data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0; }
bool IsFolder(const WIN32_FIND_DATAW& data) { return (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0; }

void ClearReadOnlyAttribute(const std::wstring& path) {
    DWORD attributes = ::GetFileAttributesW(path.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY))
        ::SetFileAttributesW(path.c_str(), attributes & ~FILE_ATTRIBUTE_READONLY);
}

std::wstring WithoutTrailingBackslash(const std::wstring& folder) {
    if (folder.size() > 1 && folder.back() == L'\\' && folder[folder.size() - 2] != L':')
        return folder.substr(0, folder.size() - 1);
    return folder;
}

enum class Remover { DeleteTree, RemoveTree, Collect };

int RemoveFolder(const std::wstring& folderIn, Remover kind, StringList* notDeleted);

// Handles one listed entry; false ends the listing of its folder.
bool RemoveEntry(const std::wstring& path, const WIN32_FIND_DATAW& data, Remover kind, StringList* notDeleted) {
    if (IsFolder(data) && IsLink(data)) {
        if (RemoveFolderLink(path)) return true;
        if (kind != Remover::Collect) return false;
        notDeleted->push_front(path);
        return true;
    }
    if (IsFolder(data)) {
        Remover sub = kind == Remover::Collect ? Remover::RemoveTree : kind;
        return RemoveFolder(path, sub, nullptr) != 0;
    }
    // The attributes of a link to a file belong to its target: leave them.
    if (!IsLink(data)) {
        if (kind == Remover::DeleteTree)
            CUtilPaths::ClearReadOnly(path);
        else
            ClearReadOnlyAttribute(path);
    }
    if (::DeleteFileW(path.c_str())) return true;
    if (kind != Remover::Collect) return false;
    notDeleted->push_front(path);
    return true;
}

int RemoveFolder(const std::wstring& folderIn, Remover kind, StringList* notDeleted) {
    std::wstring folder = WithoutTrailingBackslash(folderIn);
    WIN32_FIND_DATAW self;
    zel::UniqueFindHandle selfFind(::FindFirstFileW(folder.c_str(), &self));
    if (selfFind && IsFolder(self) && IsLink(self)) return RemoveFolderLink(folder) ? 1 : 0;
    selfFind.reset();

    WIN32_FIND_DATAW data;
    zel::UniqueFindHandle find(::FindFirstFileW((folder + L"\\*").c_str(), &data));
    if (find) {
        do {
            std::wstring name = data.cFileName;
            if (name == L"." || name == L"..") continue;
            if (!RemoveEntry(folder + L"\\" + name, data, kind, notDeleted)) break;
        } while (::FindNextFileW(find.get(), &data));
    }
    find.reset();
    return ::RemoveDirectoryW(folder.c_str()) ? 1 : 0;
}

// Optional blanks, optional sign, digits up to the first other character;
// the value saturates at the limits.
long long ParseDecimal(const std::wstring& text, long long low, long long high) {
    size_t i = 0;
    while (i < text.size() && IsBlank(text[i])) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == L'+' || text[i] == L'-')) negative = text[i++] == L'-';
    unsigned long long magnitude = 0;
    bool overflow = false;
    for (; i < text.size() && IsDigit(text[i]); ++i) {
        unsigned digit = text[i] - L'0';
        if (magnitude > (ULLONG_MAX - digit) / 10) overflow = true;
        else magnitude = magnitude * 10 + digit;
    }
    if (negative) {
        unsigned long long limit = static_cast<unsigned long long>(-(low + 1)) + 1;
        if (overflow || magnitude >= limit) return low;
        return -static_cast<long long>(magnitude);
    }
    if (overflow || magnitude > static_cast<unsigned long long>(high)) return high;
    return static_cast<long long>(magnitude);
}

int32_t ToInt32(const std::wstring& text) { return static_cast<int32_t>(ParseDecimal(text, INT32_MIN, INT32_MAX)); }

int64_t ToInt64(const std::wstring& text) {
    // The 64-bit conversion reads an 8-bit copy of at most 1024 bytes.
    constexpr size_t kNarrowBytes = 1024;
    return ParseDecimal(text.substr(0, kNarrowBytes - 1), LLONG_MIN, LLONG_MAX);
}

}  // namespace

std::wstring CUtilPaths::GetExePath() {
    std::vector<wchar_t> buffer(kFullPathChars, L'\0');
    DWORD n = ::GetModuleFileNameW(nullptr, buffer.data(), kFullPathChars);
    return std::wstring(buffer.data(), std::min<DWORD>(n, kFullPathChars));
}

std::wstring CUtilPaths::GetExeFolder() {
    std::wstring path = GetExePath();
    size_t last = path.rfind(L'\\');
    if (last == std::wstring::npos || last == 0) return std::wstring();
    return path.substr(0, last);
}

std::wstring CUtilPaths::GetExeName() {
    std::wstring path = GetExePath();
    size_t last = path.rfind(L'\\');
    if (last == std::wstring::npos || last == 0) return std::wstring();
    return path.substr(last + 1);
}

void CUtilPaths::AddTrailingBackslash(std::wstring& path) {
    if (!path.empty() && path.back() != L'\\') path += L'\\';
}

std::wstring CUtilPaths::SplitPath(const std::wstring& path, int part) {
    size_t last = path.rfind(L'\\');
    bool none = last == std::wstring::npos || last == 0;
    if (part == 1) return none ? path : path.substr(last + 1);
    return none ? std::wstring() : path.substr(0, last + 1);
}

std::wstring CUtilPaths::GetDriveRoot(const std::wstring& path) {
    if (IsNetworkPath(path)) {
        size_t slash = path.find(L'\\', 2);
        return slash == std::wstring::npos ? std::wstring() : path.substr(0, slash + 1);
    }
    return path.substr(0, 2);
}

int CUtilPaths::FileExists(const std::wstring& path) { return zel::SearchFinds(path) ? 1 : 0; }

std::wstring CUtilPaths::ExpandPathVariable(const std::wstring& text) {
    if (text.empty() || text[0] != L'%') return text;
    // Pieces: before the first "%" (empty here), between the first two, and
    // everything after the second; empty pieces are dropped.
    std::vector<std::wstring> pieces;
    size_t second = text.find(L'%', 1);
    if (second == std::wstring::npos) {
        pieces.push_back(text.substr(1));
    } else {
        pieces.push_back(text.substr(1, second - 1));
        pieces.push_back(text.substr(second + 1));
    }
    pieces.erase(std::remove(pieces.begin(), pieces.end(), std::wstring()), pieces.end());
    if (pieces.empty()) return std::wstring();

    DWORD needed = ::GetEnvironmentVariableW(pieces[0].c_str(), nullptr, 0);
    if (needed == 0) return std::wstring();
    std::vector<wchar_t> buffer(needed, L'\0');
    DWORD n = ::GetEnvironmentVariableW(pieces[0].c_str(), buffer.data(), needed);
    if (n == 0 || n >= needed) return std::wstring();
    std::wstring result(buffer.data(), n);
    if (pieces.size() > 1) result += pieces[1];
    return result;
}

int CUtilPaths::IsValidPathPart(const std::wstring& part) {
    if (part == L"..") return 1;
    if (part.find(L"..") != std::wstring::npos) return 0;
    for (const wchar_t* reserved : kReservedNames)
        if (::lstrcmpiW(part.c_str(), reserved) == 0) return 0;
    if (!part.empty() && part.find_first_not_of(L'.') == std::wstring::npos) return 0;
    return 1;
}

int CUtilPaths::CheckFolderPath(std::wstring path, std::wstring& drivePart) {
    AddTrailingBackslash(path);
    if (path.find_first_of(kRefusedPathChars) != std::wstring::npos) return kPathBadName;

    StringList parts;
    SplitText(path, L'\\', parts);
    for (const auto& part : parts)
        if (!IsValidPathPart(part)) return kPathBadName;
    if (path.size() > 255) return kPathTooLong;

    std::wstring drive, rest;
    bool remote = false;
    if (IsNetworkPath(path)) {
        drive = NetworkDrivePart(path);
        std::wstring full;
        if (drive.empty() || !FullPath(path, full)) return kPathBadName;
        // A ".." that climbs above the share leaves the share: refused.
        if (full.compare(0, drive.size(), drive) != 0) return kPathBadName;
        path = full;
        rest = full.substr(drive.size());
        remote = true;
    } else if (IsDrivePath(path)) {
        std::wstring full;
        if (!FullPath(path, full) || !SplitDrive(full, drive, rest)) return kPathBadName;
        path = full;
    } else if (path.compare(0, 3, L"..\\") == 0 || path.compare(0, 4, L"\\..\\") == 0) {
        // The path itself stays relative; only its drive is looked up.
        std::wstring full;
        if (!FullPath(path, full) || !SplitDrive(full, drive, rest)) return kPathBadName;
    } else {
        return kPathBadName;
    }
    drivePart = drive;

    UINT type = DRIVE_REMOTE;
    if (!remote) {
        std::wstring root = drive;
        AddTrailingBackslash(root);
        type = ::GetDriveTypeW(root.c_str());
    }
    if (type != DRIVE_REMOVABLE && type != DRIVE_FIXED && type != DRIVE_REMOTE) return kPathBadName;
    const int refused = type == DRIVE_REMOTE ? kPathCannotMake : kPathAccessDenied;

    createdInLastCall_ = false;
    if (!rest.empty() && CreateMissingFolders(drive, rest) != 0) return refused;
    int ok = CanWriteInFolder(path, L"");
    if (createdInLastCall_) RemoveFolderTree(createdTopFolder_);
    return ok ? kPathOk : refused;
}

int CUtilPaths::CreateMissingFolders(const std::wstring& drive, std::wstring rest) {
    AddTrailingBackslash(rest);
    createdInLastCall_ = false;
    // For a drive path the rest starts with a backslash; for a network path
    // it starts with the first level below the share, which is created too.
    for (size_t hit = rest.find(L'\\', 1); hit != std::wstring::npos; hit = rest.find(L'\\', hit + 1)) {
        std::wstring folder = drive + rest.substr(0, hit);
        if (!::CreateDirectoryW(folder.c_str(), nullptr)) {
            if (::GetLastError() != ERROR_ALREADY_EXISTS) return -1;
            continue;
        }
        if (!createdInLastCall_) {
            createdTopFolder_ = folder;
            createdInLastCall_ = true;
        }
    }
    return 0;
}

int CUtilPaths::CanWriteInFolder(const std::wstring& folder, const std::wstring& prefix) {
    wchar_t name[MAX_PATH + 1] = {};
    if (!::GetTempFileNameW(folder.c_str(), prefix.c_str(), 0, name)) return 0;
    zel::UniqueHandle file(::CreateFileW(name, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                         FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    bool opened = file.valid();
    file.reset();
    // GetTempFileNameW made the file; never leave it behind.
    ::DeleteFileW(name);
    return opened ? 1 : 0;
}

void CUtilPaths::CreateFolderWithParents(const std::wstring& folder) {
    std::wstring path = folder;
    while (path.size() > 1 && path.back() == L'\\') path.pop_back();
    CreateFolderChain(path + L"\\");
}

int CUtilPaths::CreateFolderChain(const std::wstring& filePath) {
    size_t last = filePath.rfind(L'\\');
    if (last == std::wstring::npos) return 0;
    std::wstring folder = filePath.substr(0, last);
    // Past "C:\", or past "\\server\share\" where no folder can be made.
    size_t start = 3;
    if (IsNetworkPath(folder)) {
        std::wstring share = NetworkDrivePart(folder + L"\\");
        if (share.empty()) return -1;
        if (share.size() > folder.size()) return 0;
        start = share.size();
    } else if (folder.size() <= 2) {
        return 0;  // a file at a drive root (or the root of the current drive)
    }
    auto create = [](const std::wstring& f) {
        return ::CreateDirectoryW(f.c_str(), nullptr) || ::GetLastError() == ERROR_ALREADY_EXISTS;
    };
    for (size_t hit = folder.find(L'\\', start); hit != std::wstring::npos && start < folder.size();
         hit = folder.find(L'\\', hit + 1)) {
        if (!create(folder.substr(0, hit))) return -1;
    }
    return create(folder) ? 0 : -1;
}

int CUtilPaths::DeleteFolderTree(const std::wstring& folder) {
    const DWORD attributes = ::GetFileAttributesW(folder.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) return -1;
    return RemoveFolder(folder, Remover::DeleteTree, nullptr);
}

int CUtilPaths::RemoveFolderTree(const std::wstring& folder) { return RemoveFolder(folder, Remover::RemoveTree, nullptr); }

int CUtilPaths::DeleteFolderCollect(const std::wstring& folder, StringList& notDeleted) {
    return RemoveFolder(folder, Remover::Collect, &notDeleted);
}

DWORD CUtilPaths::ClearReadOnly(const std::wstring& file) {
    DWORD attributes = ::GetFileAttributesW(file.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        DWORD error = ::GetLastError();
        return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ? 0 : error;
    }
    if (!(attributes & FILE_ATTRIBUTE_READONLY)) return 0;
    if (!::SetFileAttributesW(file.c_str(), FILE_ATTRIBUTE_NORMAL)) return ::GetLastError();
    return 0;
}

std::wstring CUtilPaths::GetErrorMessage(DWORD code) {
    wchar_t* text = nullptr;
    DWORD n = ::FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                   FORMAT_MESSAGE_IGNORE_INSERTS,
                               nullptr, code, MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT),
                               reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    zel::UniqueLocalMemory owner(text);
    return n && text ? std::wstring(text, n) : std::wstring();
}

namespace {
// What follows the last separator that is not itself last, as the shell's
// path functions see a file name.
std::wstring FileNamePart(const std::wstring& path) {
    size_t start = 0;
    for (size_t i = 0; i < path.size(); ++i) {
        const wchar_t c = path[i];
        if ((c == L'\\' || c == L'/' || c == L':') && i + 1 < path.size() && path[i + 1] != L'\\' &&
            path[i + 1] != L'/')
            start = i + 1;
    }
    return path.substr(start);
}

// From the last dot on, unless a backslash or a space follows that dot.
std::wstring ExtensionPart(const std::wstring& path) {
    size_t dot = std::wstring::npos;
    for (size_t i = 0; i < path.size(); ++i) {
        if (path[i] == L'\\' || path[i] == L' ')
            dot = std::wstring::npos;
        else if (path[i] == L'.')
            dot = i;
    }
    return dot == std::wstring::npos ? std::wstring() : path.substr(dot);
}
}  // namespace

std::wstring CUtilPaths::UserSpecificPath(const std::wstring& path) {
    std::wstring name = FileNamePart(path);
    std::wstring extension = ExtensionPart(path);
    if (!extension.empty()) {
        wchar_t user[257] = {};
        DWORD size = 257;
        if (!::GetUserNameW(user, &size)) user[0] = L'\0';
        std::wstring replacement = std::wstring(L"_") + user + extension;
        for (size_t at = name.find(extension); at != std::wstring::npos;
             at = name.find(extension, at + replacement.size())) {
            name.replace(at, extension.size(), replacement);
        }
    }
    size_t last = path.rfind(L'\\');
    // A bare file name stays where it is rather than moving to the drive root.
    if (last == std::wstring::npos) return name;
    return path.substr(0, last) + L"\\" + name;
}

void CUtilPaths::ReadSection(const std::wstring& file, const std::wstring& section,
                             std::map<std::wstring, std::wstring>& values, unsigned /*size*/) {
    // The section is read as into a 2000-character buffer: lines past the cut
    // are lost, and the line the cut falls in is dropped rather than kept
    // with a shortened value.
    std::vector<std::wstring> lines;
    size_t used = 0;
    for (auto& line : CSettingsFile(file).GetSection(section.c_str())) {
        used += line.size() + 1;
        if (used > kSectionChars - 1) break;
        if (!line.empty()) lines.push_back(std::move(line));
    }
    // Stored last to first, so the first occurrence of a key wins.
    for (auto it = lines.rbegin(); it != lines.rend(); ++it) {
        size_t equals = it->find(L'=');
        std::wstring key = equals == std::wstring::npos ? std::wstring() : it->substr(0, equals);
        std::wstring value = equals == std::wstring::npos ? *it : it->substr(equals + 1);
        values[zel::ToLower(key)] = value;
    }
}

void CUtilPaths::SplitText(std::wstring text, wchar_t delimiter, StringList& list) {
    size_t start = 0;
    while (start < text.size()) {
        size_t hit = text.find(delimiter, start);
        size_t end = hit == std::wstring::npos ? text.size() : hit;
        std::wstring token = zel::Trim(text.substr(start, end - start));
        if (!token.empty()) list.push_front(token);
        start = hit == std::wstring::npos ? text.size() : hit + 1;
    }
}

std::wstring CUtilPaths::GetExtension(const std::wstring& name) {
    size_t dot = name.rfind(L'.');
    if (name.size() <= 4 || dot == std::wstring::npos) return std::wstring();
    return name.substr(dot + 1);
}

std::wstring CUtilPaths::GetBaseName(const std::wstring& name) {
    size_t dot = name.rfind(L'.');
    if (name.size() <= 4 || dot == std::wstring::npos) return std::wstring();
    return name.substr(0, dot);
}

void CUtilPaths::StripBraces(std::wstring& text) {
    if (!text.empty() && text.front() == L'{') text.erase(0, text.find_first_not_of(L'{'));
    if (!text.empty() && text.back() == L'}') {
        size_t keep = text.find_last_not_of(L'}');
        text.erase(keep == std::wstring::npos ? 0 : keep + 1);
    }
}

int CUtilPaths::IsNumericText(const std::wstring& text) {
    for (wchar_t c : text)
        if (!IsDigit(c) && c != L'.') return 0;
    return 1;
}

std::wstring CUtilPaths::NewGuidText() {
    // A random (version 4) GUID from the system's generator, as COM would
    // make one, without loading COM.
    unsigned char bytes[16] = {};
    if (!::SystemFunction036(bytes, sizeof(bytes))) return std::wstring();
    bytes[6] = static_cast<unsigned char>((bytes[6] & 0x0F) | 0x40);
    bytes[8] = static_cast<unsigned char>((bytes[8] & 0x3F) | 0x80);
    wchar_t text[40] = {};
    std::swprintf(text, 40, L"{%02X%02X%02X%02X-%02X%02X-%02X%02X-%02X%02X-%02X%02X%02X%02X%02X%02X}", bytes[0],
                  bytes[1], bytes[2], bytes[3], bytes[4], bytes[5], bytes[6], bytes[7], bytes[8], bytes[9], bytes[10],
                  bytes[11], bytes[12], bytes[13], bytes[14], bytes[15]);
    return text;
}

void CUtilPaths::TextToNumber(const std::wstring& text, int32_t& number) { number = ToInt32(text); }
void CUtilPaths::TextToNumber(const std::wstring& text, uint32_t& number) {
    number = static_cast<uint32_t>(ToInt32(text));
}
void CUtilPaths::TextToNumber(const std::wstring& text, long& number) { number = ToInt32(text); }
void CUtilPaths::TextToNumber(const std::wstring& text, unsigned long& number) {
    number = static_cast<uint32_t>(ToInt32(text));
}
void CUtilPaths::TextToNumber(const std::wstring& text, int16_t& number) {
    number = static_cast<int16_t>(static_cast<uint32_t>(ToInt32(text)) & 0xFFFF);
}
void CUtilPaths::TextToNumber(const std::wstring& text, uint16_t& number) {
    number = static_cast<uint16_t>(static_cast<uint32_t>(ToInt32(text)) & 0xFFFF);
}
void CUtilPaths::TextToNumber(const std::wstring& text, int64_t& number) { number = ToInt64(text); }
void CUtilPaths::TextToNumber(const std::wstring& text, uint64_t& number) {
    number = static_cast<uint64_t>(ToInt64(text));
}
