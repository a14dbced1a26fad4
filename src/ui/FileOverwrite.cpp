#include "ui/FileOverwrite.h"

#include "ui/RunHost.h"
#include "core/Messages.h"
#include "logging/LogFile.h"
#include "payload/Initializer.h"
#include "payload/LanguageTexts.h"
#include "ui/ControlText.h"

#include <algorithm>

namespace {
constexpr int kIconId = 912;
constexpr wchar_t kLogSource[] = L"Overwrite dialog";

// The dialog whose keys the message filter looks at (the GUI thread's).
CFileOverwrite* g_active = nullptr;
}  // namespace

const std::array<OverwriteChoice, 5> kOverwriteChoices = {{
    {1024, 702, 1000, L"User Clicked on 'Yes' button"},
    {1027, 703, 1001, L"User Clicked on 'Yes To All' button"},
    {1028, 704, 1002, L"User Clicked on 'No' button"},
    {1029, 705, 1003, L"User Clicked on 'No To All' button"},
    {IDCANCEL, 112, 1004, L"User Clicked on 'Cancel' button"},
}};

std::array<RECT, 5> OverwriteButtonRects(int a, int b) {
    const int m = (b - 5 * 95 - 8) / 2;
    return {{
        {m, a + 3, m + 95, a + 33},
        {m + 97, a + 3, m + 190, a + 33},
        {m + 192, a + 3, m + 285, a + 33},
        {m + 287, a + 3, m + 380, a + 33},
        {m + 382, a + 3, m + 475, a + 33},
    }};
}

int NextOverwriteButton(int from, UINT key, bool shift) {
    constexpr int n = static_cast<int>(kOverwriteChoices.size());
    int step = 0;
    switch (key) {
    case VK_TAB:
        step = shift ? -1 : 1;
        break;
    case VK_RIGHT:
    case VK_DOWN:
        step = 1;
        break;
    case VK_LEFT:
    case VK_UP:
        step = -1;
        break;
    default:
        return -1;
    }
    return ((from + step) % n + n) % n;
}

CFileOverwrite::CFileOverwrite(std::wstring fileName, HWND owner)
    : CDialogBase(IDD_FILE_OVERWRITE, owner), fileName_(std::move(fileName)) {}

CFileOverwrite::~CFileOverwrite() {
    if (g_active == this) g_active = outer_;
}

BOOL CFileOverwrite::OnInitDialog() {
    HWND hwnd = Handle();
    HICON icon = ::LoadIconW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(kIconId));
    ::SendMessageW(hwnd, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon));
    ::SendMessageW(hwnd, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(icon));
    ::SetWindowLongPtrW(hwnd, GWL_STYLE, ::GetWindowLongPtrW(hwnd, GWL_STYLE) | WS_SYSMENU);

    const LogFontSpec& body = RunHost().DialogBodyFont();
    bodyFont_.reset(::CreateFontW(body.Height, 0, 0, 0, body.Weight, FALSE, FALSE, FALSE, DEFAULT_CHARSET, 0, 0, 0, 0,
                                  body.Face.c_str()));
    for (int id : {IDC_OVERWRITE_EXISTS, IDC_OVERWRITE_FILE, IDC_OVERWRITE_QUESTION})
        ::SendDlgItemMessageW(hwnd, id, WM_SETFONT, reinterpret_cast<WPARAM>(bodyFont_.get()), FALSE);

    outer_ = g_active;
    g_active = this;
    keyFilter_.reset(::SetWindowsHookExW(WH_MSGFILTER, &CFileOverwrite::KeyFilter, nullptr, ::GetCurrentThreadId()));

    CreateButtons();
    SetTexts();
    CentreOverOwner();
    MoveFocusTo(0);
    return FALSE;  // the focus is set
}

