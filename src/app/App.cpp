#include "app/App.h"

#include "app/CommandOptions.h"
#include "core/ExitCodes.h"
#include "app/SingleInstance.h"
#include "logging/LogFile.h"
#include "payload/Initializer.h"
#include "payload/LanguageTexts.h"
#include "platform/SettingsFile.h"
#include "platform/Util.h"
#include "app/StartupSeams.h"
#include "ui/UnattendedExtracter.h"
#include "platform/SystemLibrary.h"

#include <ole2.h>

#include <cstdlib>

CZelSelfExtractorUIApp theApp;

CRunHost& RunHost() { return theApp; }

namespace {
constexpr wchar_t kOleFailedText[] =
    L"OLE initialization failed.  Make sure that the OLE libraries are the correct version.";
constexpr wchar_t kEndBanner[] =
    L"############################## --------- End --------- ##############################";

// The graphics library's start-up record (flat API, version 1).
struct GdiplusStartupInputV1 {
    UINT32 GdiplusVersion = 1;
    void* DebugEventCallback = nullptr;
    BOOL SuppressBackgroundThread = FALSE;
    BOOL SuppressExternalCodecs = FALSE;
};
using GdiplusStartupFn = int(WINAPI*)(ULONG_PTR*, const GdiplusStartupInputV1*, void*);
using GdiplusShutdownFn = void(WINAPI*)(ULONG_PTR);

bool IsCjkLanguage(LANGID language) {
    return language == 1028 || language == 2052 || language == 1042 || language == 1041;
}

std::wstring WithoutTrailingBackslashes(std::wstring path) {
    while (!path.empty() && path.back() == L'\\') path.pop_back();
    return path;
}
}  // namespace

CZelSelfExtractorUIApp::CZelSelfExtractorUIApp() = default;

void CZelSelfExtractorUIApp::StartGraphics() {
    if (GdiplusToken != 0) return;
    gdiplus_.reset(zel::LoadSystemLibrary(L"gdiplus.dll"));
    auto startup = zel::GetProc<GdiplusStartupFn>(gdiplus_.get(), "GdiplusStartup");
    GdiplusStartupInputV1 input;
    if (startup == nullptr || startup(&GdiplusToken, &input, nullptr) != 0) GdiplusToken = 0;
}

void CZelSelfExtractorUIApp::ShowBox(const std::wstring& text, UINT type) {
    if (GetRunMode() == ModeFullGui) zel::AppMessageBox(text, type);
}

void CZelSelfExtractorUIApp::OnUnhandledException(const wchar_t* where, const std::wstring& what) {
    internalError_ = true;
    theLog.LogText(0, L"UnexpectedError", std::wstring(L"Unexpected error in the ") + where + L" : " + what);
}

int CZelSelfExtractorUIApp::ExitAfterException() {
    ExitInstance();
    return kExitInternalError;
}

int CZelSelfExtractorUIApp::DoMessageBox(const std::wstring& text, UINT type, UINT /*helpId*/) {
    HWND owner = MessageBoxOwner != nullptr ? MessageBoxOwner : ::GetActiveWindow();
    std::wstring caption = Title();
    if (caption.empty()) {
        wchar_t path[MAX_PATH] = {};
        ::GetModuleFileNameW(nullptr, path, MAX_PATH);
        caption = path;
    }
    // The owner stays disabled while the box is up.
    return ShowTranslatedMessageBox(owner, text, caption, type);
}

BOOL CZelSelfExtractorUIApp::InitInstance() {
    // The graphics library starts with the first window that draws
    // (RunPackage): a quiet run never loads it.
    CjkUi = IsCjkLanguage(static_cast<LANGID>(theUtil.GetUILanguage())) ? 1 : 0;

    CExtractorCommandOpt options;
    zel::ParseProcessCommandLine(options);

    // Taken before the master log is started: a second instance appends its
    // lines to the master log and never removes the running one's. Held for
    // the whole run.
    CSingleInstance instance(kSingleInstanceMutexName);
    const bool anotherInstance = instance.IsAnotherInstanceRunning();
    theInitializer.InitMasterLog(0, anotherInstance);

    Silent = options.Silent;
    Unattended = options.Unattended;
    // The settings pass already needs to know whether it may show a box.
    theInitializer.RunMode = GetRunMode();

    if (anotherInstance) {
        ShowBox(GetLangString(105), MB_OK);
        theLog.LogMessage(0, L"InitInstance", L"Another instance is already running.");
        AnotherInstance = 1;
        SetExitCode(kExitAnotherInstance);
        return FALSE;
    }

    // A silent run shows nothing that needs OLE (starting a document takes
    // COM for itself); under Wine the library alone costs it 2 MiB.
    if (Unattended == 1 || Silent != 1) {
        const auto initialize = zel::OleDll().oleInitialize;
        if (initialize == nullptr || FAILED(initialize(nullptr))) {
            ShowBox(kOleFailedText, MB_OK);
            theLog.LogMessage(0, L"InitInstance", kOleFailedText);
            SetExitCode(kExitOleFailed);
            return FALSE;
        }
        oleStarted_ = true;
    }
    // No control container or automation class factory is registered: the
    // run must leave nothing behind in the registry.

    if (!CreateTavoTempDir()) Quit(-1, kExitFailure, std::wstring());

    int code = theInitializer.ExtractIntermediateFiles();
    if (code != 0) Quit(-1, code, std::wstring());

    HeadingFont = {16, 600, L"Tahoma"};
    BodyFont = {15, 100, L"Tahoma"};

    RunPackage(options);
    return FALSE;
}

