// The wizard's owner-drawn push button: a rounded face computed from a small
// circular sprite, in a normal, a hot and a focused look. It tracks the mouse
// itself and reports a release to its owner with WM_ZEL_BUTTON_CLICKED
// (1147) instead of the platform's click notification; keyboard presses of
// the default button still arrive as commands with the button's id.
#pragma once

#include "framework/Handles.h"

#include <windows.h>

#include <optional>
#include <string>

class CTavoButton {
public:
    static constexpr COLORREF kDefaultFace = RGB(230, 230, 230);
    static constexpr COLORREF kDefaultBackground = RGB(230, 230, 230);
    static constexpr COLORREF kHotRing = RGB(239, 181, 73);
    static constexpr COLORREF kFocusRing = RGB(24, 103, 158);
    // The ring of a button without the enabled look, whatever look it takes.
    static constexpr COLORREF kDisabledRing = RGB(230, 230, 230);
    static constexpr COLORREF kEnabledText = RGB(0, 0, 0);
    static constexpr COLORREF kDisabledText = RGB(254, 254, 254);
    static constexpr COLORREF kWhite = RGB(255, 255, 255);

    CTavoButton(std::wstring caption, HWND owner);
    // Destroys the button's window if it still exists.
    ~CTavoButton();
    CTavoButton(const CTavoButton&) = delete;
    CTavoButton& operator=(const CTavoButton&) = delete;

    // Creates the button window as a child of parent with the given id; it
    // is made owner-drawn whatever push-button type style asks for.
    bool Create(HWND parent, int id, const RECT& rect, DWORD style = WS_CHILD | WS_VISIBLE | WS_TABSTOP);
    // Takes over an existing button window.
    bool Attach(HWND button);
    HWND Handle() const { return hwnd_; }

    void SetEnabledLook(int enabled);
    // face 0 takes the default face colour.
    void SetNormalLook(COLORREF face = 0);
    void SetHotLook();
    void SetFocusedLook();
    void SetFocusedFlag(int flag) { focused_ = flag; }
    void SetBackgroundColour(COLORREF colour) { background_ = colour; }
    void SetLeaveWhite(int flag) { leaveWhite_ = flag; }
    // Only the painted text; a change of letter case alone is ignored.
    void SetCaption(const std::wstring& text);

    int IsEnabledLook() const { return enabled_; }
    int IsFocusedFlag() const { return focused_; }
    int IsHovering() const { return hover_; }
    const std::wstring& Caption() const { return caption_; }
    COLORREF FaceColour() const { return face_; }
    COLORREF RingColour() const { return ring_; }
    COLORREF TextColour() const { return textColour_; }

    // The owner-draw request: paints the w x h item rectangle into target.
    void DrawItem(HDC target, const RECT& item);

    // For owners that receive WM_DRAWITEM: draws when the item is one of
    // these buttons and returns true.
    static bool ReflectDrawItem(const DRAWITEMSTRUCT* item);
    static CTavoButton* FromHandle(HWND hwnd);
    // Whether a release on a button with this control id is reported.
    static bool ReportsRelease(int id);

private:
    struct Shape {
        int Corner;
        double Radius;
        double RingFraction;
        int Ring;
    };

    void TakeLook(const Shape& shape, COLORREF face, std::optional<COLORREF> ring);
    void RedrawNow();
    bool Render(HDC target, int width, int height);
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam);
    static LRESULT CALLBACK SubclassProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    void Detach();

    HWND owner_;
    std::wstring caption_;
    COLORREF textColour_ = kEnabledText;
    COLORREF background_ = kDefaultBackground;
    COLORREF face_ = kDefaultFace;
    COLORREF ring_ = kFocusRing;
    int enabled_ = 1;
    int focused_ = 0;
    int hover_ = 0;
    int leaveWhite_ = 0;
    bool dirty_ = false;
    Shape shape_{5, 10.0, 0.2, 0};

    zel::UniqueGdiObject font_;
    zel::UniqueGdiObject cache_;
    RECT cachedRect_{};

    HWND hwnd_ = nullptr;
    WNDPROC previousProc_ = nullptr;
};
