#include "ui/ControlText.h"

namespace zel {

std::wstring FitControlText(HWND control, const std::wstring& text, const FitOptions& options, HFONT font) {
    if (control == nullptr || !::IsWindow(control)) return text;
    HWND parent = ::GetParent(control);
    HDC dc = ::GetDC(parent);
    if (dc == nullptr) return text;
    if (font == nullptr) font = reinterpret_cast<HFONT>(::SendMessageW(control, WM_GETFONT, 0, 0));
    HGDIOBJ old = font != nullptr ? ::SelectObject(dc, font) : nullptr;
    auto measure = [dc](const std::wstring& s) {
        SIZE size{};
        ::GetTextExtentPoint32W(dc, s.c_str(), static_cast<int>(s.size()), &size);
        return TextExtent{size.cx, size.cy};
    };
    RECT client{};
    ::GetClientRect(control, &client);
    std::wstring fitted = FitText(text, static_cast<std::uint32_t>(client.right - client.left),
                                  static_cast<std::uint32_t>(client.bottom - client.top), measure, options);
    if (old != nullptr) ::SelectObject(dc, old);
    ::ReleaseDC(parent, dc);
    return fitted;
}

void SetFittedControlText(HWND control, const std::wstring& text, const FitOptions& options, HFONT font) {
    if (control == nullptr) return;
    ::SetWindowTextW(control, FitControlText(control, text, options, font).c_str());
}

}  // namespace zel
