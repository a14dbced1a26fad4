#include "cabinet/CabDecompressor.h"

#include "core/Messages.h"
#include "core/RunFlags.h"
#include "logging/LogFile.h"
#include "logging/WorkerLog.h"
#include "platform/FileChecks.h"
#include "platform/SystemLibrary.h"
#include "platform/Text.h"
#include "platform/Util.h"

#include <fcntl.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <new>
#include <set>
#include <vector>

std::wstring CurrentExtractFileName;

namespace {
// The decoder's file callbacks carry no context: each call into the decoder
// names its engine for its own thread and for its own duration, so a second
// engine (the part checks, another thread) never takes over the callbacks of
// a running one.
thread_local CCabDecompressor* activeEngine = nullptr;

class EngineScope {
public:
    explicit EngineScope(CCabDecompressor* engine) : previous_(activeEngine) { activeEngine = engine; }
    ~EngineScope() { activeEngine = previous_; }
    EngineScope(const EngineScope&) = delete;
    EngineScope& operator=(const EngineScope&) = delete;

private:
    CCabDecompressor* previous_;
};

constexpr char kPackageSignature[4] = {'T', 'A', 'V', 'O'};
constexpr char kCabinetSignature[4] = {'M', 'S', 'C', 'F'};

// In a part set every block handed to the decoder has room for a cabinet
// name, so the next-cabinet name it passes with the cabinet information can
// be renamed in place (the platform's own decoder keeps it in a buffer of this
// size; others allocate just the stored length). A single cabinet is never
// renamed: its blocks keep their size, since the decoder holds one for every
// file of the cabinet at once.
constexpr ULONG kMinAllocation = 256;

constexpr wchar_t kCallbackSource[] = L"FdiCallback";
constexpr wchar_t kOverwriteSource[] = L"FileOverwrite";
constexpr wchar_t kValidateSource[] = L"ValidateCabinetFile";
constexpr wchar_t kExtractSource[] = L"ExtractCabinet";

std::string ToUtf8(const std::wstring& text) {
    if (text.empty()) return std::string();
    int size = ::WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), nullptr, 0, nullptr,
                                     nullptr);
    std::string result(size, '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), result.data(), size, nullptr,
                          nullptr);
    return result;
}

std::wstring FromUtf8(const char* text) {
    if (text == nullptr || *text == '\0') return std::wstring();
    int size = ::MultiByteToWideChar(CP_UTF8, 0, text, -1, nullptr, 0);
    if (size <= 0) return std::wstring();
    std::wstring result(size, L'\0');
    ::MultiByteToWideChar(CP_UTF8, 0, text, -1, result.data(), size);
    result.resize(size - 1);
    return result;
}

std::wstring FromLatin1(const char* text) {
    std::wstring result;
    for (const unsigned char* p = reinterpret_cast<const unsigned char*>(text); p != nullptr && *p != 0; ++p)
        result.push_back(static_cast<wchar_t>(*p));
    return result;
}

// A stored name may only name a file below the extraction folder: no drive,
// stream or UNC prefix and no part that climbs out ("..", or dots and blanks
// that the platform trims to it). Both separators count.
bool IsSafeStoredName(const std::wstring& name) {
    if (name.empty() || name.find(L':') != std::wstring::npos) return false;
    auto isSeparator = [](wchar_t c) { return c == L'\\' || c == L'/'; };
    if (name.size() >= 2 && isSeparator(name[0]) && isSeparator(name[1])) return false;
    size_t start = 0;
    while (start <= name.size()) {
        size_t end = start;
        while (end < name.size() && !isSeparator(name[end])) ++end;
        std::wstring part = name.substr(start, end - start);
        if (!part.empty() && part.find_first_not_of(L". ") == std::wstring::npos) return false;
        start = end + 1;
    }
    return true;
}

std::wstring FullPath(const std::wstring& path) {
    DWORD size = ::GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
    if (size == 0) return std::wstring();
    std::wstring result(size, L'\0');
    DWORD got = ::GetFullPathNameW(path.c_str(), size, result.data(), nullptr);
    result.resize(got < size ? got : 0);
    return result;
}

