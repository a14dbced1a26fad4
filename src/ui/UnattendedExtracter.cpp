#include "ui/UnattendedExtracter.h"

#include "core/ExitCodes.h"
#include "core/Messages.h"
#include "core/RunFlags.h"
#include "framework/CommonControls.h"
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

#include <utility>

namespace {
constexpr int kIconId = 912;

HWND g_filteredDialog = nullptr;

// Enter and Escape become Tab in the dialog, so that neither closes it. The
// dialog's own windows only: Enter still answers the cancel question.
LRESULT CALLBACK TurnEnterAndEscapeIntoTab(int code, WPARAM wParam, LPARAM lParam) {
    if (code == MSGF_DIALOGBOX) {
        auto* msg = reinterpret_cast<MSG*>(lParam);
        if (msg->message == WM_KEYDOWN && (msg->wParam == VK_RETURN || msg->wParam == VK_ESCAPE) &&
            g_filteredDialog != nullptr && ::GetAncestor(msg->hwnd, GA_ROOT) == g_filteredDialog)
            msg->wParam = VK_TAB;
    }
    return ::CallNextHookEx(nullptr, code, wParam, lParam);
}

}  // namespace

CUnattendedExtracter::CUnattendedExtracter(int visible)
    : CDialogBase(visible ? IDD_UNATTENDED : IDD_UNATTENDED_HIDDEN, nullptr), visible_(visible) {
    // A silent run never loads the common controls: its dialog has no bar.
    if (visible_) {
        INITCOMMONCONTROLSEX controls = {sizeof(controls), ICC_PROGRESS_CLASS};
        if (auto init = zel::CommonControls().initCommonControlsEx) init(&controls);
    }
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
    g_filteredDialog = hwnd;
    keyFilter_.reset(::SetWindowsHookExW(WH_MSGFILTER, TurnEnterAndEscapeIntoTab, nullptr, ::GetCurrentThreadId()));
    if (visible_) {
        ::SetWindowTextW(hwnd, theInitializer.GetDisplayName().c_str());
        ::SendDlgItemMessageW(hwnd, IDC_UNATTENDED_PROGRESS, PBM_SETRANGE, 0, MAKELPARAM(0, 100));
        ::SendDlgItemMessageW(hwnd, IDC_UNATTENDED_PROGRESS, PBM_SETPOS, 1, 0);
        ::SetDlgItemTextW(hwnd, IDC_UNATTENDED_STATUS, GetLangString(507).c_str());
    }
    ContinueExtraction = 1;
    theLog.LogMessage(8, L"ExtractPath", L" %s", theInitializer.ExtractionPath.c_str());
    counter_.Start();
    if (!RunHost().ExtractionWorker().Start(hwnd, ExtractPackageThread)) {
        // Nothing would ever end the dialog.
        theLog.LogMessage(0, L"OnInitDialog", L"The extraction thread could not be created. Error %u",
                          static_cast<unsigned>(::GetLastError()));
        RunHost().SetExitCode(kExitExtractionFailed);
        EndDialog(IDABORT);
    }
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
    case WM_ZEL_EXTRACTION_FAILED:
        if (asking_)
            deferredEnd_ = message;
        else if (message == WM_ZEL_EXTRACTION_ENDED)
            OnExtractionEnded();
        else
            OnExtractionFailed();
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

void CUnattendedExtracter::OnExtractionFailed() {
    RunHost().SetExitCode(kExitExtractionFailed);
    EndDialog(IDOK);
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
    if (asking_) return;
    if (!visible_) {
        // Nobody can answer a question in a silent run: a close request (a
        // deployment tool's graceful stop) is a confirmed cancel.
        theLog.LogMessage(8, L"OnClose", L"Close request in a silent run: extraction cancelled");
        CancelRun();
    }
    theLog.LogMessage(8, L"OnClose", L"Extraction paused");
    RunHost().ExtractionWorker().Pause();
    asking_ = true;
    const int answer = zel::AppMessageBox(GetLangString(113), MB_YESNO);
    asking_ = false;
    if (answer == IDYES) CancelRun();
    RunHost().ExtractionWorker().Resume();
    const UINT ended = std::exchange(deferredEnd_, 0u);
    if (ended == WM_ZEL_EXTRACTION_ENDED) OnExtractionEnded();
    if (ended == WM_ZEL_EXTRACTION_FAILED) OnExtractionFailed();
}

void CUnattendedExtracter::CancelRun() {
    // The worker stops at its next safe point (a record, a file or a written
    // block), so nothing is written while the clean-up removes what was
    // extracted; Quit waits for it to end.
    RequestExtractionCancel();
    theInitializer.SetFinishStatus(11);
    RunHost().Quit(0, kExitCancelled, std::wstring());
}
