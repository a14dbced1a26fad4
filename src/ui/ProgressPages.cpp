// The pages from the extraction on: extraction progress, installation
// progress and finish.
#include "ui/WizardPages.h"

#include "core/RunFlags.h"
#include "framework/WinApp.h"
#include "ui/WizardHost.h"
#include "core/Messages.h"
#include "cabinet/CabDecompressor.h"
#include "framework/WinApp.h"
#include "logging/LogFile.h"
#include "payload/ExtractionDriver.h"
#include "payload/Initializer.h"
#include "payload/LanguageTexts.h"
#include "platform/SettingsFile.h"
#include "platform/Util.h"
#include "ui/ControlText.h"
#include "ui/ProgressSteps.h"
#include "ui/TavoSheet.h"
#include "ui/FileOverwrite.h"

#include <commctrl.h>

namespace {
constexpr int kExtractionHeading = 1052;
constexpr int kExtractionStatus = 1037;
constexpr int kExtractionBar = 1002;
constexpr UINT_PTR kDeferredEndTimer = 1;
constexpr int kFinishText = 1033;
constexpr int kFinishPicture = 1051;
constexpr int kFinishMessage = 1061;
constexpr int kOpenLocationBox = 1014;
constexpr int kFailedBitmap = 147;

std::wstring RuntimeSetting(const wchar_t* key) {
    return CSettingsFile(theInitializer.SettingsFilePath).GetString(L"Runtime", key);
}
}  // namespace

// ---- extraction progress ----

CExtractorPage::CExtractorPage() : CTavoPage(IDD_EXTRACTOR_PAGE, WizardPage::Extractor, true, true) {
    ContinueExtraction = 1;
}

void CExtractorPage::SetStatusTexts(int statusString) {
    SetHeadingAndStatus(kExtractionHeading, 506, kExtractionStatus, statusString);
}

BOOL CExtractorPage::OnInitDialog() {
    if (!SheetReady()) return TRUE;
    CTavoSheet& sheet = TavoSheet();
    CreateFonts();
    SetHeadingFont(kExtractionHeading);
    SetBodyFont(kExtractionStatus);
    sheet.SetButtonCaptions(L"");
    SetStatusTexts(507);
    sheet.ShowButtons(L"NEXT,BACK", 0);
    StartBar(kExtractionBar);
    counter_.Start();
    // A package that needs a password is never extracted without it; a
    // confirmed cancel in the password dialog has moved to the finish page.
    if (IsStartPage() && sheet.AskPasswordIfRequired() == -1) {
        if (!sheet.CancelConfirmed()) {
            theInitializer.SetFinishStatus(-1);
            sheet.NoteExtraction(false);
            sheet.JumpToFinish();
        }
        return TRUE;
    }
    if (!started_) {
        started_ = true;
        WizardHost().SetMessageBoxOwner(Handle());
        RunHost().ExtractionWorker().Start(Handle(), ExtractPackageThread);
    }
    sheet.FocusCancelButton();
    sheet.SetDefaultButton(IDCANCEL);
    return TRUE;
}

BOOL CExtractorPage::OnSetActive() {
    if (!SheetReady()) return TRUE;
    CTavoSheet& sheet = TavoSheet();
    sheet.SetButtonCaptions(L"");
    SetStatusTexts(507);
    sheet.FocusCancelButton();
    sheet.SetDefaultButton(IDCANCEL);
    return TRUE;
}

BOOL CExtractorPage::OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
    switch (message) {
    case WM_ZEL_PROGRESS:
        if (ApplyProgressStep(::GetDlgItem(Handle(), kExtractionBar), counter_, wParam, lParam)) SetStatusTexts(508);
        result = 1;
        return TRUE;
    case WM_ZEL_OVERWRITE_QUESTION: {
        CFileOverwrite question(CurrentExtractFileName, Handle());
        question.DoModal();
        const int answer = question.Answer();
        // A dialog that could not ask keeps the file: nothing is lost.
        OverwriteAnswer = answer >= OverwriteYes && answer <= OverwriteCancel ? answer : OverwriteNo;
        if (OverwriteAnswer == OverwriteCancel) cancelledInQuestion_ = true;
        result = 1;
        return TRUE;
    }
    case WM_ZEL_EXTRACTION_ENDED:
    case WM_ZEL_EXTRACTION_FAILED:
        // The cancel question's own message loop delivers the end too; it
        // waits for the answer, so that a Yes is never shown as a success.
        if (TavoSheet().InCancelQuestion()) {
            deferredEnd_ = message;
            ::SetTimer(Handle(), kDeferredEndTimer, 50, nullptr);
        } else {
            OnWorkerEnd(message);
        }
        result = 1;
        return TRUE;
    case WM_TIMER:
        if (wParam != kDeferredEndTimer) return CTavoPage::OnMessage(message, wParam, lParam, result);
        if (!TavoSheet().InCancelQuestion()) {
            ::KillTimer(Handle(), kDeferredEndTimer);
            const UINT end = deferredEnd_;
            deferredEnd_ = 0;
            if (end != 0) OnWorkerEnd(end);
        }
        result = 0;
        return TRUE;
    default:
        return CTavoPage::OnMessage(message, wParam, lParam, result);
    }
}

