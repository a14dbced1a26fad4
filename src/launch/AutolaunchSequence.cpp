#include "launch/AutolaunchSequence.h"

#include "core/ExitCodes.h"
#include "core/RunFlags.h"
#include "logging/LogFile.h"
#include "payload/Initializer.h"
#include "platform/SettingsFile.h"
#include "platform/Util.h"

#include <cwchar>

namespace {

constexpr wchar_t kRuntime[] = L"Runtime";
constexpr wchar_t kSetupNotFound[] = L"File for launching the setup not found : ";

bool IsSetupFailure(int finishStatus) {
    return finishStatus == 2 || finishStatus == -1 || finishStatus == -4 || finishStatus == -6;
}

}  // namespace

CAutolaunchSequence::CAutolaunchSequence(LaunchServices services) : services_(std::move(services)) {}

void CAutolaunchSequence::ShowSheet(bool show) {
    if (SheetWindowExists()) services_.Sheet->ShowWindow(show);
}

int CAutolaunchSequence::HandleLaunchSetup() {
    int statusBefore = theInitializer.GetFinishStatus();
    int result = RunLaunch();
    // The exit code tells a deployment script that the package's setups did
    // not all run as configured; a status set before the launch (extraction,
    // cancel) keeps the exit code of its own end.
    // A launch the system rules blocked started no setup either: a script must
    // not read it as a package whose setups ran.
    if (statusBefore == 0 && (IsSetupFailure(theInitializer.GetFinishStatus()) || blockedBySystem_))
        services_.SetExitCode(kExitSetupFailed);
    return result;
}

int CAutolaunchSequence::RunLaunch() {
    CSettingsFile settings(theInitializer.SettingsFilePath);
    std::wstring installationDialog = settings.GetString(kRuntime, L"AutoLaunchInstallationDialog");
    theUtil.SetCheckAdmin(settings.GetString(kRuntime, L"CheckAdmin"));

    StringList setups;
    StringList parameters;
    GetAutolaunchApps(std::to_wstring(theInitializer.GetSetupLanguage()), setups, parameters);

    int result = -1;
    if (!setups.empty() && theInitializer.GetFinishStatus() == 0) {
        ShowSheet(installationDialog == L"1");
        if (!CheckOperatingSystem()) return kEndWizard;

        services_.DeleteWorkingFolder();
        LaunchMultipleApplications(setups, parameters, installationDialog);

        if (setups.size() != 1 || (theInitializer.WaitForAutolaunchFinish == 0 && installationDialog != L"1"))
            return kEndWizard;
        ShowSheet(true);
        result = 0;
    }
    if (SheetWindowExists() && services_.Sheet->LaunchAtFinish()) services_.Sheet->MoveToFinishPage();
    return result;
}

bool CAutolaunchSequence::CheckOperatingSystem() {
    if (theInitializer.NoOSCheck) return true;
    bool fullGui = theInitializer.RunMode == ModeFullGui;
    const std::wstring& message = theInitializer.SupportedOSMessage;
    switch (services_.OsCheckResult()) {
        case 302:
            blockedBySystem_ = true;
            if (fullGui) {
                ShowSheet(false);
                services_.MessageBox(message, MB_OK | MB_ICONERROR);
            }
            return false;
        case 301:
            if (!fullGui) break;
            ShowSheet(false);
            if (services_.MessageBox(message, MB_YESNO | MB_ICONQUESTION) == IDNO) {
                theLog.LogMessage(0, L"HandleLaunchSetup", L"Current operating system  not supported");
                theInitializer.SetFinishStatus(11);
                return false;
            }
            break;
        default:
            break;
    }
    theLog.LogUnnamed(8, L"Current OS is supported");
    return true;
}

