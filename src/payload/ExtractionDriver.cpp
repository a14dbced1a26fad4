// Where the package goes and the extraction itself: the cabinet copied out
// of the payload (or the part files found beside the executable) and handed
// to the cabinet engine, on the worker thread.
#include "payload/ExtractionDriver.h"

#include "core/Messages.h"
#include "framework/WorkerThread.h"
#include "cabinet/CabDecompressor.h"
#include "cabinet/MultiPart.h"
#include "checks/ExtractorValidator.h"
#include "checks/OSValidator.h"
#include "framework/WinApp.h"
#include "logging/LogFile.h"
#include "logging/WorkerLog.h"
#include "payload/Extractor.h"
#include "payload/Initializer.h"
#include "payload/LanguageTexts.h"
#include "payload/VersionInfo.h"
#include "platform/SettingsFile.h"
#include "platform/Util.h"

#include <cwchar>
#include <exception>
#include <optional>
#include <string>

namespace {
constexpr wchar_t kDriverSource[] = L"ExtractPackage";
// Larger blocks gain nothing measurable on the cabinet copy and cost memory
// for the whole run.
constexpr DWORD kPackageBufferSize = 1 << 20;

std::uint64_t SizeKey(const CSettingsFile& ini, const wchar_t* key, const wchar_t* logSource) {
    std::wstring text = ini.GetString(L"Size", key, L"0");
    if (logSource != nullptr) theLog.LogText(11, logSource, text);
    std::uint64_t value = 0;
    CUtilPaths::TextToNumber(text, value);
    return value;
}

std::wstring WithBackslash(std::wstring folder) {
    CUtilPaths::AddTrailingBackslash(folder);
    return folder;
}
}  // namespace

std::uint64_t CabSize(const std::wstring& extractionPath, const std::wstring& workingFolder, int multiPart,
                      const std::wstring& settingsFile) {
    CSettingsFile ini(settingsFile);
    std::uint64_t need = SizeKey(ini, L"PackageSize", L"PackageSize");
    // The cabinet copy lands in the working folder: on the same drive it
    // needs room too.
    if (!multiPart && extractionPath.size() >= 2 && workingFolder.size() >= 2 &&
        ::_wcsnicmp(extractionPath.c_str(), workingFolder.c_str(), 2) == 0)
        need += SizeKey(ini, L"CabSize", nullptr);
    return need;
}

CExtractorValidator CTavoInitalizer::Checks() const {
    CExtractorValidator checks;
    checks.SetSettingsPath(SettingsFilePath);
    return checks;
}

void CTavoInitalizer::ValidateSetupLangPassedFromCommandLine(const std::wstring& text) {
    CommandLineLanguage = Checks().CommandLineLanguage(text);
    SetLanguaeForProgressBar();
}

void CTavoInitalizer::SetLanguaeForProgressBar() {
    SetupLanguage = Checks().SupportedSetupLanguage(CommandLineLanguage);
    LoadLanguageFile(SetupLanguage, WorkingFolder);
}

void CTavoInitalizer::ValidateAndSetAutolaunchFromCommandLine(const std::wstring& text) {
    if (const std::optional<int> enabled = Checks().CommandLineAutolaunch(text)) AutoLaunchEnabled = *enabled;
}

int CTavoInitalizer::InitDisplay(const CommandLineSettings& settings) {
    const wchar_t* source = L"CTavoInitalizer::InitDisplay";
    if (RunMode == ModeFullGui) return ValidateAndCheckExtractPath();

    CExtractorValidator checks = Checks();
    int ok = 1;
    if (!NoConditionCheck) ok = checks.CheckConditions(SetupLanguage);
    if (ok != 1) {
        theLog.LogMessage(0, source, L"Condition not satisfied");
        return kDispatchStop;
    }
    if (RunMode == ModeUnattended) ValidateSetupLangPassedFromCommandLine(settings.SetupLanguageArg);
    ValidateAndSetAutolaunchFromCommandLine(settings.AutoLaunchArg);
    ExtractionPath = settings.ExtractPathArg;
    if (!ExtractionPath.empty())
        theLog.LogMessage(8, L"Command Line Parameters", L"Command line parameter for Extract path : %s",
                          ExtractionPath.c_str());
    std::uint64_t size = CabSize(ExtractionPath, WorkingFolder, MultiPartDownload, SettingsFilePath);
    ExtractionPath = checks.GetFinalExtractPathParam(ExtractionPath, PackageName, size);
    theLog.LogMessage(8, L"File Overwriting", L"Overwriting of the extracted files is enabled in Silent and Unattended mode");
    if (ExtractionPath.empty()) {
        theLog.LogMessage(0, source, L"Valid Extract path could not be found");
        return kDispatchStop;
    }
    return kDispatchQuietRun;
}

