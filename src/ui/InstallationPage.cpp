// The installation progress page: the setups run on the launch thread while
// the page shows how far they got.
#include "ui/WizardPages.h"

#include "core/Messages.h"
#include "core/RunFlags.h"
#include "framework/WinApp.h"
#include "logging/LogFile.h"
#include "payload/Initializer.h"
#include "ui/TavoSheet.h"
#include "ui/WizardHost.h"

#include <commctrl.h>

namespace {
constexpr int kInstallHeading = 1062;
constexpr int kInstallStatus = 1063;
constexpr int kInstallBar = 1064;
}  // namespace

CAutoLaunchSilentPage::CAutoLaunchSilentPage() : CTavoPage(IDD_AUTOLAUNCH_PAGE, WizardPage::AutoLaunch, false, false) {
    ContinueExtraction = 1;
}

namespace {
unsigned __stdcall LaunchSetupThread(void* wrapper) {
    auto* worker = static_cast<CWorkerThread*>(wrapper);
    theLog.LogMessage(8, L"LaunchSetupThread", L"%s", L"Started the Launch process");
    // Nothing unwinds out of the thread: the page still hears of the end and
    // the finish page reports a launch that did not complete.
    try {
        if (CTavoSheet* sheet = RunningSheet()) sheet->RunLaunch();
    } catch (...) {
        zel::ReportCurrentException(L"LaunchSetupThread");
        theInitializer.SetFinishStatus(-4);
        LaunchReturned = 1;
    }
    HWND window = worker->Window();
    worker->Stop();
    if (window != nullptr) ::PostMessageW(window, WM_ZEL_LAUNCH_ENDED, 0, 0);
    return 0;
}
}  // namespace

void CAutoLaunchSilentPage::SetTexts(int statusString) {
    SetHeadingAndStatus(kInstallHeading, 513, kInstallStatus, statusString);
}

BOOL CAutoLaunchSilentPage::OnInitDialog() {
    if (!SheetReady()) return TRUE;
    CreateFonts();
    SetHeadingFont(kInstallHeading);
    SetBodyFont(kInstallStatus);
    StartBar(kInstallBar);
    WizardHost().SetMessageBoxOwner(Handle());
    TavoSheet().SetDefaultButton(IDC_NEXT_BUTTON);
    RunHost().ExtractionWorker().Start(Handle(), LaunchSetupThread);
    return TRUE;
}

BOOL CAutoLaunchSilentPage::OnSetActive() {
    if (!SheetReady()) return TRUE;
    TavoSheet().SetButtonCaptions(L"");
    SetTexts(512);
    TavoSheet().FocusCancelButton();
    TavoSheet().SetDefaultButton(IDCANCEL);
    return TRUE;
}

LRESULT CAutoLaunchSilentPage::OnLaunchSetupFinish() {
    // Stopping twice (the cancel, then the launch's own end) only lets go of
    // the thread once; a repeated question must not leave the launch held.
    RunHost().ExtractionWorker().Stop();
    RunHost().ExtractionWorker().Resume();
    if (LaunchReturned == 1) {
        ::PostMessageW(Handle(), WM_ZEL_GO_TO_FINISH, 0, 0);
    } else {
        theLog.LogMessage(8, L"OnLaunchSetupFinish", L"%s", L"Disabling the Cancel button");
        TavoSheet().SetCloseEnabled(0);
        TavoSheet().EnableButtons(L"CANCEL", 0);
        // The greyed Cancel loses the focus; without a focus window the keys
        // would arrive as system keys and Escape could no longer ask.
        if (::GetFocus() == nullptr) ::SetFocus(TavoSheet().Handle());
        SetTexts(613);
    }
    return 1;
}

BOOL CAutoLaunchSilentPage::OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
    switch (message) {
    case WM_ZEL_LAUNCH_ENDED:
        result = OnLaunchSetupFinish();
        return TRUE;
    case WM_ZEL_GO_TO_FINISH:
        TavoSheet().JumpToFinish();
        result = 1;
        return TRUE;
    default:
        return CTavoPage::OnMessage(message, wParam, lParam, result);
    }
}
