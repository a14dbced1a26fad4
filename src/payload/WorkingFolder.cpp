#include "payload/Initializer.h"

#include "checks/ExtractorValidator.h"
#include "framework/Handles.h"
#include "framework/WinApp.h"
#include "logging/LogFile.h"
#include "payload/Extractor.h"
#include "payload/LanguageTexts.h"
#include "payload/VersionInfo.h"
#include "platform/SettingsFile.h"
#include "platform/Util.h"

#include <windows.h>
#include <sddl.h>

#include <cmath>
#include <vector>

int ComputeBufferSize(unsigned per128, std::uint32_t physicalBytes) {
    if (per128 == 0) per128 = CTavoInitalizer::kDefaultBufferSize;
    auto blocks = static_cast<std::uint32_t>(std::ceil(physicalBytes / 134217728.0));
    return static_cast<int>(blocks * per128);
}

void CTavoInitalizer::SetBufferSize() {
    auto per128 = static_cast<unsigned>(
        CSettingsFile(SettingsFilePath).GetInt(L"Size", L"128MB", kDefaultBufferSize));
    theLog.LogMessage(11, L"SetBufferSize", L"BufferSize in ToolSettings : %u", per128);
    MEMORYSTATUS memory = {};
    memory.dwLength = sizeof(memory);
    ::GlobalMemoryStatus(&memory);
    BufferSize = ComputeBufferSize(per128, static_cast<std::uint32_t>(memory.dwTotalPhys));
    theLog.LogMessage(11, L"SetBufferSize", L"Calculated BufferSize : %u", static_cast<unsigned>(BufferSize));
}

namespace {
constexpr wchar_t kNoVolumeText[] = L"Unable to find a volume with enough disk space for file extraction.";

// The SID of the user the process runs as, as text ("S-1-5-21-...").
std::wstring CurrentUserSid() {
    HANDLE rawToken = nullptr;
    if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, &rawToken)) return std::wstring();
    zel::UniqueHandle token(rawToken);
    DWORD size = 0;
    ::GetTokenInformation(token.get(), TokenUser, nullptr, 0, &size);
    std::vector<BYTE> buffer(size);
    if (size == 0 || !::GetTokenInformation(token.get(), TokenUser, buffer.data(), size, &size)) return std::wstring();
    wchar_t* text = nullptr;
    if (!::ConvertSidToStringSidW(reinterpret_cast<TOKEN_USER*>(buffer.data())->User.Sid, &text)) return std::wstring();
    zel::UniqueLocalMemory owner(text);
    return std::wstring(text);
}

// Volumes without access lists (FAT, exFAT) would let any user swap the
// settings or the cabinet before an elevated run uses them.
bool KeepsAccessLists(const std::wstring& root) {
    DWORD flags = 0;
    if (!::GetVolumeInformationW(root.c_str(), nullptr, 0, nullptr, nullptr, &flags, nullptr, 0)) return false;
    return (flags & FS_PERSISTENT_ACLS) != 0;
}
}  // namespace

std::wstring WorkingFolderSddl(const std::wstring& userSid) {
    // Protected: nothing is inherited from the drive root.
    std::wstring sddl = L"D:P(A;OICI;FA;;;BA)(A;OICI;FA;;;SY)";
    if (!userSid.empty()) sddl += L"(A;OICI;FA;;;" + userSid + L")";
    return sddl;
}

std::list<std::wstring> OrderWorkingFolderCandidates(const std::list<std::wstring>& candidates,
                                                     const std::function<bool(const std::wstring&)>& keepsAcls) {
    std::list<std::wstring> ordered;
    for (const std::wstring& root : candidates)
        if (keepsAcls(root)) ordered.push_back(root);
    // Only when no volume keeps access lists is the first candidate used.
    if (ordered.empty() && !candidates.empty()) ordered.push_back(candidates.front());
    return ordered;
}

bool CreatePrivateFolder(const std::wstring& folder) {
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (!::ConvertStringSecurityDescriptorToSecurityDescriptorW(WorkingFolderSddl(CurrentUserSid()).c_str(),
                                                                SDDL_REVISION_1, &descriptor, nullptr))
        return false;
    zel::UniqueLocalMemory owner(descriptor);
    SECURITY_ATTRIBUTES attributes = {sizeof(attributes), descriptor, FALSE};
    BOOL created = ::CreateDirectoryW(folder.c_str(), &attributes);
    // The caller reads why the folder could not be made; freeing must not change it.
    DWORD error = ::GetLastError();
    owner.reset();
    ::SetLastError(error);
    return created != FALSE;
}

