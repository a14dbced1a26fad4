// Registry and system queries of theUtil. They keep no state and may be
// called from any thread.
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <list>
#include <string>

class CUtilSystem {
public:
    // Language identifier of the user interface, or -1 when the system cannot say.
    int GetUILanguage() const;
    DWORD GetOSMajorVersion() const;
    // 1 when the calling thread's user is in the local Administrators group, else 0.
    int IsUserAdmin() const;
    // Bytes; all bits set when the memory does not fit 32 bits.
    DWORD GetTotalMemory() const;
    std::wstring GetComputerNameText() const;
    // Inserts at the front: the head is the processor found last.
    void GetProcessorNames(std::list<std::wstring>& names) const;
    // Drive roots ("C:\") of the type (3 fixed, 5 CD-ROM), inserted at the
    // front so that the head is the highest letter. -1 when no drive exists.
    int ListDrives(std::list<std::wstring>& drives, UINT type) const;
    // As ListDrives; fixed drives are listed only with at least needed free bytes.
    int ListDrivesWithSpace(std::list<std::wstring>& drives, UINT type, unsigned long long needed) const;
    // 0 when the drive cannot be asked.
    unsigned long long GetFreeBytes(const std::wstring& root) const;
    void GetDriveSpaceText(const std::wstring& root, std::wstring& text) const;
    // Empty when the volume cannot be asked.
    std::wstring GetFileSystemName(const std::wstring& root) const;

    // KB, MB or GB (1024-based); a unit is taken only when the count is above it.
    static void ToSizeUnit(long long bytes, double& value, std::wstring& unit);
    static std::wstring LanguageIdToName(int id);
    static DWORD ReadRegDword(HKEY key, const std::wstring& valueName, DWORD defaultValue);
    static std::wstring ReadRegString(HKEY key, const std::wstring& valueName, DWORD sizeBytes);
};

namespace zel {

// "12.50 GB": KB, MB or GB (1024-based), a unit taken only above it.
std::wstring SizeText(std::uint64_t bytes);

// "Total Space: ...<tab>Used space: ...<tab>Free space: ...".
std::wstring FormatDriveSpaceText(unsigned long long totalBytes, unsigned long long freeBytes);

// The drive selection of ListDrives/ListDrivesWithSpace over a drive mask
// (bit 0 for A) and the two questions asked of each root; freeBytes may be
// empty when no space is needed.
struct DriveQueries {
    std::function<UINT(const std::wstring& root)> driveType;
    std::function<unsigned long long(const std::wstring& root)> freeBytes;
};
int SelectDrives(DWORD mask, const DriveQueries& queries, UINT type, bool checkSpace,
                 unsigned long long needed, std::list<std::wstring>& drives);

// The processor names under baseKey followed by 0, 1, 2, ... below root.
void ReadProcessorNames(HKEY root, const std::wstring& baseKey, std::list<std::wstring>& names);

}  // namespace zel
