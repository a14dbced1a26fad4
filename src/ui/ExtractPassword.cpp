#include "ui/ExtractPassword.h"

#include "framework/WinApp.h"
#include "logging/LogFile.h"
#include "payload/Initializer.h"
#include "payload/LanguageTexts.h"
#include "ui/FitText.h"

namespace {
constexpr int kIconId = 912;
constexpr wchar_t kLogSource[] = L"OnBnClickedOk";

void ShowErrorBox(HWND, const std::wstring& text) { zel::AppMessageBox(text, MB_OK | MB_ICONERROR); }

// Over the middle of the wizard, where the user is looking; kept on the
// work area so that the edit can always be reached.
void CentreOnOwner(HWND dialog) {
    HWND owner = ::GetWindow(dialog, GW_OWNER);
    RECT area = {};
    ::SystemParametersInfoW(SPI_GETWORKAREA, 0, &area, 0);
    RECT around = area;
    if (owner != nullptr && ::IsWindowVisible(owner) && !::IsIconic(owner)) ::GetWindowRect(owner, &around);
    RECT own = {};
    ::GetWindowRect(dialog, &own);
    const int width = own.right - own.left;
    const int height = own.bottom - own.top;
    int x = around.left + (around.right - around.left - width) / 2;
    int y = around.top + (around.bottom - around.top - height) / 2;
    if (x + width > area.right) x = area.right - width;
    if (y + height > area.bottom) y = area.bottom - height;
    if (x < area.left) x = area.left;
    if (y < area.top) y = area.top;
    ::SetWindowPos(dialog, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

std::wstring EditText(HWND edit) {
    std::wstring text(static_cast<size_t>(::GetWindowTextLengthW(edit)) + 1, L'\0');
    text.resize(static_cast<size_t>(::GetWindowTextW(edit, text.data(), static_cast<int>(text.size()))));
    return text;
}
}  // namespace

CExtractPassword::CExtractPassword(std::wstring storedPassword, CancelQuestion askCancel, HWND owner,
                                   ErrorBox showError)
    : CDialogBase(IDD_EXTRACT_PASSWORD, owner),
      storedPassword_(std::move(storedPassword)),
      askCancel_(std::move(askCancel)),
      showError_(showError ? std::move(showError) : ErrorBox(&ShowErrorBox)) {}

BOOL CExtractPassword::OnInitDialog() {
    HWND hwnd = Handle();
    HICON icon = ::LoadIconW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(kIconId));
    ::SendMessageW(hwnd, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon));
    ::SendMessageW(hwnd, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(icon));
    ::SetWindowTextW(hwnd, theInitializer.GetDisplayName().c_str());
    ::SetDlgItemTextW(hwnd, IDC_PASSWORD_LABEL, GetLangString(419).c_str());
    ::SetDlgItemTextW(hwnd, IDOK, GetLangString(405).c_str());
    ::SetDlgItemTextW(hwnd, IDCANCEL, GetLangString(406).c_str());
    HWND edit = ::GetDlgItem(hwnd, IDC_PASSWORD_EDIT);
    ::SendMessageW(edit, EM_LIMITTEXT, kPasswordMaxLength, 0);
    ::EnableWindow(::GetDlgItem(hwnd, IDOK), FALSE);
    CentreOnOwner(hwnd);
    ::SetFocus(edit);
    return FALSE;  // the focus is set
}

BOOL CExtractPassword::OnCommand(WPARAM wParam, LPARAM lParam) {
    if (LOWORD(wParam) == IDC_PASSWORD_EDIT && HIWORD(wParam) == EN_CHANGE) {
        HWND edit = reinterpret_cast<HWND>(lParam);
        ::EnableWindow(::GetDlgItem(Handle(), IDOK), ::GetWindowTextLengthW(edit) > 0);
        return TRUE;
    }
    return CDialogBase::OnCommand(wParam, lParam);
}

void CExtractPassword::OnOK() {
    HWND hwnd = Handle();
    HWND edit = ::GetDlgItem(hwnd, IDC_PASSWORD_EDIT);
    // Enter reaches here even while OK is disabled.
    if (!::IsWindowEnabled(::GetDlgItem(hwnd, IDOK))) return;
    if (EditText(edit) == storedPassword_) {
        theLog.LogMessage(8, kLogSource, L"Password provided by user is correct");
        EndDialog(IDOK);
        return;
    }
    showError_(hwnd, zel::FillStringTemplate(GetLangString(420), L"", L""));
    ::SetWindowTextW(edit, L"");
    theLog.LogMessage(0, kLogSource, L"Password provided by user is invalid");
    ::SetFocus(edit);
}

void CExtractPassword::OnCancel() {
    if (askCancel_ && askCancel_() != 0) return;
    EndDialog(IDCANCEL);
}

BOOL CExtractPassword::OnMessage(UINT message, WPARAM wParam, LPARAM, LRESULT& result) {
    switch (message) {
    case WM_ERASEBKGND:
        background_.Fill(Handle(), reinterpret_cast<HDC>(wParam));
        result = 1;
        return TRUE;
    case WM_CTLCOLORDLG:
    case WM_CTLCOLORSTATIC:
        ::SetBkColor(reinterpret_cast<HDC>(wParam), background_.Colour());
        result = reinterpret_cast<LRESULT>(background_.Brush());
        return TRUE;
    default:
        return FALSE;
    }
}