int CTavoInitalizer::ValidateAndCheckExtractPath() {
    const wchar_t* source = L"CTavoInitalizer::ValidateAndCheckExtractPath(";
    ExtractionPath = theOSValidator.GetOSExtractPath();
    if (ExtractionPath.empty()) {
        ExtractionPath = CSettingsFile(SettingsFilePath).GetString(L"Runtime", L"ExtractPath");
        theLog.LogMessage(8, source, L"Extract Path from Web Package : %s", ExtractionPath.c_str());
    } else {
        theLog.LogMessage(8, source, L"Extract path for the OS : %s", ExtractionPath.c_str());
    }
    std::wstring expanded = CUtilPaths::ExpandPathVariable(ExtractionPath);
    if (!expanded.empty()) ExtractionPath = expanded;
    std::wstring drivePart;
    int code = theUtil.CheckFolderPath(ExtractionPath, drivePart);
    std::uint64_t size = CabSize(ExtractionPath, WorkingFolder, MultiPartDownload, SettingsFilePath);
    std::wstring message;
    if (code == 0 && Checks().CheckFreeSpace(ExtractionPath, size, message) != 1) code = ERROR_HANDLE_DISK_FULL;
    if (code != 0) {
        if (AllowChangeTarget != 1 && AutoLaunchEnabled == 1)
            theLog.LogUnnamed(8, L"Extract path is not having enough space or permission");
        return 0;
    }
    return 1;
}

void SendWorkerLog(CWorkerThread& worker, int level, const wchar_t* source, const std::wstring& text) {
    // Lines of an extraction that has a window; the worker writes them itself
    // (the log's lock keeps them whole and in order).
    if (worker.Window() == nullptr) return;
    WriteLogRecord(LogRecord{level, source, text, std::wstring()});
}

std::wstring ErrorToMessage(int code, const std::wstring& name) {
    std::wstring user;
    std::wstring log;
    switch (code) {
    case FDIERROR_CABINET_NOT_FOUND:
    case PartMissing:
        user = ReplaceTokens(GetLangString(607), {{L"[FILENAME]", name}});
        log = L"Part file " + name + L" not found";
        break;
    case PartWrongCabinet:
        user = ReplaceTokens(GetLangString(608), {{L"[FILENAME]", name}});
        log = L"Part file " + name + L" is invalid.";
        break;
    case PartCorrupt:
        user = ReplaceTokens(GetLangString(615), {{L"[FILENAME]", name}});
        log = L"Part file " + name + L" is corrupt.";
        break;
    case ERROR_ACCESS_DENIED:
        user = GetLangString(510);
        log = L"Access is denied.";
        break;
    // The decoder's failed write, or no room found before the extraction.
    case FDIERROR_TARGET_FILE:
    case ERROR_HANDLE_DISK_FULL: {
        std::wstring drive = CUtilPaths::GetDriveRoot(theInitializer.ExtractionPath);
        user = ReplaceTokens(GetLangString(409), {{L"[DRIVENAME]", drive}});
        log = L"There is not sufficient space on drive :" + drive;
        break;
    }
    case ERROR_SHARING_VIOLATION:
        user = ReplaceTokens(GetLangString(509), {{L"[FILENAME]", name}, {L"[NEWLINE]", L"\n"}});
        log = L"Cannot copy " + name +
              L" It is being used by another person or program.Close any programs that might be using the file and try again.";
        break;
    default:
        log = CUtilPaths::GetErrorMessage(static_cast<DWORD>(code));
        break;
    }
    if (!user.empty() && theInitializer.RunMode == ModeFullGui) zel::AppMessageBox(user, MB_ICONERROR);
    return log;
}

unsigned __stdcall ExtractPackageThread(void* wrapper) {
    auto& worker = *static_cast<CWorkerThread*>(wrapper);
    // Nothing unwinds out of the thread: the window learns of the failure
    // and the run ends through its normal clean-up.
    std::string what;
    try {
        ExtractPackage(worker);
        return 0;
    } catch (const std::exception& e) {
        what = e.what();
    } catch (...) {
        what = "unknown exception";
    }
    theLog.LogText(0, kDriverSource, L"Unexpected error in the extraction : " + std::wstring(what.begin(), what.end()));
    theInitializer.SetFinishStatus(-1);
    worker.Notify(WM_ZEL_EXTRACTION_FAILED, 0, 0);
    return 1;
}