void CExtractorPage::OnWorkerEnd(UINT message) {
    // A cancel confirmed meanwhile wins over the end that was on its way.
    if (TavoSheet().CancelConfirmed()) return;
    if (message == WM_ZEL_EXTRACTION_ENDED)
        OnExtractionEnded();
    else
        OnExtractionFailed();
}

void CExtractorPage::OnExtractionFailed() {
    CTavoSheet& sheet = TavoSheet();
    if (cancelledInQuestion_) {
        // Cancel in the overwrite question ends the run like a confirmed
        // cancel: what the run wrote goes, the exit code says cancelled.
        // The worker has stopped, so the flag no longer stops anything.
        CancelRequested = 1;
        sheet.NoteCancel(WizardPage::Extractor);
        theInitializer.SetFinishStatus(11);
    } else {
        sheet.NoteExtraction(false);
    }
    sheet.JumpToFinish();
}

void CExtractorPage::OnExtractionEnded() {
    CTavoSheet& sheet = TavoSheet();
    CTavoInitalizer& init = theInitializer;
    sheet.NoteExtraction(init.GetFinishStatus() == 0);
    const int autoLaunch = init.IsAutoLaunchEnabled();

    // On a system the package does not support, its message comes right
    // after the extraction and the installation page is skipped.
    bool blocked = false;
    if (autoLaunch == 1 && (WizardHost().OsCheckedBeforeExtraction() || !init.NoOSCheck) && WizardHost().OsCheckResult() == 302) {
        zel::AppMessageBox(init.SupportedOSMessage, MB_OK | MB_ICONERROR);
        blocked = true;
    }
    if (!blocked && RuntimeSetting(L"AutoLaunchInstallationDialog") == L"1" && init.GetExtractOnly() == 0 &&
        autoLaunch == 1 && init.WaitForAutolaunchFinish != 0) {
        sheet.SetActivePage(sheet.PageOf(WizardPage::AutoLaunch));
        return;
    }
    const std::wstring launch = RuntimeSetting(L"Autolaunch");
    const std::wstring multi = RuntimeSetting(L"Multilaunch");
    sheet.LaunchAtFinishFlag = 1;
    if (!launch.empty() && init.WaitForAutolaunchFinish == 0 && multi == L"1" && !blocked) {
        sheet.LaunchAtFinishFlag = 0;
        sheet.JumpToFinish();
    } else if (autoLaunch == 1) {
        if (sheet.RunLaunch() == CAutolaunchSequence::kEndWizard) sheet.EndDialog(0);
    } else if (!blocked) {
        sheet.JumpToFinish();
    }
}

// ---- finish ----

namespace {
HFONT WindowFont(HWND window) { return reinterpret_cast<HFONT>(::SendMessageW(window, WM_GETFONT, 0, 0)); }
}  // namespace

void CFinishPage::SetResultTexts() {
    HWND page = Handle();
    FinishTextInputs inputs;
    inputs.FinishStatus = theInitializer.GetFinishStatus();
    inputs.DisplayName = WizardHost().DisplayName();
    inputs.PartFileName = theInitializer.FailedPartFile;
    inputs.LaunchAtFinish = TavoSheet().LaunchAtFinishFlag;
    inputs.ExtractOnly = theInitializer.GetExtractOnly();
    inputs.AutoLaunch = theInitializer.IsAutoLaunchEnabled();
    const FinishText result = FinishResultText(inputs);
    failed_ = result.Failed ? 1 : 0;
    HWND text = ::GetDlgItem(page, kFinishText);
    switch (result.Fit) {
    case FinishTextFit::Placeholder:
        zel::SetFittedControlText(text, result.Text, zel::FitOptions::Unpadded(), WindowFont(page));
        break;
    case FinishTextFit::FinishPage:
        zel::SetFittedControlText(text, result.Text, zel::FitOptions::FinishPage());
        break;
    case FinishTextFit::AsIs:
        ::SetWindowTextW(text, result.Text.c_str());
        break;
    }
    if (inputs.FinishStatus == 0 || inputs.FinishStatus == -6) {
        const std::wstring message = WizardHost().FinishMessage();
        if (!message.empty())
            zel::SetFittedControlText(::GetDlgItem(page, kFinishMessage), message, zel::FitOptions::FinishPage());
    }
}