// The template puts the dialog at the screen's corner, away from the wizard
// whose extraction it interrupts.
void CFileOverwrite::CentreOverOwner() {
    HWND hwnd = Handle();
    HWND owner = ::GetWindow(hwnd, GW_OWNER);
    RECT area{};
    if (owner == nullptr || !::IsWindowVisible(owner) || !::GetWindowRect(owner, &area))
        ::SystemParametersInfoW(SPI_GETWORKAREA, 0, &area, 0);
    RECT own{};
    ::GetWindowRect(hwnd, &own);
    const int width = own.right - own.left;
    const int height = own.bottom - own.top;
    const int x = std::max<LONG>(0, area.left + (area.right - area.left - width) / 2);
    const int y = std::max<LONG>(0, area.top + (area.bottom - area.top - height) / 2);
    ::SetWindowPos(hwnd, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void CFileOverwrite::CreateButtons() {
    HWND hwnd = Handle();
    RECT question{};
    ::GetWindowRect(::GetDlgItem(hwnd, IDC_OVERWRITE_QUESTION), &question);
    ::MapWindowPoints(nullptr, hwnd, reinterpret_cast<POINT*>(&question), 2);
    RECT outer{};
    ::GetWindowRect(hwnd, &outer);
    POINT right{outer.right, outer.top};
    ::ScreenToClient(hwnd, &right);

    const std::array<RECT, 5> rects = OverwriteButtonRects(question.bottom, right.x);
    for (size_t i = 0; i < kOverwriteChoices.size(); ++i) {
        const OverwriteChoice& choice = kOverwriteChoices[i];
        auto button = std::make_unique<CTavoButton>(GetLangString(choice.CaptionString), hwnd);
        button->SetBackgroundColour(background_.Colour());
        if (!button->Create(hwnd, choice.ControlId, rects[i])) continue;
        ::ShowWindow(button->Handle(), SW_SHOW);
        button->SetEnabledLook(1);
        ::EnableWindow(button->Handle(), TRUE);
        button->SetNormalLook(0);
        ::SendMessageW(button->Handle(), WM_MOUSEMOVE, 0, 0);
        buttons_[i] = std::move(button);
    }
}

void CFileOverwrite::SetTexts() {
    HWND hwnd = Handle();
    for (size_t i = 0; i < buttons_.size(); ++i)
        if (buttons_[i]) ::SetWindowTextW(buttons_[i]->Handle(), buttons_[i]->Caption().c_str());

    const zel::FitOptions end = zel::FitOptions::Unpadded(zel::EllipsisForm::End);
    zel::SetFittedControlText(::GetDlgItem(hwnd, IDC_OVERWRITE_EXISTS), GetLangString(700), end);
    zel::SetFittedControlText(::GetDlgItem(hwnd, IDC_OVERWRITE_QUESTION), GetLangString(701), end);
    zel::SetFittedControlText(::GetDlgItem(hwnd, IDC_OVERWRITE_FILE), fileName_,
                              zel::FitOptions::Unpadded(zel::EllipsisForm::Leading));
    ::SetWindowTextW(hwnd, theInitializer.GetDisplayName().c_str());
}

void CFileOverwrite::MoveFocusTo(int index) {
    if (moving_ || index < 0 || index >= static_cast<int>(buttons_.size()) || !buttons_[index]) return;
    moving_ = true;
    for (size_t i = 0; i < buttons_.size(); ++i) {
        if (!buttons_[i] || static_cast<int>(i) == index) continue;
        buttons_[i]->SetFocusedFlag(0);
        buttons_[i]->SetNormalLook(0);
    }
    CTavoButton& target = *buttons_[index];
    target.SetFocusedFlag(1);
    target.SetFocusedLook();
    ::SendMessageW(Handle(), WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(target.Handle()), TRUE);
    ::SendMessageW(Handle(), DM_SETDEFID, kOverwriteChoices[index].ControlId, 0);
    focused_ = index;
    moving_ = false;
}

bool CFileOverwrite::Choose(int controlId) {
    for (const OverwriteChoice& choice : kOverwriteChoices) {
        if (choice.ControlId != controlId) continue;
        // The first answer ends the dialog; a second press on the way out is none.
        if (answer_ == 2) {
            answer_ = choice.Answer;
            theLog.LogText(8, kLogSource, choice.LogText);
            EndDialog(controlId == IDCANCEL ? IDCANCEL : IDOK);
        }
        return true;
    }
    return false;
}

// The Cancel button, the close box and Alt+F4 all arrive here.
void CFileOverwrite::OnCancel() { Choose(IDCANCEL); }

BOOL CFileOverwrite::OnCommand(WPARAM wParam, LPARAM lParam) {
    const int id = LOWORD(wParam);
    if (id != IDCANCEL && id != IDOK && Choose(id)) return TRUE;
    return CDialogBase::OnCommand(wParam, lParam);
}

BOOL CFileOverwrite::OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
    switch (message) {
    case WM_ZEL_BUTTON_CLICKED:
        result = Choose(static_cast<int>(wParam)) ? 1 : 0;
        return TRUE;
    case WM_DRAWITEM:
        result = CTavoButton::ReflectDrawItem(reinterpret_cast<const DRAWITEMSTRUCT*>(lParam)) ? TRUE : FALSE;
        return static_cast<BOOL>(result);
    case WM_ERASEBKGND:
        background_.Fill(Handle(), reinterpret_cast<HDC>(wParam));
        result = 1;
        return TRUE;
    case WM_CTLCOLORSTATIC:
        ::SetBkMode(reinterpret_cast<HDC>(wParam), TRANSPARENT);
        result = reinterpret_cast<LRESULT>(::GetStockObject(NULL_BRUSH));
        return TRUE;
    case WM_HELP:
        result = 1;  // no help here
        return TRUE;
    case WM_DESTROY:
        keyFilter_.reset();
        if (g_active == this) g_active = outer_;
        return FALSE;
    default:
        return FALSE;
    }
}

bool CFileOverwrite::FilterKey(const MSG& msg) {
    HWND hwnd = Handle();
    if (hwnd == nullptr || (msg.hwnd != hwnd && !::IsChild(hwnd, msg.hwnd))) return false;
    if (msg.message != WM_KEYDOWN) return false;
    if (msg.wParam == VK_ESCAPE) return true;  // Escape answers nothing
    HWND focus = ::GetFocus();
    int from = -1;
    for (size_t i = 0; i < buttons_.size(); ++i)
        if (buttons_[i] && buttons_[i]->Handle() == focus) from = static_cast<int>(i);
    if (from < 0) return false;
    const int next = NextOverwriteButton(from, static_cast<UINT>(msg.wParam), (::GetKeyState(VK_SHIFT) & 0x8000) != 0);
    if (next < 0) return false;  // Enter goes on to press the default button
    MoveFocusTo(next);
    return true;
}

LRESULT CALLBACK CFileOverwrite::KeyFilter(int code, WPARAM wParam, LPARAM lParam) {
    if (code == MSGF_DIALOGBOX && g_active != nullptr && g_active->FilterKey(*reinterpret_cast<const MSG*>(lParam)))
        return 1;
    return ::CallNextHookEx(nullptr, code, wParam, lParam);
}
