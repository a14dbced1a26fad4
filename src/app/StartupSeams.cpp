#include "app/StartupSeams.h"

#include "app/App.h"
#include "framework/WinApp.h"
#include "logging/LogFile.h"
#include "payload/Initializer.h"


namespace startup_seams {

void InitMasterLog(bool debug) {
    wchar_t path[MAX_PATH * 2] = {};
    DWORD n = ::ExpandEnvironmentStringsW(L"%ALLUSERSPROFILE%\\Ulverin\\Automation\\Logfiles\\Tavo.log", path,
                                          MAX_PATH * 2);
    if (n == 0 || n > MAX_PATH * 2) return;
    std::wstring file(path);
    for (size_t sep = file.find(L'\\', 3); sep != std::wstring::npos; sep = file.find(L'\\', sep + 1))
        ::CreateDirectoryW(file.substr(0, sep).c_str(), nullptr);
    theLog.InitLog(file, debug ? 11 : 9);
    theLog.DeleteLog();
    theLog.WriteStartBanner();
}

std::wstring CreateAndValidateWorkingFolder() { return std::wstring(); }

int ExtractIntermediateFiles() { return 0; }

int InitPackage(const CommandLineSettings& settings) { return theInitializer.Init(settings); }

void LoadBannerImages(CZelSelfExtractorUIApp&) {}

bool CheckPassword(CZelSelfExtractorUIApp&, const std::wstring&) { return true; }

void RunFrontEnd(CZelSelfExtractorUIApp&, int) {}

void ReleaseWindows(CZelSelfExtractorUIApp&) {}

std::vector<std::wstring> DeleteFolderCollect(const std::wstring&) { return {}; }

bool DeleteFolderTree(const std::wstring&) { return false; }

void ClearReadOnly(const std::wstring& path) {
    DWORD attributes = ::GetFileAttributesW(path.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY))
        ::SetFileAttributesW(path.c_str(), attributes & ~FILE_ATTRIBUTE_READONLY);
}

std::wstring GetCreatedTopFolder() { return std::wstring(); }

}  // namespace startup_seams