std::uint64_t CTavoInitalizer::SetAppFileSize() {
    const wchar_t* source = L"SetAppFileSize";
    std::wstring path = CUtilPaths::GetExePath();
    theLog.LogMessage(8, source, L"Opening file : %s", path.c_str());
    std::uint64_t size = 4294967296ull;
    zel::UniqueHandle file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                         FILE_ATTRIBUTE_NORMAL, nullptr));
    LARGE_INTEGER length = {};
    if (file && ::GetFileSizeEx(file.get(), &length)) {
        size = static_cast<std::uint64_t>(length.QuadPart);
        file.reset();
        theLog.LogMessage(8, source, L"File closed successfully");
    } else {
        theLog.LogMessage(0, source, L"Error in opening the file");
    }
    theLog.LogMessage(8, source, L"Space required for Extraction of Setting files: %s", zel::SizeText(size).c_str());
    return size;
}

int CTavoInitalizer::SetTavoTempDir() {
    const wchar_t* source = L"SetTavoTempDir";
    std::uint64_t need = SetAppFileSize();
    theLog.LogMessage(8, source, L"Searching space for extraction of Setting files");
    std::list<std::wstring> candidates;
    theUtil.ListDrivesWithSpace(candidates, DRIVE_FIXED, need);
    if (candidates.empty()) {
        theLog.LogMessage(0, source, kNoVolumeText);
        return ERROR_HANDLE_DISK_FULL;
    }
    DWORD lastError = ERROR_ACCESS_DENIED;
    for (const std::wstring& root : OrderWorkingFolderCandidates(candidates, KeepsAccessLists)) {
        // A fresh name each time: an existing folder is never reused.
        for (int attempt = 0; attempt < 3; ++attempt) {
            std::wstring folder = root + CUtilPaths::NewGuidText() + L"\\";
            if (CreatePrivateFolder(folder)) {
                theLog.LogMessage(8, source, L"Required Space found in Drive : %s", root.c_str());
                theLog.LogMessage(8, source, L"Directory created : %s", folder.c_str());
                WorkingFolder = folder;
                return 0;
            }
            lastError = ::GetLastError();
            if (lastError != ERROR_ALREADY_EXISTS) break;
        }
    }
    return static_cast<int>(lastError);
}

std::wstring CTavoInitalizer::CretaeAndValidateTavoTempDir() {
    const wchar_t* source = L"CretaeAndValidateTavoTempDir";
    int code = SetTavoTempDir();
    switch (code) {
    case 0:
        return std::wstring();
    case ERROR_HANDLE_DISK_FULL:
        theLog.LogMessage(0, source, kNoVolumeText);
        return ::GetLangString(104);
    case ERROR_ACCESS_DENIED:
        theLog.LogMessage(0, source,
                          L"Unable to find a volume for file extraction.Please verify that you have proper permissions.");
        return ::GetLangString(106);
    default: {
        std::wstring text = CUtilPaths::GetErrorMessage(static_cast<DWORD>(code));
        theLog.LogText(0, source, text);
        return L"Error : " + text;
    }
    }
}

int CTavoInitalizer::ExtractIntermediateFiles() {
    const wchar_t* source = L"ExtractIntermediateFiles";
    theLog.WriteRaw(L"------------------------------------------ Extraction ------------------------------------------\n");
    std::wstring exe = CUtilPaths::GetExePath();
    CExtractor reader;
    int result = reader.ExtractFile(exe, WorkingFolder, kRecordKindSettings,
                                    CTavoVersionInfoUpdater::GetModuleVersionSubtype(exe),
                                    static_cast<DWORD>(BufferSize));
    if (result != 0) {
        theLog.LogMessage(0, source, L"An error occured during extraction of Setting files");
        if (RunMode == ModeFullGui) zel::AppMessageBox(::GetLangString(602), MB_ICONERROR);
        return result;
    }
    theLog.LogMessage(8, source, L"Extracted Setting files to %s", WorkingFolder.c_str());
    return 0;
}
