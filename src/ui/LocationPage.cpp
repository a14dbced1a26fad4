// The extraction location page.
#include "ui/WizardPages.h"

#include "checks/ExtractorValidator.h"
#include "core/Messages.h"
#include "logging/LogFile.h"
#include "payload/ExtractionDriver.h"
#include "payload/Initializer.h"
#include "payload/LanguageTexts.h"
#include "platform/SystemLibrary.h"
#include "platform/UtilPaths.h"
#include "ui/ControlText.h"
#include "ui/TavoButton.h"
#include "ui/TavoSheet.h"
#include "ui/WizardHost.h"

#include <shlobj.h>

#include <cstdint>

namespace {
constexpr int kHeading = 1003;
constexpr int kLaunchNote = 1044;
constexpr int kFolderLabel = 1004;
constexpr int kPathEdit = 1000;
constexpr int kOverwriteBox = 1023;
constexpr int kExtractOnlyBox = 1043;
constexpr int kBrowseId = 1001;
constexpr int kBrowseWidth = 120;
constexpr int kBrowseHeight = 30;
constexpr COLORREF kBrowseBackground = RGB(240, 240, 240);
constexpr UINT kPickerFlags = BIF_RETURNONLYFSDIRS | BIF_VALIDATE;  // 33

std::wstring EditText(HWND page) {
    wchar_t text[1024] = {};
    ::GetDlgItemTextW(page, kPathEdit, text, 1024);
    return text;
}

bool IsChecked(HWND page, int id) { return ::IsDlgButtonChecked(page, id) == BST_CHECKED; }

void SetIfNotEmpty(HWND window, const std::wstring& text) {
    if (window != nullptr && !text.empty()) ::SetWindowTextW(window, text.c_str());
}

int CALLBACK PickerCallback(HWND picker, UINT message, LPARAM, LPARAM) {
    if (message == BFFM_INITIALIZED) {
        SetIfNotEmpty(picker, GetLangString(501));
        SetIfNotEmpty(::GetDlgItem(picker, IDOK), GetLangString(405));
        SetIfNotEmpty(::GetDlgItem(picker, IDCANCEL), GetLangString(406));
    }
    return 0;
}
}  // namespace

CDirChangePage::CDirChangePage() : CTavoPage(IDD_DIRCHANGE_PAGE, WizardPage::DirChange, true, true) {}

CDirChangePage::~CDirChangePage() = default;

void CDirChangePage::SetTexts() {
    HWND page = Handle();
    // Widths are measured with the page's font, whatever the control shows.
    const HFONT pageFont = reinterpret_cast<HFONT>(::SendMessageW(page, WM_GETFONT, 0, 0));
    const zel::FitOptions fit = zel::FitOptions::Unpadded();
    auto fitted = [&](int id, const std::wstring& text) {
        zel::SetFittedControlText(::GetDlgItem(page, id), text, fit, pageFont);
    };

    // The boxes stay while the user has switched the launch off here, so
    // that the choice can be taken back after Back and Next.
    const bool launches = theInitializer.IsAutoLaunchEnabled() == 1 || IsChecked(page, kExtractOnlyBox);
    fitted(kLaunchNote, zel::FillStringTemplate(GetLangString(417), L"[PRODUCTNAME]", WizardHost().DisplayName()));
    if (launches) {
        theLog.LogUnnamed(8, L"%s", L"Autolaunch is enabled");
        ::ShowWindow(::GetDlgItem(page, kExtractOnlyBox), SW_SHOW);
        ::ShowWindow(::GetDlgItem(page, kLaunchNote), SW_SHOW);
        theInitializer.SetAutoLaunchEnabled(IsChecked(page, kExtractOnlyBox) ? 0 : 1);
    } else {
        theLog.LogUnnamed(8, L"%s", L"Autolaunch is disabled");
    }
    fitted(kHeading, GetLangString(400));
    fitted(kExtractOnlyBox, GetLangString(416));

    std::wstring& path = theInitializer.ExtractionPath;
    const std::wstring expanded = CUtilPaths::ExpandPathVariable(path);
    if (!expanded.empty()) path = expanded;
    const std::wstring shown = path;  // the edit's change notice writes the path back
    ::SetDlgItemTextW(page, kPathEdit, shown.c_str());

    if (browse_) {
        const std::wstring caption = GetLangString(403);
        browse_->SetCaption(caption);
        ::SetWindowTextW(browse_->Handle(), caption.c_str());
    }
    fitted(kFolderLabel, GetLangString(401));
    fitted(kOverwriteBox, GetLangString(402));
}

