// The pages from the extraction on: extraction progress, installation
// progress and finish.
#include "ui/WizardPages.h"

#include "core/RunFlags.h"
#include "framework/WinApp.h"
#include "ui/WizardHost.h"
#include "core/Messages.h"
#include "logging/WorkerLog.h"
#include "cabinet/CabDecompressor.h"
#include "framework/WinApp.h"
#include "logging/LogFile.h"
#include "payload/ExtractionDriver.h"
#include "payload/Initializer.h"
#include "payload/LanguageTexts.h"
#include "platform/SettingsFile.h"
#include "ui/ProgressSteps.h"
#include "ui/TavoSheet.h"
#include "ui/FileOverwrite.h"

#include <commctrl.h>

namespace {
constexpr int kExtractionHeading = 1052;
constexpr int kExtractionStatus = 1037;
constexpr int kExtractionBar = 1002;
constexpr int kInstallHeading = 1062;
constexpr int kInstallStatus = 1063;
constexpr int kInstallBar = 1064;

std::wstring RuntimeSetting(const wchar_t* key) {
    return CSettingsFile(theInitializer.SettingsFilePath).GetString(L"Runtime", key);
}

void StartBar(HWND page, int id) {
    ::SendDlgItemMessageW(page, id, PBM_SETRANGE, 0, MAKELPARAM(0, 100));
    ::SendDlgItemMessageW(page, id, PBM_SETPOS, 1, 0);
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
    StartBar(Handle(), kExtractionBar);
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
    case WM_ZEL_LOG_LINE:
        if (wParam != 0) WriteLogRecord(*reinterpret_cast<const LogRecord*>(wParam));
        result = 1;
        return TRUE;
    case WM_ZEL_OVERWRITE_QUESTION: {
        CFileOverwrite question(CurrentExtractFileName, Handle());
        question.DoModal();
        const int answer = question.Answer();
        // A dialog that could not ask keeps the file: nothing is lost.
        OverwriteAnswer = answer >= OverwriteYes && answer <= OverwriteCancel ? answer : OverwriteNo;
        result = 1;
        return TRUE;
    }
    case WM_ZEL_EXTRACTION_ENDED:
        // A cancel confirmed meanwhile wins over the end that was on its way.
        if (!TavoSheet().CancelConfirmed()) OnExtractionEnded();
        result = 1;
        return TRUE;
    case WM_ZEL_EXTRACTION_FAILED:
        if (!TavoSheet().CancelConfirmed()) {
            TavoSheet().NoteExtraction(false);
            TavoSheet().JumpToFinish();
        }
        result = 1;
        return TRUE;
    default:
        return CTavoPage::OnMessage(message, wParam, lParam, result);
    }
}

void CExtractorPage::OnExtractionEnded() {
    CTavoSheet& sheet = TavoSheet();
    CTavoInitalizer& init = theInitializer;
    sheet.NoteExtraction(init.GetFinishStatus() == 0);
    const int autoLaunch = init.IsAutoLaunchEnabled();

    bool blocked = false;                                                                             // 1
    if (autoLaunch == 1 && (WizardHost().OsCheckedBeforeExtraction() || !init.NoOSCheck) && WizardHost().OsCheckResult() == 302) {
        zel::AppMessageBox(init.SupportedOSMessage, MB_OK | MB_ICONERROR);
        blocked = true;
    }
    if (!blocked && RuntimeSetting(L"AutoLaunchInstallationDialog") == L"1" && init.GetExtractOnly() == 0 &&  // 2
        autoLaunch == 1 && init.WaitForAutolaunchFinish != 0) {
        sheet.SetActivePage(sheet.PageOf(WizardPage::AutoLaunch));
        return;
    }
    const std::wstring launch = RuntimeSetting(L"Autolaunch");                                        // 3
    const std::wstring multi = RuntimeSetting(L"Multilaunch");
    sheet.LaunchAtFinishFlag = 1;
    if (!launch.empty() && init.WaitForAutolaunchFinish == 0 && multi == L"1" && !blocked) {          // 4
        sheet.LaunchAtFinishFlag = 0;
        sheet.JumpToFinish();
    } else if (autoLaunch == 1) {                                                                     // 5
        if (sheet.RunLaunch() == CAutolaunchSequence::kEndWizard) sheet.EndDialog(0);
    } else if (!blocked) {                                                                            // 6, 7
        sheet.JumpToFinish();
    }
}

// ---- finish ----

void CFinishPage::SetResultTexts() {
    FinishTextInputs inputs;
    inputs.FinishStatus = theInitializer.GetFinishStatus();
    inputs.DisplayName = WizardHost().DisplayName();
    inputs.LaunchAtFinish = TavoSheet().LaunchAtFinishFlag;
    inputs.ExtractOnly = theInitializer.GetExtractOnly();
    inputs.AutoLaunch = theInitializer.IsAutoLaunchEnabled();
    FinishText result = FinishResultText(inputs);
    failed_ = result.Failed ? 1 : 0;
    ::SetDlgItemTextW(Handle(), 1033, result.Text.c_str());
    if (inputs.FinishStatus == 0 || inputs.FinishStatus == -6) {
        std::wstring message = WizardHost().FinishMessage();
        if (!message.empty()) ::SetDlgItemTextW(Handle(), 1061, message.c_str());
    }
}

BOOL CFinishPage::OnInitDialog() {
    if (!SheetReady()) return TRUE;
    CTavoSheet& sheet = TavoSheet();
    sheet.SetCloseEnabled(5);
    CreateFonts();
    SetHeadingFont(1033);
    SetBodyFont(1061);
    SetBodyFont(1014);
    SetResultTexts();
    if (theInitializer.GetFinishStatus() != 0) {
        HBITMAP failed = ::LoadBitmapW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(147));
        ::SendDlgItemMessageW(Handle(), 1051, STM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(failed));
    }
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

BOOL CFinishPage::OnWizardFinish() {
    CTavoSheet& sheet = TavoSheet();
    if (theInitializer.GetExtractOnly() == 0 && sheet.LaunchAtFinishFlag == 0 && !sheet.CancelConfirmed())
        sheet.RunLaunch();
    return TRUE;
}
