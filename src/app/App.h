// The application object: the order of the whole run, from start to exit.
#pragma once

#include "app/FinishMessages.h"
#include "core/RunFlags.h"
#include "core/RunMode.h"
#include "framework/Handles.h"
#include "framework/WinApp.h"
#include "framework/WorkerThread.h"
#include "ui/BannerImage.h"
#include "ui/RunHost.h"

#include <windows.h>

#include <atomic>
#include <functional>
#include <string>

class CExtractorCommandOpt;

class CZelSelfExtractorUIApp : public zel::CWinAppBase, public CRunHost {
public:
    CZelSelfExtractorUIApp();

    BOOL InitInstance() override;
    int ExitInstance() override;
    int DoMessageBox(const std::wstring& text, UINT type, UINT helpId) override;

    // Ends the process at once with exitCode after the clean-up. A non-empty
    // message is logged with the source "Quit" (level 0 when levelSelector is
    // -1, else 8).
    [[noreturn]] void Quit(int levelSelector, int exitCode, const std::wstring& message) override;

    RunMode GetRunMode() const { return RunModeFromFlags(Silent, Unattended); }
    bool IsQuietRun() const { return Silent == 1 || Unattended == 1; }

    // [Runtime] CheckAdmin of the working settings file is exactly "1".
    int GetCheckAdmin();
    void LockSettingsFile();
    void UnlockSettingsFile();
    std::wstring GetImagePath(const wchar_t* key);

    // Applies the package's operating-system rules before extraction. Only a
    // full GUI run of a package with [Package] CheckOs "1" and setups to
    // launch asks on an unsupported system; ask gets the question and returns
    // IDYES or IDNO. A No ends the process with exit code -1.
    void ValidateOSBeforeExtraction();
    void ValidateOSBeforeExtraction(const std::function<int(const std::wstring&)>& ask);
    // The wizard's first language: the system's when the package offers it.
    void LoadDefaultSetupLanguage();

    // 1 to go on; 0 when a quiet run lacks the required password or has a wrong one.
    int CheckPassword(const std::wstring& given);
    // Decodes the stored password and empties it in the working settings copy.
    std::wstring DecodeStoredPassword(const std::wstring& stored);

    void ReleaseResources();
    void DeleteTempFolder();
    void DeleteExtractedContents();

    // The exit code ExitInstance returns (0 unless an end set another).
    void SetExitCode(int code) override { exitCode_ = code; }
    int ExitCodeValue() const { return exitCode_; }

    CWorkerThread& ExtractionWorker() override { return Worker; }
    const LogFontSpec& DialogBodyFont() const override { return BodyFont; }

    int Silent = 0;
    int Unattended = 0;
    int AnotherInstance = 0;
    zel::UniqueHandle SettingsFileHandle;
    CWorkerThread Worker;
    ULONG_PTR GdiplusToken = 0;
    std::wstring DisplayName;
    std::wstring TopImagePath;
    // The top banner image; empty until loaded, or when the file is no image.
    zel::CBannerImage TopImage;
    std::wstring BottomImagePath;
    LogFontSpec HeadingFont;
    LogFontSpec BodyFont;
    int CjkUi = 0;
    int OsCheckResult = 300;
    int OsCheckedBeforeExtraction = 0;
    std::wstring StoredPassword;
    HWND MessageBoxOwner = nullptr;
    int StartPageSet = 0;
    int CleanupDone = 0;
    // Return-code and finish messages of the setups.
    CFinishMessages FinishTexts;

private:
    void StartGraphics();
    void StopGraphicsAndWorker();
    void ShowBox(const std::wstring& text, UINT type);
    bool CreateTavoTempDir();
    void RunFrontEnd(int dispatch);
    // Copies [Images] key from the working folder into %temp%; returns the
    // copy's path, or the working-folder path when the copy failed.
    std::wstring LoadBannerImage(const wchar_t* key);
    void LoadBannerImages();
    int RunPackage(const CExtractorCommandOpt& options);

    zel::UniqueModule gdiplus_;
    bool oleStarted_ = false;
};

extern CZelSelfExtractorUIApp theApp;
