// The extraction password dialog of full GUI runs. It closes with OK only
// for the right password, and otherwise only when the wizard's cancel
// question was answered Yes.
#pragma once

#include "framework/Dialog.h"
#include "ui/SolidBackground.h"

#include <functional>
#include <string>

constexpr UINT IDD_EXTRACT_PASSWORD = 930;
constexpr int IDC_PASSWORD_EDIT = 1054;
constexpr int IDC_PASSWORD_LABEL = 1055;
constexpr int kPasswordMaxLength = 50;

class CExtractPassword : public zel::CDialogBase {
public:
    // Returns 0 when the user confirmed the cancel (the wizard's CancelToFinish).
    using CancelQuestion = std::function<int()>;
    // Shows the wrong-password text; by default a message box with the error icon.
    using ErrorBox = std::function<void(HWND dialog, const std::wstring& text)>;

    CExtractPassword(std::wstring storedPassword, CancelQuestion askCancel, HWND owner = nullptr,
                     ErrorBox showError = {});

protected:
    BOOL OnInitDialog() override;
    void OnOK() override;
    void OnCancel() override;
    BOOL OnCommand(WPARAM wParam, LPARAM lParam) override;
    BOOL OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

private:
    std::wstring storedPassword_;
    CancelQuestion askCancel_;
    ErrorBox showError_;
    CSolidBackground background_;
};
