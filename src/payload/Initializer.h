// The package settings holder: reads the package settings at start-up and
// keeps them, the working folder, the extraction folder and what the cabinet
// engine wrote, for the whole run.
#pragma once

#include "core/ExtractionRecord.h"
#include "core/Messages.h"
#include "core/RunMode.h"

#include <cstdint>
#include <functional>
#include <list>
#include <string>

class CExtractorValidator;

class CTavoInitalizer {
public:
    static constexpr int kDefaultBufferSize = 5242880;

    // Reads the package settings and sets up the extraction log; returns the
    // run's DispatchCode, or for the wizard 1 or 0 (whether the package's own
    // extraction folder is usable).
    int Init(const CommandLineSettings& settings);
    void InitAutolaunch();
    void SetWaitForAutoLaunchParam();
    void InitCommandLineForNoOSCheck(int noOsCheckFromCommandLine);
    void SetMultiPart();
    // Decides the extraction folder of a quiet run and the dispatch code.
    int InitDisplay(const CommandLineSettings& settings);
    // 1 when the package's own extraction folder is usable (full GUI runs).
    int ValidateAndCheckExtractPath();
    // The command-line switches of a quiet run, as the checks decide them.
    void ValidateSetupLangPassedFromCommandLine(const std::wstring& text);
    // Settles the setup language from the command-line language and loads its file.
    void SetLanguaeForProgressBar();
    void ValidateAndSetAutolaunchFromCommandLine(const std::wstring& text);

    // Working folder, settings pass and buffer size.
    std::wstring CretaeAndValidateTavoTempDir();
    int SetTavoTempDir();
    std::uint64_t SetAppFileSize();
    int ExtractIntermediateFiles();
    void SetBufferSize();

    // Log files.
    // A second instance (anotherRun) appends to the master log: the running
    // instance's lines stay.
    void InitMasterLog(int debug, bool anotherRun = false);
    void CreateExtractionLogFile(const std::wstring& packageName, int debug);
    void LogSystemInformation();

    // Texts of the current setup language.
    std::wstring GetLangString(int id) const;

    const std::wstring& GetPackageName() const { return PackageName; }
    const std::wstring& GetDisplayName() const { return DisplayName; }
    const std::wstring& GetSettingsFilePath() const { return SettingsFilePath; }
    const std::wstring& GetWorkingFolder() const { return WorkingFolder; }
    std::uint16_t GetCabinetSetId() const { return CabinetSetId; }

    const std::wstring& GetExtractionPath() const { return ExtractionPath; }
    void SetExtractionPath(const std::wstring& path) { ExtractionPath = path; }
    int GetSetupLanguage() const { return SetupLanguage; }
    void SetSetupLanguage(int lcid) { SetupLanguage = lcid; }
    int GetCommandLineLanguage() const { return CommandLineLanguage; }
    void SetCommandLineLanguage(int lcid) { CommandLineLanguage = lcid; }
    int IsAutoLaunchEnabled() const { return AutoLaunchEnabled; }
    void SetAutoLaunchEnabled(int enabled) { AutoLaunchEnabled = enabled; }
    int GetFinishStatus() const { return FinishStatus; }
    void SetFinishStatus(int status) { FinishStatus = status; }
    int GetExtractOnly() const { return ExtractOnly; }
    void SetExtractOnly(int extractOnly) { ExtractOnly = extractOnly; }

    std::wstring ExtractionPath;
    ExtractionRecord Extracted;
    int RunMode = ModeFullGui;
    std::wstring WorkingFolder;  // ends with a backslash
    std::wstring SettingsFilePath;
    std::wstring PackageName;
    std::wstring DisplayName;
    std::wstring SupportedOSMessage;
    int FileCount = 0;
    int AllowChangeTarget = 0;
    int AutoLaunchEnabled = 0;
    int FinishStatus = 0;
    std::uint16_t CabinetSetId = 0;
    int BufferSize = kDefaultBufferSize;
    int CommandLineLanguage = 0;
    int SetupLanguage = 1033;
    int MultiPartDownload = 0;
    int NoConditionCheck = 0;
    int NoOSCheck = 0;
    int WaitForAutolaunchFinish = 1;
    // Set by the extraction-location page, read by the pages that follow the
    // extraction.
    int ExtractOnly = 0;
    // The extraction-location page's "overwrite without prompting"; quiet
    // runs always overwrite.
    int OverwriteWithoutPrompting = 0;
    // The part file a failed multi-part check or extraction names.
    std::wstring FailedPartFile;

private:
    // The wizard's pre-extraction checks read the same settings file.
    void HandSettingsToValidator();
    // Checks of this package that keep no run state: they decide, the
    // initializer stores.
    CExtractorValidator Checks() const;
};

// Copy buffer bytes: per128 bytes for every started 128 MiB of memory
// (0 means the default), in 32-bit arithmetic.
int ComputeBufferSize(unsigned per128, std::uint32_t physicalBytes);

// The working folder's access list: Administrators, SYSTEM and the given
// user only, nothing inherited.
std::wstring WorkingFolderSddl(const std::wstring& userSid);
// The drives to try for the working folder, in order: those whose volume
// keeps access lists; the first candidate only when none does.
std::list<std::wstring> OrderWorkingFolderCandidates(const std::list<std::wstring>& candidates,
                                                     const std::function<bool(const std::wstring&)>& keepsAcls);
// Creates folder with the working folder's access list given at creation.
bool CreatePrivateFolder(const std::wstring& folder);

extern CTavoInitalizer theInitializer;