int CZelSelfExtractorUIApp::RunPackage(const CExtractorCommandOpt& options) {
    CommandLineSettings settings;
    settings.Debug = options.Debug;
    settings.NoConditionCheck = options.NoConditionCheck;
    settings.NoOSCheck = options.NoOSCheck;
    settings.ExtractPathArg = options.ExtractPathArg;
    settings.AutoLaunchArg = options.AutoLaunchArg;
    settings.SetupLanguageArg = options.SetupLanguageArg;
    settings.Mode = GetRunMode();
    int dispatch = theInitializer.Init(settings);

    LockSettingsFile();
    if (GetRunMode() == ModeFullGui) StartGraphics();
    LoadBannerImages();

    DisplayName = theInitializer.GetDisplayName();
    if (!DisplayName.empty()) SetTitle(DisplayName);
    theLog.LogMessage(8, L"Display Name", L"%s", DisplayName.c_str());

    if (GetCheckAdmin() == 1 && theUtil.IsUserAdmin() == 0) {
        theLog.LogMessage(0, L"InitInstance", L"User is not having admin rights.");
        std::wstring text = GetLangString(421);
        size_t pair = text.find(L"\\n");
        if (pair != std::wstring::npos) text.replace(pair, 2, L"\n");
        ShowBox(text, MB_OK);
        SetExitCode(kExitNoAdminRights);
        return dispatch;
    }

    if (!CheckPassword(options.PasswordArg)) {
        SetExitCode(kExitPasswordRefused);
        return dispatch;
    }

    ValidateOSBeforeExtraction();
    if (dispatch != kDispatchQuietRun && dispatch != kDispatchStop) LoadDefaultSetupLanguage();
    RunFrontEnd(dispatch);
    return dispatch;
}

void CZelSelfExtractorUIApp::LoadBannerImages() {
    if (theInitializer.WorkingFolder.empty()) return;
    CSettingsFile settings(theInitializer.SettingsFilePath);
    // The images stay in the run's private working folder, which the run
    // created and removes: no file of the user's is overwritten or deleted.
    // Only a plain file name of that folder.
    auto isPlainName = [](const std::wstring& name) {
        return !name.empty() && name.find_first_of(L"\\/:") == std::wstring::npos && name != L"." && name != L"..";
    };
    if (isPlainName(settings.GetString(L"Images", L"BOTTOMImage"))) BottomImagePath = GetImagePath(L"BOTTOMImage");
    if (!isPlainName(settings.GetString(L"Images", L"TopImage"))) return;
    TopImagePath = GetImagePath(L"TopImage");
    if (GdiplusToken != 0) TopImage.LoadFromFile(TopImagePath);
}

void CZelSelfExtractorUIApp::RunFrontEnd(int dispatch) {
    if (dispatch == kDispatchQuietRun) {
        // Nobody types into a silent run: without an input method its hidden
        // window starts no COM either.
        if (Unattended != 1) zel::DisableInputMethod();
        // Visible in unattended runs; with both switches the flag is still set.
        CUnattendedExtracter dialog(Unattended);
        // Without its window nothing was extracted: never a success.
        if (dialog.DoModal() == -1) {
            theLog.LogMessage(0, L"InitInstance", L"The progress dialog could not be created. Error %u",
                              static_cast<unsigned>(::GetLastError()));
            SetExitCode(kExitExtractionFailed);
        }
    } else if (dispatch == kDispatchStop) {
        // Init logged why: requirements not met or no usable extraction folder.
        SetExitCode(kExitRequirementsNotMet);
    } else {
        startup_seams::RunWizard(*this, dispatch);
    }
}

bool CZelSelfExtractorUIApp::CreateTavoTempDir() {
    std::wstring error = theInitializer.CretaeAndValidateTavoTempDir();
    if (error.empty()) return true;
    SetTitle(GetLangString(103));
    ShowBox(error, MB_OK | MB_ICONERROR);
    return false;
}

int CZelSelfExtractorUIApp::GetCheckAdmin() {
    if (theInitializer.WorkingFolder.empty()) return 0;
    CSettingsFile settings(theInitializer.SettingsFilePath);
    if (settings.GetString(L"Runtime", L"CheckAdmin") != L"1") return 0;
    theLog.LogMessage(8, L"GetCheckAdmin", L"Admin rights needed for extraction");
    return 1;
}

