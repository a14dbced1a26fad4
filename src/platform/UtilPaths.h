// Paths, folders, environment variables and text helpers of theUtil.
#pragma once

#include "platform/StringList.h"

#include <windows.h>

#include <cstdint>
#include <map>
#include <string>

class CUtilPaths {
public:
    // Path check codes (platform error numbers).
    static constexpr int kPathOk = 0;
    static constexpr int kPathAccessDenied = ERROR_ACCESS_DENIED;          // 5
    static constexpr int kPathCannotMake = ERROR_CANNOT_MAKE;              // 82
    static constexpr int kPathBadName = ERROR_BAD_PATHNAME;                // 161
    static constexpr int kPathTooLong = ERROR_FILENAME_EXCED_RANGE;        // 206

    // The running executable.
    static std::wstring GetExePath();
    static std::wstring GetExeFolder();
    static std::wstring GetExeName();

    static void AddTrailingBackslash(std::wstring& path);
    // part 1 gives the file name, any other the folder with its trailing backslash.
    static std::wstring SplitPath(const std::wstring& path, int part);
    // "\\server\" for a network path, otherwise the first two characters.
    static std::wstring GetDriveRoot(const std::wstring& path);
    // 1 when a directory search finds path (zel::SearchFinds), else 0.
    static int FileExists(const std::wstring& path);
    // Expands an environment variable at the very start ("%NAME%rest");
    // empty when that variable is not set.
    static std::wstring ExpandPathVariable(const std::wstring& text);

    // Whether the folder can receive the package: 0, 5, 82, 161 or 206.
    // Missing folders are created for the write test and removed again.
    int CheckFolderPath(std::wstring path, std::wstring& drivePart);
    static int IsValidPathPart(const std::wstring& part);
    // Creates every missing level of drive + rest from the top down.
    int CreateMissingFolders(const std::wstring& drive, std::wstring rest);
    // The first folder created by the latest path check that created any.
    const std::wstring& GetCreatedTopFolder() const { return createdTopFolder_; }

    static int CanWriteInFolder(const std::wstring& folder, const std::wstring& prefix);
    static void CreateFolderWithParents(const std::wstring& folder);
    // Creates the folders of a file path; 0 or -1.
    static int CreateFolderChain(const std::wstring& filePath);

    // The three removers return the result of the final RemoveDirectoryW
    // (non-zero on success); none of them enters a junction or symbolic link.
    // -1 when the path is not a folder; a read-only file is made normal first.
    static int DeleteFolderTree(const std::wstring& folder);
    static int RemoveFolderTree(const std::wstring& folder);
    // Files that could not be deleted are added at the front of notDeleted.
    static int DeleteFolderCollect(const std::wstring& folder, StringList& notDeleted);
    // 0, or the platform error that stopped reading or writing the attributes.
    static DWORD ClearReadOnly(const std::wstring& file);
    // The system's text for an error code, as FormatMessage gives it (line
    // break included); empty for an unknown code.
    static std::wstring GetErrorMessage(DWORD code);
    // "C:\Logs\Tavo.log" becomes "C:\Logs\Tavo_<user>.log".
    static std::wstring UserSpecificPath(const std::wstring& path);

    // Reads a section cut at 2000 characters; keys in lower case, the first
    // occurrence of a key wins, neither key nor value trimmed. size, the
    // caller's buffer size, changes nothing: the cut is the same for all.
    static void ReadSection(const std::wstring& file, const std::wstring& section,
                            std::map<std::wstring, std::wstring>& values, unsigned size);
    // Adds the trimmed, non-empty tokens at the FRONT of list: the head is the
    // last token.
    static void SplitText(std::wstring text, wchar_t delimiter, StringList& list);

    static std::wstring GetExtension(const std::wstring& name);
    static std::wstring GetBaseName(const std::wstring& name);
    static void StripBraces(std::wstring& text);
    static int IsNumericText(const std::wstring& text);
    static std::wstring NewGuidText();

    // Decimal text (leading blanks, sign, digits) to a number; 0 without digits.
    static void TextToNumber(const std::wstring& text, int32_t& number);
    static void TextToNumber(const std::wstring& text, uint32_t& number);
    static void TextToNumber(const std::wstring& text, long& number);
    static void TextToNumber(const std::wstring& text, unsigned long& number);
    // The low 16 bits of the 32-bit value.
    static void TextToNumber(const std::wstring& text, int16_t& number);
    static void TextToNumber(const std::wstring& text, uint16_t& number);
    static void TextToNumber(const std::wstring& text, int64_t& number);
    static void TextToNumber(const std::wstring& text, uint64_t& number);

private:
    std::wstring createdTopFolder_;
    bool createdInLastCall_ = false;
};
