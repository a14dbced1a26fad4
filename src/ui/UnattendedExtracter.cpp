#include "ui/UnattendedExtracter.h"

#include "core/ExitCodes.h"
#include "core/Messages.h"
#include "core/RunFlags.h"
#include "framework/WinApp.h"
#include "cabinet/CabDecompressor.h"
#include "launch/AutolaunchSequence.h"
#include "logging/LogFile.h"
#include "logging/WorkerLog.h"
#include "payload/ExtractionDriver.h"
#include "payload/Initializer.h"
#include "payload/LanguageTexts.h"
#include "ui/RunHost.h"

#include <commctrl.h>

namespace {
constexpr int kIconId = 912;

// Enter and Escape become Tab, so that neither closes the dialog.
LRESULT CALLBACK TurnEnterAndEscapeIntoTab(int code, WPARAM wParam, LPARAM lParam) {
    if (code == MSGF_DIALOGBOX) {
        auto* msg = reinterpret_cast<MSG*>(lParam);
        if (msg->message == WM_KEYDOWN && (msg->wParam == VK_RETURN || msg->wParam == VK_ESCAPE))
            msg->wParam = VK_TAB;
    }
    return ::CallNextHookEx(nullptr, code, wParam, lParam);
}

}  // namespace

CUnattendedExtracter::CUnattendedExtracter(int visible) : CDialogBase(IDD_UNATTENDED, nullptr), visible_(visible) {
    INITCOMMONCONTROLSEX controls = {sizeof(controls), ICC_PROGRESS_CLASS};
    ::InitCommonControlsEx(&controls);
}

CUnattendedExtracter::~CUnattendedExtracter() = default;

BOOL CUnattendedExtracter::OnInitDialog() {
    HWND hwnd = Handle();
    HINSTANCE instance = ::GetModuleHandleW(nullptr);
    HICON icon = ::LoadIconW(instance, MAKEINTRESOURCEW(kIconId));
    ::SendMessageW(hwnd, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon));
    ::SendMessageW(hwnd, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(icon));
    const LogFontSpec& font = RunHost().DialogBodyFont();
    bodyFont_.reset(::CreateFontW(font.Height, 0, 0, 0, font.Weight, FALSE, FALSE, FALSE,
                                  ANSI_CHARSET, 0, 0, 0, 0, font.Face.c_str()));
    ::SendDlgItemMessageW(hwnd, IDC_UNATTENDED_STATUS, WM_SETFONT, reinterpret_cast<WPARAM>(bodyFont_.get()), TRUE);
    keyFilter_.reset(::SetWindowsHookExW(WH_MSGFILTER, TurnEnterAndEscapeIntoTab, nullptr, ::GetCurrentThreadId()));
    if (visible_) {
        ::SetWindowTextW(hwnd, theInitializer.GetDisplayName().c_str());
        ::SendDlgItemMessageW(hwnd, IDC_UNATTENDED_PROGRESS, PBM_SETRANGE, 0, MAKELPARAM(0, 100));
        ::SendDlgItemMessageW(hwnd, IDC_UNATTENDED_PROGRESS, PBM_SETPOS, 1, 0);
        ::SetDlgItemTextW(hwnd, IDC_UNATTENDED_STATUS, GetLangString(507).c_str());
    }
    ContinueExtraction = 1;
    theLog.LogMessage(8, L"ExtractPath", L" %s", theInitializer.ExtractionPath.c_str());
    RunHost().ExtractionWorker().Start(hwnd, ExtractPackageThread);
    counter_ = 1;
    return TRUE;
}

BOOL CUnattendedExtracter::OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
    switch (message) {
    case WM_PAINT:
        if (!visible_) ::ShowWindow(Handle(), SW_HIDE);
        return FALSE;
    case WM_WINDOWPOSCHANGING:
        // A silent run never shows the dialog, whoever asks.
        if (!visible_) reinterpret_cast<WINDOWPOS*>(lParam)->flags &= SWP_HIDEWINDOW;
        return FALSE;
    case WM_CLOSE:
        OnClose();
        result = 0;
        return TRUE;
    case WM_ZEL_PROGRESS:
        OnProgress(wParam, lParam);
        result = 1;
        return TRUE;
    case WM_ZEL_LOG_LINE:
        if (wParam != 0) WriteLogRecord(*reinterpret_cast<const LogRecord*>(wParam));
        result = 1;
        return TRUE;
    case WM_ZEL_EXTRACTION_ENDED:
        OnExtractionEnded();
        result = 1;
        return TRUE;
    case WM_ZEL_EXTRACTION_FAILED:
        RunHost().SetExitCode(kExitExtractionFailed);
        EndDialog(IDOK);
        result = 1;
        return TRUE;
    default:
        return FALSE;
    }
}

void CUnattendedExtracter::OnProgress(WPARAM action, LPARAM value) {
    if (ApplyProgressStep(::GetDlgItem(Handle(), IDC_UNATTENDED_PROGRESS), counter_, action, value))
        ::SetDlgItemTextW(Handle(), IDC_UNATTENDED_STATUS, GetLangString(508).c_str());
}

void CUnattendedExtracter::OnExtractionEnded() {
    // A missing cabinet ends the extraction without extracting anything.
    if (theInitializer.GetFinishStatus() != 0) RunHost().SetExitCode(kExitExtractionFailed);
    if (theInitializer.IsAutoLaunchEnabled() == 1) {
        ::ShowWindow(Handle(), SW_HIDE);
        HandleLaunchSetup();
        EndDialog(0);
        return;
    }
    EndDialog(IDOK);
}

void CUnattendedExtracter::OnClose() {
    theLog.LogMessage(8, L"OnClose", L"Extraction paused");
    RunHost().ExtractionWorker().Suspend();
    if (zel::AppMessageBox(GetLangString(113), MB_YESNO) == IDYES) {
        CancelRequested = 1;
        // The engine stops at its next file too, so that nothing is written
        // while the clean-up removes what was extracted.
        ContinueExtraction = 0;
        LetWorkerFinish();
        RunHost().ExtractionWorker().Stop();
        theInitializer.SetFinishStatus(11);
        RunHost().Quit(0, kExitCancelled, std::wstring());
    }
    RunHost().ExtractionWorker().Resume();
}