void ExtractPackage(CWorkerThread& worker) {
    CTavoInitalizer& init = theInitializer;
    CUtilPaths::CreateFolderWithParents(init.ExtractionPath);
    if (::WaitForSingleObject(worker.StopEvent(), 0) == WAIT_OBJECT_0) return;
    const std::wstring exe = CUtilPaths::GetExePath();
    // The packer notes where the payload starts in the executable's version
    // information.
    const DWORD offset = CTavoVersionInfoUpdater::GetModuleVersionSubtype(exe);
    if (init.ExtractionPath.find(L'%') == std::wstring::npos)
        SendWorkerLog(worker, 8, kDriverSource, L"Extracting the Setup to : " + init.ExtractionPath);

    if (!init.MultiPartDownload) {
        CExtractor reader(worker.Window(), 0);
        int code = reader.ExtractFile(exe, init.WorkingFolder, kRecordKindPackage, offset, kPackageBufferSize);
        if (code != 0) {
            init.SetFinishStatus(code);
            worker.Notify(WM_ZEL_EXTRACTION_FAILED, 0, 0);
            return;
        }
    }
    worker.Notify(WM_ZEL_PROGRESS, kProgressStart, 100);
    worker.Notify(WM_ZEL_PROGRESS, kProgressRange, init.FileCount);

    std::wstring cabinetName = L"WebCab1";
    std::wstring cabinetFolder = init.WorkingFolder;
    SendWorkerLog(worker, 8, kDriverSource, L"Checking for parts");

    CMultiPartValidator parts(init.SettingsFilePath, init.CabinetSetId);
    if (init.MultiPartDownload) {
        std::wstring failed;
        std::list<std::wstring> lines;
        int code = parts.ValidateParts(failed, lines);
        for (const std::wstring& line : lines) {
            if (line.empty()) continue;
            bool detail = line.find(L"Validating cabinet") != std::wstring::npos ||
                          line.find(L"Hash code for") != std::wstring::npos;
            SendWorkerLog(worker, detail ? 8 : 0, kDriverSource, line);
        }
        if (code != 0) {
            init.SetFinishStatus(code);
            init.FailedPartFile = failed;
            SendWorkerLog(worker, 0, kDriverSource, ErrorToMessage(code, failed));
            worker.Notify(WM_ZEL_EXTRACTION_FAILED, 0, 0);
            return;
        }
        cabinetName = parts.GetFirstPartName();
        cabinetFolder = WithBackslash(CUtilPaths::GetExeFolder());
    }

    const std::wstring cabinetPath = cabinetFolder + cabinetName;
    if (!CUtilPaths::FileExists(cabinetPath)) {
        init.SetFinishStatus(PartMissing);
        init.FailedPartFile = cabinetPath;
        SendWorkerLog(worker, 0, kDriverSource, ErrorToMessage(FDIERROR_CABINET_NOT_FOUND, cabinetPath));
        // Ended, not failed: the window reads the failure from the finish status.
        worker.Notify(WM_ZEL_EXTRACTION_ENDED, 0, 0);
        return;
    }

    SendWorkerLog(worker, 8, kDriverSource, L"Extracting files from cabinet : " + cabinetPath);
    const bool overwrite = init.RunMode != ModeFullGui || init.OverwriteWithoutPrompting;
    int code = 0;
    {
        CabinetJob job;
        job.SetId = init.CabinetSetId;
        job.MultiPart = init.MultiPartDownload == 1;
        job.FirstPartName = parts.GetFirstPartName();
        job.Record = &init.Extracted;
        job.OverwriteWithoutAsking = overwrite;
        CCabDecompressor engine(worker.Window(), std::move(job));
        engine.ExtractCabinet(cabinetPath, init.ExtractionPath);
        std::wstring text = engine.GetErrorText();
        code = engine.GetErrorCode();
        SendWorkerLog(worker, 8, kDriverSource, L"Return Code for cab extraction : " + std::to_wstring(code));
        init.SetFinishStatus(code);
        if (code != 0) {
            std::wstring message;
            if (code == FDIERROR_CABINET_NOT_FOUND) {
                message = ErrorToMessage(code, cabinetFolder + engine.GetCurrentCabinetName());
            } else if (engine.GetLastSystemError() != 0) {
                init.SetFinishStatus(-1);
                message = ErrorToMessage(static_cast<int>(engine.GetLastSystemError()), CurrentExtractFileName);
            } else if (code == FDIERROR_TARGET_FILE || code == ERROR_HANDLE_DISK_FULL) {
                message = ErrorToMessage(code, std::wstring());
            } else {
                message = text;
            }
            SendWorkerLog(worker, 0, kDriverSource, message);
            worker.Notify(WM_ZEL_EXTRACTION_FAILED, 0, 0);
            return;
        }
        SendWorkerLog(worker, 8, kDriverSource, text);
    }
    worker.Notify(WM_ZEL_EXTRACTION_ENDED, 0, 0);
}