void CAutolaunchSequence::GetAutolaunchApps(const std::wstring& languageSection, StringList& setups,
                                            StringList& parameters) {
    const wchar_t* source = L"GetAutolaunchApps";
    CSettingsFile settings(theInitializer.SettingsFilePath);
    multilaunch_ = settings.GetString(kRuntime, L"Multilaunch");
    bool multi = multilaunch_ == L"1";
    std::wstring installationDialog = settings.GetString(kRuntime, L"AutoLaunchInstallationDialog");
    RunMode mode = static_cast<RunMode>(theInitializer.RunMode);
    bool missing = false;

    for (int n = 1;; ++n) {
        std::wstring number = multi ? std::to_wstring(n) : std::wstring();
        std::wstring key = L"AutoLaunch" + number;
        std::wstring value = settings.GetString(kRuntime, key.c_str());
        if (value.empty()) break;
        theLog.LogMessage(8, source, L"%s : %s", key.c_str(), value.c_str());

        std::wstring path = theInitializer.GetExtractionPath() + L"\\" + value;
        if (path.size() >= kMaxSetupPath) {
            theInitializer.SetFinishStatus(-1);
            theLog.LogText(0, L"Folder depth is too large to run the setup.", path);
            setups.clear();
            parameters.clear();
            return;
        }
        if (!theUtil.FileExists(path)) {
            theInitializer.SetFinishStatus(2);
            theLog.LogText(0, kSetupNotFound, path);
            missing = true;
        } else {
            // The return-code section is named like the setup's key ([AutoLaunch1]).
            services_.LoadReturnCodeMessages(key);

            std::wstring parametersKey = L"LaunchEXEParams" + number;
            std::wstring composed = settings.GetString(languageSection.c_str(), parametersKey.c_str());
            std::wstring launchMode = settings.GetString(kRuntime, L"Mode");
            theLog.LogMessage(8, source, L"Mode - %s", launchMode.c_str());
            if (::_wcsicmp(launchMode.c_str(), L"Tavo") == 0) {
                theLog.LogMessage(8, source, L"Mode identified as Tavo");
                std::wstring silent = settings.GetString(languageSection.c_str(), (parametersKey + L"Silent").c_str());
                std::wstring unattended =
                    settings.GetString(languageSection.c_str(), (parametersKey + L"Unattended").c_str());
                if (mode == ModeSilent || (mode == ModeFullGui && installationDialog == L"1")) {
                    theLog.LogMessage(8, source, L"Silent Mode identified for web Package");
                    composed += L" " + silent;
                } else if (mode == ModeUnattended) {
                    theLog.LogMessage(8, source, L"Unattended Mode identified for web Package");
                    composed += L" " + unattended;
                }
            }
            theLog.LogMessage(8, source, L"Parameters for Application to be launched - %s", composed.c_str());
            setups.push_front(key + L":" + path);
            parameters.push_front(composed);
        }
        if (!multi) break;
    }
    if (missing) {
        setups.clear();
        parameters.clear();
    }
}

int CAutolaunchSequence::LaunchMultipleApplications(const StringList& setups, const StringList& parameters,
                                                    const std::wstring& installationDialog) {
    const wchar_t* source = L"LaunchMultipleApplications";
    bool pageProgress = installationDialog == L"1" && InstallationPageExists();
    if (pageProgress) services_.Sheet->DispatchPendingMessages();
    pageProgress = pageProgress && theInitializer.RunMode == ModeFullGui;

    int step = setups.empty() ? 0 : 100 / static_cast<int>(setups.size());
    int progress = step;
    int wait = theInitializer.WaitForAutolaunchFinish;
    int result = 0;

    // Both lists hold the last entry first: walked backwards, setups start in
    // the order the settings give them.
    auto parameter = parameters.rbegin();
    for (auto entry = setups.rbegin(); entry != setups.rend(); ++entry) {
        std::wstring setupParameters = parameter != parameters.rend() ? *parameter++ : std::wstring();
        size_t colon = entry->find(L':');
        std::wstring key = colon == std::wstring::npos ? *entry : entry->substr(0, colon);
        std::wstring path = colon == std::wstring::npos ? std::wstring() : entry->substr(colon + 1);
        theLog.LogMessage(8, source, L"Launching - %s", path.c_str());

        if (!theUtil.FileExists(path)) {
            theInitializer.SetFinishStatus(-4);
            theLog.LogText(0, kSetupNotFound, path);
            result = -1;
            continue;
        }

        // The wizard's cancel question holds the launch between two setups;
        // a cancel confirmed there starts no further setup.
        ExtractionPause.WaitWhilePaused();
        if (!services_.ContinueLaunch()) {
            StopLaunch();
            break;
        }

        std::wstring errorText;
        LaunchReturned = 0;
        int code = services_.Launch(path, setupParameters, errorText, wait);
        LaunchReturned = 1;

        if (!services_.ContinueLaunch()) {
            StopLaunch();
            break;
        }
        if (pageProgress) {
            services_.Sheet->SetInstallationProgress(progress);
            progress += step;
        }
        if (errorText.empty() && (wait != 0 || multilaunch_ == L"0")) {
            theLog.LogMessage(8, source, L"Finished - %s", path.c_str());
            theLog.LogMessage(8, source, L"Return code of - %s is %d", path.c_str(), code);
        }
        if (!errorText.empty()) {
            theInitializer.SetFinishStatus(-4);
            theLog.LogText(0, source, errorText);
            code = -1;
        }
        services_.SetFinishMessage(key, code);
    }
    return result;
}

void CAutolaunchSequence::StopLaunch() {
    theLog.LogMessage(0, L"LaunchMultipleApplications", L"Launch process is stopped");
    if (services_.Sheet != nullptr) services_.Sheet->LaunchFinished();
}

int HandleLaunchSetup() {
    CAutolaunchSequence sequence;
    return sequence.HandleLaunchSetup();
}