void CFinishPage::OfferOpenLocation() {
    OpenLocationInputs inputs;
    inputs.OpenExtractionLocation = RuntimeSetting(L"OpenExtractionLocation");
    inputs.Failed = failed_ != 0;
    inputs.LaunchFile = RuntimeSetting(RuntimeSetting(L"Multilaunch") == L"1" ? L"AutoLaunch1" : L"AutoLaunch");
    inputs.UserIsAdmin = theUtil.IsUserAdmin() != 0;
    inputs.ExtractOnly = theInitializer.GetExtractOnly();
    inputs.LaunchAtFinish = TavoSheet().LaunchAtFinishFlag;
    inputs.WaitForAutolaunch = theInitializer.WaitForAutolaunchFinish;
    if (!ShowOpenLocationBox(inputs)) return;
    ::SetDlgItemTextW(Handle(), kOpenLocationBox, GetLangString(609).c_str());
    ::CheckDlgButton(Handle(), kOpenLocationBox, BST_UNCHECKED);
    ::ShowWindow(::GetDlgItem(Handle(), kOpenLocationBox), SW_SHOW);
}

BOOL CFinishPage::OnInitDialog() {
    if (!SheetReady()) return TRUE;
    CTavoSheet& sheet = TavoSheet();
    sheet.SetCloseEnabled(5);
    CreateFonts();
    SetHeadingFont(kFinishText);
    SetBodyFont(kFinishMessage);
    SetBodyFont(kOpenLocationBox);
    SetResultTexts();
    if (theInitializer.GetFinishStatus() != 0) {
        failedPicture_.reset(::LoadBitmapW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(kFailedBitmap)));
        ::SendDlgItemMessageW(Handle(), kFinishPicture, STM_SETIMAGE, IMAGE_BITMAP,
                              reinterpret_cast<LPARAM>(failedPicture_.get()));
    }
    OfferOpenLocation();
    sheet.ShowButtons(L"FINISH", 1);
    sheet.ShowButtons(L"BACK,NEXT,CANCEL", 0);
    sheet.EnableButtons(L"FINISH", 1);
    sheet.SetButtonCaptions(L"FINISH");
    sheet.SetDefaultButton(IDC_FINISH_BUTTON);
    sheet.FocusFinishButton();
    return TRUE;
}

BOOL CFinishPage::OnSetActive() {
    if (SheetReady()) {
        TavoSheet().FocusFinishButton();
        TavoSheet().SetDefaultButton(IDC_FINISH_BUTTON);
    }
    return TRUE;
}

void CFinishPage::OpenExtractionFolder() {
    const wchar_t* source = L"CFinishPage::OnWizardNext";
    const std::wstring path = theInitializer.GetExtractionPath();
    const DWORD attributes = ::GetFileAttributesW(path.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        if (CUtilPaths::CanWriteInFolder(path, L"")) {
            std::wstring error;
            theUtil.LaunchApplication(path, L"", error, 0);
            return;
        }
        TavoSheet().ShowWindow(false);
        zel::AppMessageBox(ReplaceTokens(GetLangString(414), {{L"[INVALIDPATH]", path}}), MB_OK | MB_ICONERROR);
        theLog.LogMessage(0, source, L"Please check the permission of the path: %s", path.c_str());
        return;
    }
    TavoSheet().ShowWindow(false);
    zel::AppMessageBox(ReplaceTokens(GetLangString(107), {{L"[PATH]", path}}), MB_OK | MB_ICONERROR);
    theLog.LogMessage(0, source, L"Extration path does not exist : %s", path.c_str());
}

BOOL CFinishPage::OnWizardFinish() {
    CTavoSheet& sheet = TavoSheet();
    if (::IsWindowVisible(::GetDlgItem(Handle(), kOpenLocationBox)) &&
        ::IsDlgButtonChecked(Handle(), kOpenLocationBox) == BST_CHECKED) {
        OpenExtractionFolder();
    } else if (theInitializer.GetExtractOnly() == 0 && sheet.LaunchAtFinishFlag == 0 && !sheet.CancelConfirmed()) {
        if (sheet.RunLaunch() == CAutolaunchSequence::kEndWizard) sheet.EndDialog(0);
    }
    return TRUE;
}
