#include "ui/TavoButtonStandIn.h"

#include "app/Messages.h"

#include <cwchar>

namespace {
constexpr wchar_t kButtonProperty[] = L"ZelTavoButton";

bool ReportsPress(int id) {
    switch (id) {
    case 2: case 1001: case 1024: case 1027: case 1028: case 1029: case 12323: case 12324: case 12325:
        return true;
    default:
        return false;
    }
}
}  // namespace

CTavoButton::~CTavoButton() {
    if (hwnd_ != nullptr && ::IsWindow(hwnd_)) ::DestroyWindow(hwnd_);
}

bool CTavoButton::Create(HWND parent, int id, const RECT& rect, DWORD style) {
    hwnd_ = ::CreateWindowExW(0, L"BUTTON", caption_.c_str(), style | WS_CHILD | BS_PUSHBUTTON, rect.left, rect.top,
                              rect.right - rect.left, rect.bottom - rect.top, parent,
                              reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), ::GetModuleHandleW(nullptr), nullptr);
    if (hwnd_ == nullptr) return false;
    ::SendMessageW(hwnd_, WM_SETFONT, reinterpret_cast<WPARAM>(::GetStockObject(DEFAULT_GUI_FONT)), FALSE);
    ::SetPropW(hwnd_, kButtonProperty, this);
    platformProc_ = reinterpret_cast<WNDPROC>(
        ::SetWindowLongPtrW(hwnd_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&CTavoButton::Proc)));
    return true;
}

CTavoButton* CTavoButton::FromHandle(HWND hwnd) {
    return hwnd != nullptr ? static_cast<CTavoButton*>(::GetPropW(hwnd, kButtonProperty)) : nullptr;
}

void CTavoButton::SetCaption(const std::wstring& text) {
    if (::_wcsicmp(text.c_str(), caption_.c_str()) == 0) return;
    caption_ = text;
}

LRESULT CALLBACK CTavoButton::Proc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    CTavoButton* self = FromHandle(hwnd);
    if (self == nullptr) return ::DefWindowProcW(hwnd, message, wParam, lParam);
    WNDPROC platform = self->platformProc_;
    if (message == WM_LBUTTONUP) {
        ::SendMessageW(hwnd, BM_SETSTATE, FALSE, 0);
        if (::GetCapture() == hwnd) ::ReleaseCapture();
        int id = ::GetDlgCtrlID(hwnd);
        if (ReportsPress(id)) ::SendMessageW(self->owner_, WM_ZEL_BUTTON_CLICKED, static_cast<WPARAM>(id), 0);
        return 0;
    }
    if (message == WM_NCDESTROY) {
        ::RemovePropW(hwnd, kButtonProperty);
        ::SetWindowLongPtrW(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(platform));
        self->hwnd_ = nullptr;
    }
    return ::CallWindowProcW(platform, hwnd, message, wParam, lParam);
}
