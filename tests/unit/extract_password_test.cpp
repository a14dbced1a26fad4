#include "ui/ExtractPassword.h"

#include "log_capture.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

namespace {
// Runs the password dialog; each timer tick runs the next action on it.
struct PasswordRun {
    static inline CExtractPassword* box = nullptr;
    static inline std::vector<std::function<void(HWND)>> actions;
    static inline size_t next = 0;
    static inline int idle = 0;

    static void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD) {
        HWND dialog = box != nullptr ? box->Handle() : nullptr;
        if (dialog == nullptr) return;
        if (next < actions.size()) {
            actions[next++](dialog);
        } else if (++idle > 20) {
            ADD_FAILURE() << "the dialog stayed open";
            ::EndDialog(dialog, 99);
        }
    }

    static INT_PTR Run(CExtractPassword& dialog, std::vector<std::function<void(HWND)>> script) {
        box = &dialog;
        actions = std::move(script);
        next = 0;
        idle = 0;
        UINT_PTR tick = ::SetTimer(nullptr, 0, 40, &Tick);
        INT_PTR result = dialog.DoModal();
        ::KillTimer(nullptr, tick);
        box = nullptr;
        return result;
    }
};

HWND Edit(HWND dialog) { return ::GetDlgItem(dialog, IDC_PASSWORD_EDIT); }
bool OkEnabled(HWND dialog) { return ::IsWindowEnabled(::GetDlgItem(dialog, IDOK)) != FALSE; }
void Type(HWND dialog, const std::wstring& text) { ::SetWindowTextW(Edit(dialog), text.c_str()); }
void PressOk(HWND dialog) { ::SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0); }
std::wstring EditText(HWND dialog) {
    wchar_t text[128] = {};
    ::GetWindowTextW(Edit(dialog), text, 128);
    return text;
}

TEST(ExtractPassword, OkIsEnabledOnlyWithTextAndTheEditHoldsAtMost50Characters) {
    CExtractPassword box(L"secret", [] { return 0; });
    std::vector<std::wstring> failures;
    const INT_PTR result = PasswordRun::Run(
        box, {
                 [&](HWND d) {
                     if (OkEnabled(d)) failures.push_back(L"OK enabled at the start");
                     if (::GetFocus() != Edit(d)) failures.push_back(L"the edit has no focus");
                     // Enter with an empty edit does nothing.
                     PressOk(d);
                 },
                 [&](HWND d) {
                     Type(d, L"s");
                     if (!OkEnabled(d)) failures.push_back(L"OK disabled with text");
                     Type(d, L"");
                     if (OkEnabled(d)) failures.push_back(L"OK enabled when emptied");
                     for (int i = 0; i < 60; ++i) ::SendMessageW(Edit(d), WM_CHAR, L'a' + i % 26, 1);
                     if (EditText(d).size() != 50) failures.push_back(L"typed more than 50 characters");
                 },
                 [&](HWND d) {
                     Type(d, L"secret");
                     PressOk(d);
                 },
             });
    EXPECT_EQ(result, IDOK);
    for (const std::wstring& failure : failures) ADD_FAILURE() << std::string(failure.begin(), failure.end());
}

TEST(ExtractPassword, AWrongPasswordShowsTheErrorAndEmptiesTheEdit) {
    zel_test::LogCapture log;
    std::vector<std::wstring> errors;
    std::vector<std::wstring> editAfter;
    CExtractPassword box(L"Secret", [] { return 0; }, nullptr,
                         [&](HWND, const std::wstring& text) { errors.push_back(text); });
    const INT_PTR result = PasswordRun::Run(box, {
                                                     [](HWND d) { Type(d, L"secret"); },  // case differs
                                                     [](HWND d) { PressOk(d); },
                                                     [&](HWND d) { editAfter.push_back(EditText(d)); },
                                                     [](HWND d) { Type(d, L"Secret"); },
                                                     [](HWND d) { PressOk(d); },
                                                 });
    EXPECT_EQ(result, IDOK);
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_EQ(errors[0], L"Invalid password.\nEnter the correct password.");
    EXPECT_EQ(editAfter, std::vector<std::wstring>{L""});
    zel_test::ExpectInOrder(log.Text(), {"OnBnClickedOk", "Password provided by user is invalid", "OnBnClickedOk",
                                         "Password provided by user is correct"});
}

TEST(ExtractPassword, CancelClosesOnlyWhenTheWizardsQuestionIsConfirmed) {
    std::vector<int> answers = {-1, 0};  // first No, then Yes
    int asked = 0;
    CExtractPassword box(L"secret", [&] { return answers[asked++]; });
    const INT_PTR result = PasswordRun::Run(box, {
                                                     [](HWND d) { ::PostMessageW(d, WM_COMMAND, IDCANCEL, 0); },
                                                     [&](HWND) { EXPECT_EQ(asked, 1); },
                                                     [](HWND d) { ::PostMessageW(d, WM_SYSCOMMAND, SC_CLOSE, 0); },
                                                 });
    EXPECT_EQ(result, IDCANCEL);
    EXPECT_EQ(asked, 2);
}

TEST(ExtractPassword, OpensCentredOnItsOwner) {
    // An owner away from the middle of the screen, so that centring on the
    // screen would not pass for centring on the owner.
    HWND owner = ::CreateWindowExW(0, L"STATIC", L"owner", WS_POPUP | WS_VISIBLE, 40, 30, 500, 400, nullptr, nullptr,
                                   ::GetModuleHandleW(nullptr), nullptr);
    ASSERT_NE(owner, nullptr);
    RECT dialogRect = {};
    CExtractPassword box(L"secret", [] { return 0; }, owner);
    PasswordRun::Run(box, {
                              [&](HWND d) { ::GetWindowRect(d, &dialogRect); },
                              [](HWND d) { ::EndDialog(d, IDCANCEL); },
                          });
    ::DestroyWindow(owner);
    const int centreX = (dialogRect.left + dialogRect.right) / 2;
    const int centreY = (dialogRect.top + dialogRect.bottom) / 2;
    EXPECT_NEAR(centreX, 40 + 250, 2);
    EXPECT_NEAR(centreY, 30 + 200, 2);
}
}  // namespace

namespace {
void CALLBACK ClosePasswordBox(HWND, UINT, UINT_PTR, DWORD) {
    if (HWND box = ::GetActiveWindow()) ::EndDialog(box, IDCANCEL);
}

// Shows the dialog for a screenshot for 20 s: unit_tests.exe --show-password-dialog
const bool kShowModeRegistered = [] {
    zel_test::RegisterChildMode(L"--show-password-dialog", [](int, wchar_t**) {
        CExtractPassword dialog(L"secret", [] { return 0; });
        UINT_PTR timer = ::SetTimer(nullptr, 0, 20000, &ClosePasswordBox);
        const INT_PTR result = dialog.DoModal();
        ::KillTimer(nullptr, timer);
        return static_cast<int>(result);
    });
    return true;
}();
}  // namespace
