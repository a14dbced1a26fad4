// Extracts package cabinets (MS-CAB with "TAVO" in place of "MSCF") through
// the platform decoder in Cabinet.dll, file by file, into an extraction
// folder; answers set-number questions for the part-file checks.
#pragma once

#include "cabinet/Error.h"
#include "core/ExtractionRecord.h"
#include "core/Messages.h"
#include "core/ProgressPoster.h"
#include "core/RunFlags.h"
#include "framework/Handles.h"

#include <windows.h>

#include <fdi.h>

#include <cstdint>
#include <functional>
#include <map>
#include <string>

// Name, without folder, of the file being extracted (for the overwrite
// dialog and the driver's error messages).
extern std::wstring CurrentExtractFileName;

// What one extraction needs to know about the package and the user.
struct CabinetJob {
    // The set number every cabinet of the package carries.
    std::uint16_t SetId = 0;
    // Parts beside the executable may have been renamed after packing: later
    // cabinets are then found under FirstPartName's base.
    bool MultiPart = false;
    std::wstring FirstPartName;
    // Receives every file and folder the engine creates; the engine keeps
    // its own when none is given.
    ExtractionRecord* Record = nullptr;
    // Quiet runs and the "overwrite without prompting" choice replace
    // existing files without asking.
    bool OverwriteWithoutAsking = false;
    // Asks whether an existing file is replaced; returns an
    // OverwriteAnswerValue. When empty, the notify window is asked with
    // WM_ZEL_OVERWRITE_QUESTION and stores its answer in OverwriteAnswer.
    std::function<int()> AskOverwrite;
};

class CCabDecompressor {
public:
    // Stored date and time are UTC rather than local time.
    static constexpr USHORT kAttribUtcTime = 0x100;
    static constexpr size_t kMaxOutputPath = 260;

    explicit CCabDecompressor(HWND notifyWindow = nullptr, bool overwriteWithoutAsking = false);
    CCabDecompressor(HWND notifyWindow, CabinetJob job);
    virtual ~CCabDecompressor();
    CCabDecompressor(const CCabDecompressor&) = delete;
    CCabDecompressor& operator=(const CCabDecompressor&) = delete;

    // 0 on success, otherwise GetErrorCode().
    int ExtractCabinet(const std::wstring& cabinetPath, const std::wstring& extractionFolder);

    const std::wstring& GetErrorText() { return error_.GetErrorText(); }
    int GetErrorCode() const { return error_.GetErrorCode(); }
    DWORD GetLastSystemError() const { return lastSystemError_; }
    const std::wstring& GetCurrentCabinetName() const { return currentCabinetName_; }
    // The files and folders created so far (the job's record when it gave one).
    const ExtractionRecord& GetRecord() const { return *record_; }

    // The set number stored in a package cabinet, or 65535.
    USHORT GetCabinetSetID(const std::wstring& path);
    // The cabinet is of the set setId at the position its name's last three
    // digits give.
    bool ValidateCabinetFile(const std::wstring& path, std::uint16_t setId);

private:
    using FdiCreateFn = HFDI(DIAMONDAPI*)(PFNALLOC, PFNFREE, PFNOPEN, PFNREAD, PFNWRITE, PFNCLOSE, PFNSEEK, int,
                                          PERF);
    using FdiCopyFn = BOOL(DIAMONDAPI*)(HFDI, char*, char*, int, PFNFDINOTIFY, PFNFDIDECRYPT, void*);
    using FdiIsCabinetFn = BOOL(DIAMONDAPI*)(HFDI, INT_PTR, PFDICABINETINFO);
    using FdiDestroyFn = BOOL(DIAMONDAPI*)(HFDI);

    // Result of the overwrite step that is neither a handle nor 0 (skip) nor
    // -1 (stop). CreateFileW never returns a pseudo-handle value.
    static constexpr INT_PTR kCancelResult = -2;

    bool Initialise();
    bool ReadCabinetInfo(const std::wstring& path, FDICABINETINFO& info);