void CZelSelfExtractorUIApp::LockSettingsFile() {
    if (theInitializer.WorkingFolder.empty()) return;
    // Read access with read sharing only: no other process may change or
    // delete the settings while the run uses them.
    SettingsFileHandle.reset(::CreateFileW(theInitializer.SettingsFilePath.c_str(), FILE_READ_DATA,
                                           FILE_SHARE_READ, nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                                           nullptr));
}

void CZelSelfExtractorUIApp::UnlockSettingsFile() { SettingsFileHandle.reset(); }

std::wstring CZelSelfExtractorUIApp::GetImagePath(const wchar_t* key) {
    CSettingsFile settings(theInitializer.SettingsFilePath);
    return theInitializer.WorkingFolder + settings.GetString(L"Images", key);
}

int CZelSelfExtractorUIApp::ExitInstance() {
    FinishWorker();
    ReleaseResources();
    DeleteTempFolder();
    StopGraphicsAndWorker();
    return internalError_ ? kExitInternalError : exitCode_;
}

void CZelSelfExtractorUIApp::Quit(int levelSelector, int exitCode, const std::wstring& message) {
    if (!message.empty()) theLog.LogText(levelSelector == -1 ? 0 : 8, L"Quit", message);
    FinishWorker();
    DeleteTempFolder();
    ReleaseResources();
    StopGraphicsAndWorker();
    std::exit(exitCode);
}

void CZelSelfExtractorUIApp::FinishWorker() {
    if (AnotherInstance || !Worker.IsRunning()) return;
    // Only a cancel or an error ends the run under a running worker: it
    // stops at its next safe point.
    ContinueExtraction = 0;
    Worker.Resume();
    ::SetEvent(Worker.StopEvent());
    Worker.WaitForEnd();
}

void CZelSelfExtractorUIApp::ReleaseResources() {
    UnlockSettingsFile();
    startup_seams::ReleaseWindows(*this);
    // The images live in the working folder, which goes with it; the image
    // object goes before the graphics library stops.
    TopImage.Reset();
    SetTitle(std::wstring());
    ButtonCaptions.clear();
    theLog.EndLog();
    theLog.WriteRaw(L"%s\n", kEndBanner);
}

void CZelSelfExtractorUIApp::DeleteTempFolder() {
    UnlockSettingsFile();
    // The graphics library holds the image file open while it is loaded.
    TopImage.Reset();
    if (CleanupDone) return;
    CleanupDone = 1;
    if (CancelRequested == 1) DeleteExtractedContents();

    std::wstring folder = WithoutTrailingBackslashes(theInitializer.WorkingFolder);
    // Never a drive root such as C:\ (3 characters or fewer).
    if (folder.size() <= 3 || ::GetFileAttributesW(folder.c_str()) == INVALID_FILE_ATTRIBUTES) return;
    theLog.LogText(8, L"Temp directory : ", folder);
    theLog.LogText(8, L"Deleting folder : ", folder);
    StringList notDeleted;
    theUtil.DeleteFolderCollect(folder, notDeleted);
    for (const std::wstring& file : notDeleted) theLog.LogText(8, L"File could not be deleted : ", file);
}

void CZelSelfExtractorUIApp::DeleteExtractedContents() {
    const wchar_t* source = L"DeleteExtractedContents";
    auto& files = theInitializer.Extracted.Files;
    for (const std::wstring& file : files) {
        theLog.LogMessage(8, source, L"Deleting file : %s\n", file.c_str());
        theUtil.ClearReadOnly(file);
        if (!::DeleteFileW(file.c_str())) theLog.LogMessage(8, source, L"Could not delete file : %s", file.c_str());
        ::Sleep(10);
    }
    for (const std::wstring& folder : theInitializer.Extracted.Folders) {
        if (folder.empty()) continue;
        theLog.LogMessage(8, source, L"Deleting folder : %s", folder.c_str());
        if (!theUtil.DeleteFolderTree(folder))
            theLog.LogMessage(8, source, L"Could not delete folder : %s", folder.c_str());
        ::Sleep(10);
    }
    std::wstring top = theUtil.GetCreatedTopFolder();
    if (!top.empty()) {
        theLog.LogMessage(8, source, L"Deleting folder : %s", top.c_str());
        if (!theUtil.DeleteFolderTree(top))
            theLog.LogMessage(8, source, L"Could not delete folder : %s", top.c_str());
    }
    files.clear();
    theInitializer.Extracted.Folders.clear();
}

void CZelSelfExtractorUIApp::StopGraphicsAndWorker() {
    if (!AnotherInstance) Worker.WaitAndRelease(100);
    if (GdiplusToken != 0) {
        if (auto shutdown = zel::GetProc<GdiplusShutdownFn>(gdiplus_.get(), "GdiplusShutdown")) shutdown(GdiplusToken);
        GdiplusToken = 0;
    }
    if (oleStarted_) {
        zel::OleDll().oleUninitialize();
        oleStarted_ = false;
    }
}