// The resolved output path lies inside the resolved extraction folder.
bool IsInsideFolder(const std::wstring& path, const std::wstring& folderWithSlash) {
    std::wstring full = FullPath(path);
    std::wstring root = FullPath(folderWithSlash);
    if (full.empty() || root.empty()) return false;
    if (root.back() != L'\\') root += L'\\';
    return full.size() > root.size() && zel::StartsWithNoCaseAscii(full, root);
}

// FILE_BASIC_INFO, which the headers for the oldest supported system lack.
struct BasicFileInfo {
    LARGE_INTEGER CreationTime;
    LARGE_INTEGER LastAccessTime;
    LARGE_INTEGER LastWriteTime;
    LARGE_INTEGER ChangeTime;
    DWORD FileAttributes;
};
constexpr int kFileBasicInfoClass = 0;
using SetFileInformationByHandleFn = BOOL(WINAPI*)(HANDLE, int, LPVOID, DWORD);

// Sets creation and write time (when given) and the attributes through an
// open handle in one call, from Vista on; false where the system lacks it.
bool SetTimesAndAttributes(HANDLE file, const FILETIME* time, DWORD attributes) {
    static const auto setInformation =
        zel::GetProc<SetFileInformationByHandleFn>(::GetModuleHandleW(L"kernel32.dll"), "SetFileInformationByHandle");
    if (setInformation == nullptr) return false;
    BasicFileInfo info = {};
    if (time != nullptr) {
        info.CreationTime.LowPart = time->dwLowDateTime;
        info.CreationTime.HighPart = static_cast<LONG>(time->dwHighDateTime);
        info.LastWriteTime = info.CreationTime;
    }
    info.FileAttributes = attributes;
    return setInformation(file, kFileBasicInfoClass, &info, sizeof(info)) != FALSE;
}
}  // namespace

CCabDecompressor::CCabDecompressor(HWND notifyWindow, bool overwriteWithoutAsking)
    : CCabDecompressor(notifyWindow, [overwriteWithoutAsking] {
          CabinetJob job;
          job.OverwriteWithoutAsking = overwriteWithoutAsking;
          return job;
      }()) {}

CCabDecompressor::CCabDecompressor(HWND notifyWindow, CabinetJob job)
    : notifyWindow_(notifyWindow), progress_(notifyWindow), job_(std::move(job)),
      record_(job_.Record != nullptr ? job_.Record : &ownRecord_) {}

CCabDecompressor::~CCabDecompressor() {
    output_.reset();
    if (context_ != nullptr && fdiDestroy_ != nullptr) {
        EngineScope scope(this);
        fdiDestroy_(context_);
    }
    context_ = nullptr;
    module_.reset();
}

bool CCabDecompressor::Initialise() {
    error_.Clear();
    if (context_ != nullptr) return true;
    if (!module_) {
        module_.reset(zel::LoadSystemLibrary(L"Cabinet.dll"));
        if (module_) {
            fdiCreate_ = zel::GetProc<FdiCreateFn>(module_.get(), "FDICreate");
            fdiCopy_ = zel::GetProc<FdiCopyFn>(module_.get(), "FDICopy");
            fdiIsCabinet_ = zel::GetProc<FdiIsCabinetFn>(module_.get(), "FDIIsCabinet");
            fdiDestroy_ = zel::GetProc<FdiDestroyFn>(module_.get(), "FDIDestroy");
        }
        if (!module_ || !fdiCreate_ || !fdiCopy_ || !fdiIsCabinet_ || !fdiDestroy_) {
            module_.reset();
            fdiCreate_ = nullptr;
            fdiCopy_ = nullptr;
            fdiIsCabinet_ = nullptr;
            fdiDestroy_ = nullptr;
            error_.SetOwnCode(CabCodeNoCabinetDll);
            return false;
        }
    }
    if (!heap_) heap_.reset(::HeapCreate(0, 0, 0));
    if (!heap_) {
        error_.SetOwnCode(FDIERROR_ALLOC_FAIL);
        return false;
    }
    EngineScope scope(this);
    context_ = fdiCreate_(FdiAlloc, FdiFree, FdiOpen, FdiRead, FdiWrite, FdiClose, FdiSeek, cpu80386,
                          error_.PlatformRecord());
    if (context_ == nullptr && !error_.HasError()) error_.SetOwnCode(CabCodeNoCabinetDll);
    return context_ != nullptr;
}

