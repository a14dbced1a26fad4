// The process-wide services of the launch.
#include "app/App.h"
#include "core/RunFlags.h"
#include "framework/WinApp.h"
#include "launch/AutolaunchSequence.h"
#include "logging/LogSetup.h"
#include "platform/Util.h"
#include "ui/TavoSheet.h"

#include <string>

LaunchServices DefaultLaunchServices() {
    LaunchServices services;
    services.Launch = [](const std::wstring& file, const std::wstring& parameters, std::wstring& errorText,
                         int wait) {
        int code = theUtil.LaunchApplication(file, parameters, errorText, wait, LogUnsupportedLaunchVariable);
        // A setup that could not be started fails the launch like one whose
        // pipe could not be made, instead of passing for a setup that ran.
        if (errorText.empty() && theUtil.LastStartError() != 0)
            errorText = L"Launch File failed: error " + std::to_wstring(theUtil.LastStartError()) + L" on starting " + file;
        return code;
    };
    services.DeleteWorkingFolder = [] { theApp.DeleteTempFolder(); };
    // The wizard's cancel clears the extraction's flag; it stops the launch too.
    services.ContinueLaunch = [] { return ContinueExtraction != 0; };
    services.MessageBox = [](const std::wstring& text, UINT type) { return zel::AppMessageBox(text, type); };
    services.SetExitCode = [](int code) { theApp.SetExitCode(code); };
    services.OsCheckResult = [] { return theApp.OsCheckResult; };
    services.LoadReturnCodeMessages = [](const std::wstring& key) { theApp.FinishTexts.LoadReturnCodeMessages(key); };
    services.SetFinishMessage = [](const std::wstring& key, int code) { theApp.FinishTexts.SetFinishMessage(key, code); };
    // The wizard of this run, when there is one: the launch moves its pages.
    services.Sheet = RunningSheet();
    return services;
}
