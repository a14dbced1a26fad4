// After extraction: collects the package's setups, checks the system once
// more, removes the working folder and starts the setups one after the other.
#pragma once

#include "platform/StringList.h"

#include <windows.h>

#include <functional>
#include <string>

// The wizard's side of the launch. Without a wizard there is no sheet at all:
// every step that needs its window or its pages is skipped.
class CLaunchSheetHooks {
public:
    virtual ~CLaunchSheetHooks() = default;
    virtual bool WindowExists() const = 0;
    virtual void ShowWindow(bool show) = 0;
    virtual bool InstallationPageExists() const = 0;
    // Dispatches the pending window messages of the calling thread.
    virtual void DispatchPendingMessages() = 0;
    // Position of the installation page's progress bar.
    virtual void SetInstallationProgress(int value) = 0;
    // The installation page's launch-finished handling.
    virtual void LaunchFinished() = 0;
    // The extraction page decided that the setups start at Finish.
    virtual bool LaunchAtFinish() const = 0;
    virtual void MoveToFinishPage() = 0;
};

// What the launch takes from the rest of the run. DefaultLaunchServices gives
// the process-wide ones (the application binds them); tests replace single
// members.
struct LaunchServices {
    std::function<int(const std::wstring& file, const std::wstring& parameters, std::wstring& errorText, int wait)>
        Launch;
    std::function<void()> DeleteWorkingFolder;
    // False once the user confirmed a cancel: no further setup is started.
    std::function<bool()> ContinueLaunch;
    // Boxes of full GUI mode; returns the button pressed.
    std::function<int(const std::wstring& text, UINT type)> MessageBox;
    // The run's exit code, when a setup failed.
    std::function<void(int code)> SetExitCode;
    // The result of the system check before extraction (300 supported, 301
    // warn, 302 refuse).
    std::function<int()> OsCheckResult;
    // The return-code messages of one setup's key, and the finish message
    // chosen by a setup's return code.
    std::function<void(const std::wstring& key)> LoadReturnCodeMessages;
    std::function<void(const std::wstring& key, int code)> SetFinishMessage;
    CLaunchSheetHooks* Sheet = nullptr;
};

LaunchServices DefaultLaunchServices();

class CAutolaunchSequence {
public:
    static constexpr int kEndWizard = 10;
    // Setup paths this long or longer are refused.
    static constexpr size_t kMaxSetupPath = 900;

    explicit CAutolaunchSequence(LaunchServices services = DefaultLaunchServices());

    // 0 when the setups ran, -1 when nothing was launched, 10 when the caller
    // is to end the wizard. Sets the run's exit code when a setup was missing,
    // could not be started, was blocked on an unsupported system or returned
    // a code mapped to an error message.
    int HandleLaunchSetup();
    // Fills the lists at the front ("<key>:<full path>" and the composed
    // parameters); both stay empty when a setup is missing.
    void GetAutolaunchApps(const std::wstring& languageSection, StringList& setups, StringList& parameters);
    // Starts the setups from the tail of the lists; -1 when a setup file was
    // missing, else 0.
    int LaunchMultipleApplications(const StringList& setups, const StringList& parameters,
                                   const std::wstring& installationDialog);

private:
    int RunLaunch();
    bool SheetWindowExists() const { return services_.Sheet != nullptr && services_.Sheet->WindowExists(); }
    bool InstallationPageExists() const {
        return services_.Sheet != nullptr && services_.Sheet->InstallationPageExists();
    }
    void ShowSheet(bool show);
    // A confirmed cancel ends the launch: the installation page takes over.
    void StopLaunch();
    // False when the system check blocks the launch.
    bool CheckOperatingSystem();

    LaunchServices services_;
    // [Runtime] Multilaunch as collected: the settings file lives in the
    // working folder, which is gone by the time the setups run.
    std::wstring multilaunch_;
    // The system is not supported: no setup was started.
    bool blockedBySystem_ = false;
};

// The launch with the process-wide services.
int HandleLaunchSetup();