int CCabDecompressor::ExtractCabinet(const std::wstring& cabinetPath, const std::wstring& extractionFolder) {
    if (!Initialise()) return GetErrorCode();
    output_.reset();
    outputPath_.clear();
    error_.Clear();
    cabinetFiles_.clear();
    continuation_ = false;
    keepWriteTime_ = false;
    writeFailed_ = false;
    cancelled_ = false;

    extractionFolder_ = extractionFolder;
    if (extractionFolder_.size() > 1 && extractionFolder_.back() != L'\\') extractionFolder_ += L'\\';

    size_t slash = cabinetPath.rfind(L'\\');
    std::wstring cabinetFolder = slash == std::wstring::npos ? std::wstring() : cabinetPath.substr(0, slash + 1);
    std::wstring cabinetName = slash == std::wstring::npos ? cabinetPath : cabinetPath.substr(slash + 1);

    if (extractionFolder_.size() < 3 || cabinetFolder.size() < 2 || cabinetName.size() < 2) {
        error_.SetOwnCode(CabCodeBadParameters);
        return GetErrorCode();
    }

    currentCabinetName_ = cabinetName;
    std::string folderUtf8 = ToUtf8(cabinetFolder);
    // A set whose cabinets name each other in a circle would never end.
    std::set<std::wstring> extracted;
    std::wstring name = cabinetName;
    EngineScope scope(this);
    extracting_ = true;
    for (;;) {
        extracted.insert(zel::ToLowerAscii(name));
        cabinetInfoSeen_ = false;
        announcedNextCabinet_.clear();
        std::string nameUtf8 = ToUtf8(name);
        if (!fdiCopy_(context_, nameUtf8.data(), folderUtf8.data(), 0, FdiNotify, nullptr, this)) break;
        // The name the notifications left; when no file ran on into the
        // next cabinet, the next one this cabinet announces, so that a set
        // whose cabinets end on a file boundary is still extracted whole.
        std::wstring next = currentCabinetName_;
        if (next.empty() || zel::EqualsNoCaseAscii(next, name)) next = announcedNextCabinet_;
        if (next.empty()) break;
        if (extracted.count(zel::ToLowerAscii(next)) != 0) {
            // A sound set never names a cabinet twice: its files would be
            // extracted again, or the set would never end.
            LogLine(0, kExtractSource, L"The cabinet set names a cabinet twice, extraction stopped : %s", next);
            error_.SetOwnCode(FDIERROR_WRONG_CABINET);
            break;
        }
        currentCabinetName_ = next;
        name = next;
    }
    extracting_ = false;
    output_.reset();
    progress_.Flush();
    return error_.HasError() ? GetErrorCode() : 0;
}

bool CCabDecompressor::ReadCabinetInfo(const std::wstring& path, FDICABINETINFO& info) {
    error_.Clear();
    cabinetFiles_.clear();
    EngineScope scope(this);
    INT_PTR handle = OpenFile(path, _O_RDONLY | _O_BINARY, true);
    if (handle == -1) return false;
    info = FDICABINETINFO{};
    BOOL isCabinet = fdiIsCabinet_(context_, handle, &info);
    CloseFile(handle);
    return isCabinet != FALSE;
}

USHORT CCabDecompressor::GetCabinetSetID(const std::wstring& path) {
    if (!Initialise()) return 65535;
    FDICABINETINFO info;
    return ReadCabinetInfo(path, info) ? info.setID : 65535;
}

bool CCabDecompressor::ValidateCabinetFile(const std::wstring& path, std::uint16_t setId) {
    if (!Initialise()) return false;
    FDICABINETINFO info;
    if (!ReadCabinetInfo(path, info)) return false;

    std::wstring digits = path.size() >= 3 ? path.substr(path.size() - 3) : path;
    long number = std::wcstol(digits.c_str(), nullptr, 10);
    if (number < 1) {
        LogLine(11, kValidateSource, L"Could not get cab number for cabinet.", std::wstring());
        return false;
    }
    bool valid = true;
    if (info.setID != setId) {
        LogLine(11, kValidateSource, L"Cabinet GUID not matching", std::wstring());
        valid = false;
    }
    if (info.iCabinet != number - 1) {
        LogLine(11, kValidateSource, L"Cabinet number from Name : %s", digits);
        LogLine(11, kValidateSource, L"Cabinet number from Cabinet information : %s", std::to_wstring(info.iCabinet));
        LogLine(11, kValidateSource, L"Cabinet ID not correct", std::wstring());
        valid = false;
    }
    return valid;
}

