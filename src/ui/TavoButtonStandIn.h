// A plain push button with the owner-drawn button's interface, so that the
// wizard can be built and driven before the drawn button exists: a release
// of the left mouse button on it sends ButtonPressed (1147) to its owner.
#pragma once

#include <windows.h>

#include <string>

class CTavoButton {
public:
    CTavoButton(std::wstring caption, HWND owner) : caption_(std::move(caption)), owner_(owner) {}
    ~CTavoButton();
    CTavoButton(const CTavoButton&) = delete;
    CTavoButton& operator=(const CTavoButton&) = delete;

    bool Create(HWND parent, int id, const RECT& rect, DWORD style = WS_CHILD | WS_VISIBLE | WS_TABSTOP);
    HWND Handle() const { return hwnd_; }
    static CTavoButton* FromHandle(HWND hwnd);
    static bool ReflectDrawItem(const DRAWITEMSTRUCT*) { return false; }

    void SetEnabledLook(int enabled) { enabled_ = enabled; }
    int IsEnabledLook() const { return enabled_; }
    void SetNormalLook(COLORREF = 0) {}
    void SetHotLook() {}
    void SetFocusedLook() {}
    void SetFocusedFlag(int flag) { focused_ = flag; }
    int IsFocusedFlag() const { return focused_; }
    void SetBackgroundColour(COLORREF) {}
    void SetLeaveWhite(int) {}
    void SetCaption(const std::wstring& text);
    const std::wstring& Caption() const { return caption_; }

private:
    static LRESULT CALLBACK Proc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

    std::wstring caption_;
    HWND owner_;
    HWND hwnd_ = nullptr;
    WNDPROC platformProc_ = nullptr;
    int enabled_ = 1;
    int focused_ = 0;
};
