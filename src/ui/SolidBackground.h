// The plain background of the wizard's pages and dialogs.
#pragma once

#include "framework/Handles.h"

#include <windows.h>

class CSolidBackground {
public:
    static constexpr COLORREF kDialogGrey = RGB(240, 240, 240);

    explicit CSolidBackground(COLORREF colour = kDialogGrey) : colour_(colour) {}

    COLORREF Colour() const { return colour_; }
    // Created on first use and kept.
    HBRUSH Brush() {
        if (!brush_) brush_.reset(::CreateSolidBrush(colour_));
        return static_cast<HBRUSH>(brush_.get());
    }
    // The erase of window's client area.
    void Fill(HWND window, HDC dc) {
        RECT client{};
        ::GetClientRect(window, &client);
        ::FillRect(dc, &client, Brush());
    }

private:
    COLORREF colour_;
    zel::UniqueGdiObject brush_;
};