// --- file access -----------------------------------------------------------

INT_PTR CCabDecompressor::OpenFile(const std::wstring& path, int flags, bool cabinetFile) {
    DWORD access = GENERIC_READ;
    if ((flags & 3) == _O_WRONLY) access = GENERIC_WRITE;
    if ((flags & 3) == _O_RDWR) access = GENERIC_READ | GENERIC_WRITE;
    DWORD disposition = OPEN_EXISTING;
    if (flags & _O_CREAT) {
        // So that a read-only file can be written over.
        if (!(flags & _O_EXCL)) ::SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
        disposition = (flags & _O_EXCL) ? CREATE_NEW : (flags & _O_TRUNC) ? CREATE_ALWAYS : OPEN_ALWAYS;
    } else if (flags & _O_TRUNC) {
        disposition = TRUNCATE_EXISTING;
    }
    HANDLE file = ::CreateFileW(path.c_str(), access, FILE_SHARE_READ, nullptr, disposition, FILE_ATTRIBUTE_NORMAL,
                                nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        lastSystemError_ = ::GetLastError();
        return -1;
    }
    INT_PTR handle = reinterpret_cast<INT_PTR>(file);
    if (cabinetFile) {
        cabinetFiles_[handle].file.reset(file);
    } else {
        output_.reset(file);
        outputPath_ = path;
    }
    return handle;
}

UINT CCabDecompressor::ReadFile(INT_PTR handle, void* buffer, UINT count) {
    // Not every decoder stops on a failed write, but none goes on without
    // its input: a cancel inside a large file ends the decoding here too.
    if (extracting_ && ExtractionCancelled() && StopForCancel()) return static_cast<UINT>(-1);
    DWORD got = 0;
    if (!::ReadFile(reinterpret_cast<HANDLE>(handle), buffer, count, &got, nullptr)) return static_cast<UINT>(-1);
    auto cabinet = cabinetFiles_.find(handle);
    if (cabinet == cabinetFiles_.end()) return got;
    // The signature covers the first four bytes of the file, wherever a read
    // that touches them starts; the bytes on disk stay as they are.
    LONGLONG start = cabinet->second.position;
    cabinet->second.position += got;
    char* bytes = static_cast<char*>(buffer);
    for (LONGLONG at = start; at < 4 && at < start + got; ++at) {
        if (bytes[at - start] != kPackageSignature[at]) {
            error_.SetOwnCode(CabCodeNotACabinet);
            return static_cast<UINT>(-1);
        }
    }
    for (LONGLONG at = start; at < 4 && at < start + got; ++at) bytes[at - start] = kCabinetSignature[at];
    return got;
}

LONG CCabDecompressor::SeekFile(INT_PTR handle, LONG distance, int origin) {
    DWORD method = origin == SEEK_CUR ? FILE_CURRENT : origin == SEEK_END ? FILE_END : FILE_BEGIN;
    LARGE_INTEGER move;
    move.QuadPart = distance;
    LARGE_INTEGER now;
    if (!::SetFilePointerEx(reinterpret_cast<HANDLE>(handle), move, &now, method)) return -1;
    auto cabinet = cabinetFiles_.find(handle);
    if (cabinet != cabinetFiles_.end()) cabinet->second.position = now.QuadPart;
    return static_cast<LONG>(now.QuadPart);
}

int CCabDecompressor::CloseFile(INT_PTR handle) {
    if (handle < 1) return 0;
    if (cabinetFiles_.erase(handle) != 0) return 0;
    if (handle != reinterpret_cast<INT_PTR>(output_.get())) return -1;
    output_.reset();
    return 0;
}

// The decoder is only ever called inside an EngineScope, so its blocks come
// from and go back to the heap of the engine that made the call.
void* DIAMONDAPI CCabDecompressor::FdiAlloc(ULONG size) {
    if (activeEngine == nullptr) return nullptr;
    const ULONG wanted = activeEngine->job_.MultiPart ? std::max(size, kMinAllocation) : size;
    return ::HeapAlloc(activeEngine->heap_.get(), 0, wanted);
}

