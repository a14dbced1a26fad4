// The process-wide services of the launch.
#include "app/App.h"
#include "framework/WinApp.h"
#include "launch/AutolaunchSequence.h"
#include "platform/Util.h"

LaunchServices DefaultLaunchServices() {
    LaunchServices services;
    services.Launch = [](const std::wstring& file, const std::wstring& parameters, std::wstring& errorText,
                         int wait) { return theUtil.LaunchApplication(file, parameters, errorText, wait); };
    services.DeleteWorkingFolder = [] { theApp.DeleteTempFolder(); };
    // Seam: becomes the process-wide cancel flag of the extraction
    // (ContinueExtraction) once the cabinet engine is in.
    services.ContinueLaunch = [] { return true; };
    services.MessageBox = [](const std::wstring& text, UINT type) { return zel::AppMessageBox(text, type); };
    // Seam: the wizard sheet's hooks once the wizard exists.
    services.Sheet = nullptr;
    return services;
}