void CDirChangePage::CreateBrowseButton() {
    if (browse_) return;
    HWND page = Handle();
    RECT edit{};
    ::GetWindowRect(::GetDlgItem(page, kPathEdit), &edit);
    ::MapWindowPoints(nullptr, page, reinterpret_cast<POINT*>(&edit), 2);
    const int offset = (kBrowseHeight - (edit.bottom - edit.top)) / 2;
    const RECT rect{edit.right, edit.top - offset, edit.right + kBrowseWidth, edit.bottom + offset};

    auto button = std::make_unique<CTavoButton>(GetLangString(403), page);
    button->SetBackgroundColour(kBrowseBackground);
    if (!button->Create(page, kBrowseId, rect)) return;
    ::ShowWindow(button->Handle(), SW_SHOW);
    button->SetFocusedFlag(0);
    button->SetLeaveWhite(1);
    ::EnableWindow(button->Handle(), TRUE);
    button->SetEnabledLook(1);
    button->SetNormalLook();
    ::SendMessageW(button->Handle(), WM_MOUSEMOVE, 0, 0);
    browse_ = std::move(button);
}

BOOL CDirChangePage::OnInitDialog() {
    if (!SheetReady()) return TRUE;
    CTavoSheet& sheet = TavoSheet();
    const bool first = IsStartPage() || (sheet.RequirementsPassed && sheet.GetActiveIndex() == 1);
    sheet.SetNavigationButtons(first ? 1 : 0, 0);
    CreateFonts();
    SetHeadingFont(kHeading);
    for (int id : {kLaunchNote, kFolderLabel, kOverwriteBox, kExtractOnlyBox}) SetBodyFont(id);
    theInitializer.SetExtractOnly(0);
    CreateBrowseButton();
    SetTexts();
    sheet.FocusNextButton(1);
    sheet.SetDefaultButton(IDC_NEXT_BUTTON);
    if (first) sheet.AskPasswordIfRequired();
    return TRUE;
}

BOOL CDirChangePage::OnSetActive() {
    if (!SheetReady()) return TRUE;
    CTavoSheet& sheet = TavoSheet();
    SetTexts();
    sheet.SetButtonCaptions(L"");
    const bool first = IsStartPage() || (sheet.RequirementsPassed && sheet.GetActiveIndex() == 1);
    sheet.SetNavigationButtons(first ? 1 : 0, 0);
    sheet.FocusNextButton(1);
    sheet.SetDefaultButton(IDC_NEXT_BUTTON);
    return TRUE;
}

void CDirChangePage::OnExtractOnlyClicked() {
    if (IsChecked(Handle(), kExtractOnlyBox)) {
        theInitializer.SetExtractOnly(1);
        theInitializer.SetAutoLaunchEnabled(0);
        theLog.LogUnnamed(8, L"%s",
                          L"Extract the package and donot install option is checked.Enabling the controls for extract "
                          L"path change");
        theLog.LogUnnamed(8, L"%s", L"Autolaunch is disabled by user");
    } else {
        theInitializer.SetExtractOnly(0);
        theInitializer.SetAutoLaunchEnabled(1);
        theLog.LogUnnamed(8, L"%s",
                          L"Extract the package and donot install option is unchecked.Disabling the controls for "
                          L"extract path change");
        theLog.LogUnnamed(8, L"%s", L"Autolaunch is enabled");
    }
}