void DIAMONDAPI CCabDecompressor::FdiFree(void* memory) {
    if (activeEngine != nullptr && memory != nullptr) ::HeapFree(activeEngine->heap_.get(), 0, memory);
}

INT_PTR DIAMONDAPI CCabDecompressor::FdiOpen(char* name, int flags, int /*mode*/) {
    if (activeEngine == nullptr) return -1;
    try {
        return activeEngine->OpenFile(FromUtf8(name), flags, true);
    } catch (...) {
        return -1;
    }
}

UINT DIAMONDAPI CCabDecompressor::FdiRead(INT_PTR handle, void* buffer, UINT count) {
    if (activeEngine == nullptr) return static_cast<UINT>(-1);
    return activeEngine->ReadFile(handle, buffer, count);
}

UINT DIAMONDAPI CCabDecompressor::FdiWrite(INT_PTR handle, void* buffer, UINT count) {
    // Between written blocks: a safe point to pause and to see a cancel.
    ExtractionPause.WaitWhilePaused();
    if (activeEngine != nullptr && activeEngine->extracting_ && ExtractionCancelled() && activeEngine->StopForCancel())
        return static_cast<UINT>(-1);
    DWORD written = 0;
    if (::WriteFile(reinterpret_cast<HANDLE>(handle), buffer, count, &written, nullptr) && written == count)
        return written;
    // Not every decoder stops on a failed write (a full disk): the engine
    // records it and stops at the file's end, so it never reports success.
    if (activeEngine != nullptr) activeEngine->writeFailed_ = true;
    return static_cast<UINT>(-1);
}

int DIAMONDAPI CCabDecompressor::FdiClose(INT_PTR handle) {
    if (activeEngine == nullptr) return -1;
    return activeEngine->CloseFile(handle);
}

LONG DIAMONDAPI CCabDecompressor::FdiSeek(INT_PTR handle, LONG distance, int origin) {
    if (activeEngine == nullptr) return -1;
    return activeEngine->SeekFile(handle, distance, origin);
}

// --- notifications -----------------------------------------------------------

bool CCabDecompressor::StopForCancel() {
    if (!cancelled_) {
        cancelled_ = true;
        error_.SetOwnCode(CabCodeUserAborted);
    }
    return true;
}

INT_PTR DIAMONDAPI CCabDecompressor::FdiNotify(FDINOTIFICATIONTYPE type, PFDINOTIFICATION info) {
    // The engine that started this FDICopy call.
    auto* engine = info != nullptr ? static_cast<CCabDecompressor*>(info->pv) : nullptr;
    if (engine == nullptr) return -1;
    try {
        switch (type) {
            case fdintCABINET_INFO: return engine->OnCabinetInfo(info);
            case fdintPARTIAL_FILE: return 0;
            case fdintCOPY_FILE: return engine->OnCopyFile(info);
            case fdintCLOSE_FILE_INFO: return engine->OnCloseFile(info);
            case fdintNEXT_CABINET: return engine->OnNextCabinet(info);
            default: return 0;
        }
    } catch (...) {
        // Nothing unwinds through the decoder.
        return -1;
    }
}

INT_PTR CCabDecompressor::OnCabinetInfo(PFDINOTIFICATION info) {
    if (job_.MultiPart) {
        // Parts may have been renamed after packing: the next part keeps the
        // first part's base and takes the announced number. The decoder's own
        // copy of the name is renamed too, also in a cabinet it opened to go
        // on with a file, so that a file running through several parts finds
        // each of them.
        std::wstring announced = FromUtf8(info->psz1);
        std::wstring renamed;
        if (!announced.empty()) {
            const std::wstring& first = job_.FirstPartName;
            renamed = first.substr(0, first.size() >= 4 ? first.size() - 4 : 0) +
                      announced.substr(announced.size() >= 4 ? announced.size() - 4 : 0);
            std::string renamedUtf8 = ToUtf8(renamed);
            if (info->psz1 != nullptr && renamedUtf8.size() < kMinAllocation)
                std::memcpy(info->psz1, renamedUtf8.c_str(), renamedUtf8.size() + 1);
        }
        if (continuation_)
            continuation_ = false;
        else
            currentCabinetName_ = renamed;
    }
    if (!cabinetInfoSeen_) {
        cabinetInfoSeen_ = true;
        announcedNextCabinet_ = FromUtf8(info->psz1);
    }
    return 0;
}

