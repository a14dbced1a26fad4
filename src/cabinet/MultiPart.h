// Finds and checks the numbered part files of a multi-part package: each
// must exist beside the executable, carry its listed hash and be the right
// cabinet of the package's set.
#pragma once

#include <windows.h>

#include <cstdint>
#include <list>
#include <string>

enum PartCheckResult {
    PartsValid = 0,
    PartMissing = -2,
    PartWrongCabinet = -3,
    PartCorrupt = -5,
};

struct FileHashResult {
    bool Ok = false;
    DWORD Error = 0;
    // 32 lower-case hex digits: the first 16 bytes of the SHA-1 digest.
    std::wstring Hash;
    std::wstring FailureText;
};

FileHashResult ComputeFileHash(const std::wstring& path);

class CMultiPartValidator {
public:
    // settingsPath: the package settings file listing the parts and their
    // hashes; setId: the set number of the package's cabinets; exePath: the
    // running executable when empty.
    CMultiPartValidator(std::wstring settingsPath, std::uint16_t setId, std::wstring exePath = std::wstring());
    virtual ~CMultiPartValidator() = default;

    // Full path of the first part, or empty; messages go to the head of the list.
    std::wstring GetValidPartName(std::wstring& failedPath, std::list<std::wstring>& messages);
    // One of PartCheckResult; every listed part is checked.
    int ValidateParts(std::wstring& failedPath, std::list<std::wstring>& messages);

    const std::wstring& GetPartNameTemplate() const { return template_; }
    // The first part's file name; the base for the names of later cabinets.
    const std::wstring& GetFirstPartName() const { return firstPartName_; }
    // File name of part n under the current template.
    std::wstring GetPartName(int n) const;

private:
    std::wstring ExeFolder() const;

    std::wstring settingsPath_;
    std::uint16_t setId_;
    std::wstring exePath_;
    std::wstring template_;
    std::wstring firstPartName_;
};