    INT_PTR OpenFile(const std::wstring& path, int flags, bool cabinetFile);
    UINT ReadFile(INT_PTR handle, void* buffer, UINT count);
    LONG SeekFile(INT_PTR handle, LONG distance, int origin);
    int CloseFile(INT_PTR handle);

    INT_PTR OnCabinetInfo(PFDINOTIFICATION info);
    INT_PTR OnCopyFile(PFDINOTIFICATION info);
    INT_PTR OnCloseFile(PFDINOTIFICATION info);
    INT_PTR OnNextCabinet(PFDINOTIFICATION info);
    // The output file, when no file of that name is in the way: one look-up
    // of the name where testing for the file and then creating it take three.
    // -1, with no error recorded, otherwise.
    INT_PTR CreateNewOutput(const std::wstring& path);
    INT_PTR OverwriteStep(const std::wstring& path);
    void CreateOutputFolders(const std::wstring& folder);
    void ApplyStoredTimeAndAttributes(INT_PTR handle, USHORT date, USHORT time, USHORT attribs);
    void LogLine(int level, const wchar_t* source, const std::wstring& format, const std::wstring& argument);

    static void* DIAMONDAPI FdiAlloc(ULONG size);
    static void DIAMONDAPI FdiFree(void* memory);
    static INT_PTR DIAMONDAPI FdiOpen(char* name, int flags, int mode);
    static UINT DIAMONDAPI FdiRead(INT_PTR handle, void* buffer, UINT count);
    static UINT DIAMONDAPI FdiWrite(INT_PTR handle, void* buffer, UINT count);
    static int DIAMONDAPI FdiClose(INT_PTR handle);
    static LONG DIAMONDAPI FdiSeek(INT_PTR handle, LONG distance, int origin);
    static INT_PTR DIAMONDAPI FdiNotify(FDINOTIFICATIONTYPE type, PFDINOTIFICATION info);
    // A confirmed cancel seen inside a file: recorded as the user's abort,
    // so that it is reported as a cancel and not as a failed write.
    bool StopForCancel();

    int AskOverwrite();
    int LastOverwriteAnswer() const;

    HWND notifyWindow_;
    CProgressPoster progress_;
    // Set while FDICopy runs: only then does a cancel stop reads and writes.
    bool extracting_ = false;
    bool cancelled_ = false;
    CabinetJob job_;
    ExtractionRecord ownRecord_;
    ExtractionRecord* record_;
    // Set once the user answered "to all".
    bool overwriteAllDecided_ = false;
    // The callback's last answer (a window keeps its own in OverwriteAnswer).
    int lastAnswer_ = -1;
    std::wstring extractionFolder_;
    std::wstring currentCabinetName_;
    // The next cabinet that the cabinet given to the decoder announces.
    std::wstring announcedNextCabinet_;
    bool cabinetInfoSeen_ = false;
    bool writeFailed_ = false;
    bool continuation_ = false;
    CError error_;
    // The decoder's blocks, among them a file entry and a name for every file
    // of a cabinet: a heap of their own gives them all back to the system
    // with the engine, where freed blocks of the shared heap would stay with
    // the run.
    zel::UniqueHeap heap_;
    HFDI context_ = nullptr;
    // The file being written; the decoder holds it only by number.
    zel::UniqueHandle output_;
    std::wstring outputPath_;
    bool keepWriteTime_ = false;
    DWORD lastSystemError_ = 0;
    zel::UniqueModule module_;
    FdiCreateFn fdiCreate_ = nullptr;
    FdiCopyFn fdiCopy_ = nullptr;
    FdiIsCabinetFn fdiIsCabinet_ = nullptr;
    FdiDestroyFn fdiDestroy_ = nullptr;
    // The cabinet files the decoder opened, with the read position the
    // signature check needs. A file the decoder leaves open (a copy that
    // failed) is closed when the next call starts, or with the engine.
    struct OpenCabinet {
        zel::UniqueHandle file;
        LONGLONG position = 0;
    };
    std::map<INT_PTR, OpenCabinet> cabinetFiles_;
};