INT_PTR CCabDecompressor::OnCopyFile(PFDINOTIFICATION info) {
    ExtractionPause.WaitWhilePaused();                                                 // between files
    if (ContinueExtraction == 0) {
        StopForCancel();
        return -1;
    }
    std::wstring stored = (info->attribs & _A_NAME_IS_UTF) ? FromUtf8(info->psz1) : FromLatin1(info->psz1);
    if (!IsSafeStoredName(stored)) {
        LogLine(0, kCallbackSource, L"File name leaves the extraction folder, extraction stopped : %s", stored);
        error_.SetOwnCode(CabCodeUnsafeName);
        return -1;
    }
    // Other writers store "Data\a.txt" where ours store "\Data\a.txt".
    if (stored[0] != L'\\' && stored[0] != L'/') stored.insert(stored.begin(), L'\\');

    size_t slash = stored.find_last_of(L"\\/");
    std::wstring subFolder = stored.substr(0, slash + 1);
    std::wstring fileName = stored.substr(slash + 1);
    std::wstring outputFolder = extractionFolder_.substr(0, extractionFolder_.size() - 1) + subFolder;
    std::wstring outputPath = outputFolder + fileName;
    CurrentExtractFileName = fileName;

    if (outputPath.size() > kMaxOutputPath) {
        error_.SetOwnCode(CabCodePathTooLong);
        return -1;
    }
    if (!IsInsideFolder(outputPath, extractionFolder_)) {
        LogLine(0, kCallbackSource, L"File name leaves the extraction folder, extraction stopped : %s", stored);
        error_.SetOwnCode(CabCodeUnsafeName);
        return -1;
    }
    CreateOutputFolders(outputFolder);

    INT_PTR result;
    if (job_.OverwriteWithoutAsking) {
        result = CreateNewOutput(outputPath);
        if (result == -1) {
            if (zel::PathExists(outputPath)) {
                LogLine(8, kCallbackSource, L"Deleting file : %s", outputPath);
                ::DeleteFileW(outputPath.c_str());
            }
            result = OpenFile(outputPath, _O_WRONLY | _O_CREAT | _O_TRUNC | _O_BINARY, false);
        }
        record_->Files.push_back(outputPath);
        LogLine(8, kCallbackSource, L"Extracting file : %s", outputPath);
    } else {
        result = OverwriteStep(outputPath);
    }
    if (result == kCancelResult) {
        error_.SetOwnCode(CabCodeUserAborted);
        return -1;
    }
    return result;
}

void CCabDecompressor::CreateOutputFolders(const std::wstring& folder) {
    // From the top down, past the drive root ("C:\").
    for (size_t at = folder.find(L'\\', 3); at != std::wstring::npos; at = folder.find(L'\\', at + 1)) {
        std::wstring prefix = folder.substr(0, at);
        if (::CreateDirectoryW(prefix.c_str(), nullptr)) record_->Folders.push_back(prefix);
    }
}

INT_PTR CCabDecompressor::CreateNewOutput(const std::wstring& path) {
    DWORD kept = lastSystemError_;
    INT_PTR handle = OpenFile(path, _O_WRONLY | _O_CREAT | _O_EXCL | _O_BINARY, false);
    lastSystemError_ = kept;
    return handle;
}

