// A modal dialog from a template resource. The object pointer lives in the
// window's user data from WM_INITDIALOG on; nothing unwinds through the
// dialog procedure.
#pragma once

#include <windows.h>

namespace zel {

class CDialogBase {
public:
    CDialogBase(UINT templateId, HWND parent) : templateId_(templateId), parent_(parent) {}
    virtual ~CDialogBase() = default;
    CDialogBase(const CDialogBase&) = delete;
    CDialogBase& operator=(const CDialogBase&) = delete;

    // Runs the dialog; returns the value given to EndDialog, -1 on failure.
    INT_PTR DoModal();

    HWND Handle() const { return hwnd_; }
    void EndDialog(INT_PTR result);

protected:
    virtual BOOL OnInitDialog() { return TRUE; }
    virtual void OnOK() { EndDialog(IDOK); }
    virtual void OnCancel() { EndDialog(IDCANCEL); }
    // Returns TRUE when the command was handled.
    virtual BOOL OnCommand(WPARAM wParam, LPARAM lParam);
    // Any other message; return TRUE and set result when handled.
    virtual BOOL OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result);

private:
    static INT_PTR CALLBACK DialogProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    INT_PTR HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);

    UINT templateId_;
    HWND parent_;
    HWND hwnd_ = nullptr;
};

}  // namespace zel
