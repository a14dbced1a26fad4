#include "framework/Dialog.h"

#include "framework/WinApp.h"

namespace zel {

INT_PTR CDialogBase::DoModal() {
    CWinAppBase* app = GetApp();
    // Before the application runs (in tests) it has no instance yet; the
    // controls of the template load their pictures from this one.
    HINSTANCE instance = app != nullptr && app->Instance() != nullptr ? app->Instance() : ::GetModuleHandleW(nullptr);
    return ::DialogBoxParamW(instance, MAKEINTRESOURCEW(templateId_), parent_, &CDialogBase::DialogProc,
                             reinterpret_cast<LPARAM>(this));
}

void CDialogBase::EndDialog(INT_PTR result) {
    if (hwnd_ != nullptr) ::EndDialog(hwnd_, result);
}

BOOL CDialogBase::OnCommand(WPARAM wParam, LPARAM /*lParam*/) {
    switch (LOWORD(wParam)) {
    case IDOK:
        OnOK();
        return TRUE;
    case IDCANCEL:
        OnCancel();
        return TRUE;
    default:
        return FALSE;
    }
}

BOOL CDialogBase::OnMessage(UINT, WPARAM, LPARAM, LRESULT&) { return FALSE; }

INT_PTR CDialogBase::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_INITDIALOG:
        return OnInitDialog();
    case WM_COMMAND:
        return OnCommand(wParam, lParam);
    default: {
        LRESULT result = 0;
        if (!OnMessage(message, wParam, lParam, result)) return FALSE;
        // These take the dialog procedure's return value itself (a brush, an
        // index) as their result.
        if ((message >= WM_CTLCOLORMSGBOX && message <= WM_CTLCOLORSTATIC) || message == WM_COMPAREITEM ||
            message == WM_VKEYTOITEM || message == WM_CHARTOITEM || message == WM_QUERYDRAGICON)
            return static_cast<INT_PTR>(result);
        ::SetWindowLongPtrW(hwnd_, DWLP_MSGRESULT, result);
        return TRUE;
    }
    }
}

INT_PTR CALLBACK CDialogBase::DialogProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    CDialogBase* self = nullptr;
    if (message == WM_INITDIALOG) {
        self = reinterpret_cast<CDialogBase*>(lParam);
        self->hwnd_ = hwnd;
        ::SetWindowLongPtrW(hwnd, DWLP_USER, lParam);
    } else {
        self = reinterpret_cast<CDialogBase*>(::GetWindowLongPtrW(hwnd, DWLP_USER));
    }
    if (self == nullptr) return FALSE;
    try {
        INT_PTR handled = self->HandleMessage(message, wParam, lParam);
        if (message == WM_NCDESTROY) self->hwnd_ = nullptr;
        return handled;
    } catch (...) {
        return FALSE;
    }
}

}  // namespace zel