INT_PTR CCabDecompressor::OverwriteStep(const std::wstring& path) {
    const INT_PTR created = CreateNewOutput(path);
    if (created == -1 && zel::PathExists(path)) {
        int answer = LastOverwriteAnswer();
        if (answer == OverwriteYes || answer == OverwriteNo || !overwriteAllDecided_) answer = AskOverwrite();
        if (answer == OverwriteYesToAll || answer == OverwriteNoToAll) overwriteAllDecided_ = true;

        if (answer == OverwriteYes || answer == OverwriteYesToAll) {
            keepWriteTime_ = true;
            LogLine(8, kOverwriteSource, L"Deleting file : %s", path);
            if (DWORD error = CUtilPaths::ClearReadOnly(path); error != 0) {
                error_.SetOwnCode(CabCodeReadOnlyNotRemoved);
                LogLine(8, kOverwriteSource, L"Error Code : " + std::to_wstring(error), std::wstring());
                // The platform's text goes as the argument: it is never a format.
                LogLine(8, kOverwriteSource, L"Error string : %s", CUtilPaths::GetErrorMessage(error));
                return -1;
            }
            if (::DeleteFileW(path.c_str())) {
                LogLine(8, kOverwriteSource, L"Extracing file : %s", path);
                INT_PTR handle = OpenFile(path, _O_WRONLY | _O_CREAT | _O_TRUNC | _O_BINARY, false);
                record_->Files.push_back(path);
                return handle;
            }
            // Only to learn why the file cannot be replaced.
            zel::UniqueHandle probe(
                ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr));
            lastSystemError_ = probe.valid() ? ERROR_ACCESS_DENIED : ::GetLastError();
            return -1;
        }
        if (answer == OverwriteNo || answer == OverwriteNoToAll) {
            LogLine(8, kOverwriteSource, L"File already exists : %s. No action required.", path);
            return 0;
        }
        if (answer == OverwriteCancel) return kCancelResult;
    }
    LogLine(8, kOverwriteSource, L"Extracing file : %s", path);
    record_->Files.push_back(path);
    return created != -1 ? created : OpenFile(path, _O_WRONLY | _O_CREAT | _O_TRUNC | _O_BINARY, false);
}

int CCabDecompressor::AskOverwrite() {
    if (job_.AskOverwrite) return lastAnswer_ = job_.AskOverwrite();
    SendToWindow(notifyWindow_, WM_ZEL_OVERWRITE_QUESTION, 0, 0);
    return OverwriteAnswer;
}

int CCabDecompressor::LastOverwriteAnswer() const {
    // The window keeps its last answer in the shared flag.
    return job_.AskOverwrite ? lastAnswer_ : OverwriteAnswer.load();
}

INT_PTR CCabDecompressor::OnCloseFile(PFDINOTIFICATION info) {
    if (cancelled_) {
        CloseFile(info->hf);
        return FALSE;
    }
    if (writeFailed_) {
        CloseFile(info->hf);
        LogLine(0, kCallbackSource, L"Failure writing to target file : %s", outputPath_);
        error_.SetOwnCode(FDIERROR_TARGET_FILE);
        return FALSE;
    }
    ApplyStoredTimeAndAttributes(info->hf, info->date, info->time, info->attribs);
    progress_.Step();
    return 1;
}

void CCabDecompressor::ApplyStoredTimeAndAttributes(INT_PTR handle, USHORT date, USHORT time, USHORT attribs) {
    bool keepWriteTime = keepWriteTime_;
    keepWriteTime_ = false;
    FILETIME utc = {};
    bool setTime = false;
    if (!keepWriteTime) {
        FILETIME stored;
        if (::DosDateTimeToFileTime(date, time, &stored)) {
            if (attribs & kAttribUtcTime)
                utc = stored;
            else
                ::LocalFileTimeToFileTime(&stored, &utc);
            setTime = true;
        }
    }
    DWORD kept = attribs & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM |
                            FILE_ATTRIBUTE_ARCHIVE);
    if (kept == 0) kept = FILE_ATTRIBUTE_NORMAL;
    // Through the handle that wrote the file: opening it again by name costs
    // more than the write of a small file.
    HANDLE file = reinterpret_cast<HANDLE>(handle);
    bool attributesSet = SetTimesAndAttributes(file, setTime ? &utc : nullptr, kept);
    if (!attributesSet && setTime) ::SetFileTime(file, &utc, nullptr, &utc);
    CloseFile(handle);
    if (!attributesSet) ::SetFileAttributesW(outputPath_.c_str(), kept);
}

INT_PTR CCabDecompressor::OnNextCabinet(PFDINOTIFICATION info) {
    continuation_ = true;
    if (info->fdie != FDIERROR_NONE) {
        error_.SetOwnCode(info->fdie);
        return -1;
    }
    currentCabinetName_ = FromUtf8(info->psz1);
    return 0;
}

void CCabDecompressor::LogLine(int level, const wchar_t* source, const std::wstring& format,
                               const std::wstring& argument) {
    if (notifyWindow_ == nullptr) {
        theLog.LogMessage(level, source, format.c_str(), argument.c_str());
        return;
    }
    // The worker writes the line itself, exactly as the window would have.
    WriteLogRecord(LogRecord{level, source, format, argument});
}