BOOL CDirChangePage::OnCommand(WPARAM wParam, LPARAM) {
    const int id = LOWORD(wParam);
    const int code = HIWORD(wParam);
    if (id == kPathEdit && code == EN_CHANGE) {
        theInitializer.ExtractionPath = EditText(Handle());
        return TRUE;
    }
    if (id == kExtractOnlyBox && code == BN_CLICKED) {
        OnExtractOnlyClicked();
        return TRUE;
    }
    if (id == kBrowseId && code == BN_CLICKED) {
        Browse();
        return TRUE;
    }
    return FALSE;
}

BOOL CDirChangePage::OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
    switch (message) {
    case WM_ZEL_BUTTON_CLICKED:
        // Only the Browse button reports its releases to this page.
        Browse();
        result = 1;
        return TRUE;
    case WM_DRAWITEM:
        if (!CTavoButton::ReflectDrawItem(reinterpret_cast<const DRAWITEMSTRUCT*>(lParam))) return FALSE;
        result = TRUE;
        return TRUE;
    default:
        return CTavoPage::OnMessage(message, wParam, lParam, result);
    }
}

void CDirChangePage::Browse() {
    const std::wstring title = GetLangString(502);
    BROWSEINFOW info{};
    info.hwndOwner = Handle();
    info.lpszTitle = title.c_str();
    info.ulFlags = kPickerFlags;
    info.lpfn = &PickerCallback;
    const zel::ShellLibrary& shell = zel::ShellDll();
    const zel::OleLibrary& ole = zel::OleDll();
    if (shell.browseForFolder == nullptr || shell.pathFromIdList == nullptr || ole.coTaskMemFree == nullptr) return;
    zel::ComScope com;
    if (LPITEMIDLIST chosen = shell.browseForFolder(&info)) {
        wchar_t path[MAX_PATH] = {};
        // A choice without a file-system path (a virtual folder) is ignored.
        if (shell.pathFromIdList(chosen, path) && path[0] != L'\0') ::SetDlgItemTextW(Handle(), kPathEdit, path);
        ole.coTaskMemFree(chosen);
    }
}

void CDirChangePage::FocusBrowseButton() {
    if (!browse_) return;
    // One button shows the focus: Next gives up its look.
    TavoSheet().EnableButtons(L"NEXT", 1);
    browse_->SetFocusedFlag(1);
    browse_->SetFocusedLook();
    ::SetFocus(browse_->Handle());
    TavoSheet().SetDefaultButton(kBrowseId);
}

BOOL CDirChangePage::PreTranslateMessage(MSG* msg) {
    if (!browse_ || msg->message != WM_KEYDOWN || (msg->wParam != VK_TAB && msg->wParam != VK_RETURN)) return FALSE;
    browse_->SetFocusedFlag(0);
    browse_->SetNormalLook(CTavoButton::kWhite);
    TavoSheet().SetDefaultButton(IDC_NEXT_BUTTON);
    if (::GetFocus() == browse_->Handle()) FocusBrowseButton();
    return FALSE;  // the sheet's filter moves on from here
}

LRESULT CDirChangePage::OnWizardNext() {
    const wchar_t* source = L"DirChangePage::OnWizardNext";
    std::wstring path = EditText(Handle());
    const bool overwrite = IsChecked(Handle(), kOverwriteBox);
    theInitializer.OverwriteWithoutPrompting = overwrite ? 1 : 0;
    theLog.LogMessage(8, source, L"%s",
                      overwrite ? L"Overwrite check box is checked" : L"Overwrite check box is unchecked");
    const std::uint64_t required = CabSize(path, theInitializer.WorkingFolder, theInitializer.MultiPartDownload,
                                           theInitializer.SettingsFilePath);
    const std::wstring expanded = CUtilPaths::ExpandPathVariable(path);
    if (!expanded.empty()) path = expanded;
    if (theValidator.ValidatePathAndSpaceAvailable(path, 1, required) != 0) return -1;
    theInitializer.SetExtractionPath(path);
    if (browse_) {
        ::ShowWindow(browse_->Handle(), SW_HIDE);
        ::EnableWindow(browse_->Handle(), FALSE);
    }
    return 0;
}
