#include "core/Messages.h"
#include "ui/TavoButton.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <vector>

namespace {
// The button's pixels, painted by its own drawing code into a memory bitmap.
class Pixels {
public:
    Pixels(CTavoButton& button, int width, int height) : width_(width), height_(height) {
        BITMAPINFO info{};
        info.bmiHeader.biSize = sizeof(info.bmiHeader);
        info.bmiHeader.biWidth = width;
        info.bmiHeader.biHeight = -height;
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        void* bits = nullptr;
        HDC screen = ::GetDC(nullptr);
        HBITMAP bitmap = ::CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
        HDC dc = ::CreateCompatibleDC(screen);
        ::ReleaseDC(nullptr, screen);
        HGDIOBJ old = ::SelectObject(dc, bitmap);
        const RECT item{0, 0, width, height};
        button.DrawItem(dc, item);
        ::GdiFlush();
        const auto* p = static_cast<const DWORD*>(bits);
        pixels_.assign(p, p + width * height);
        ::SelectObject(dc, old);
        ::DeleteDC(dc);
        ::DeleteObject(bitmap);
    }
    COLORREF at(int x, int y) const {
        DWORD v = pixels_[y * width_ + x];
        return RGB((v >> 16) & 0xFF, (v >> 8) & 0xFF, v & 0xFF);
    }
    int Count(bool (*match)(COLORREF)) const {
        int n = 0;
        for (int y = 0; y < height_; ++y)
            for (int x = 0; x < width_; ++x) n += match(at(x, y)) ? 1 : 0;
        return n;
    }

private:
    int width_;
    int height_;
    std::vector<DWORD> pixels_;
};

// The ring colours come out of the formula truncated, so one step below.
::testing::AssertionResult NearColour(COLORREF actual, COLORREF expected) {
    if (std::abs(GetRValue(actual) - GetRValue(expected)) <= 1 &&
        std::abs(GetGValue(actual) - GetGValue(expected)) <= 1 &&
        std::abs(GetBValue(actual) - GetBValue(expected)) <= 1)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "RGB(" << int(GetRValue(actual)) << "," << int(GetGValue(actual)) << ","
                                         << int(GetBValue(actual)) << ")";
}

constexpr int kW = 108;
constexpr int kH = 30;
// A face pixel clear of the centred caption, and a pixel of the top ring.
constexpr int kFaceX = 8, kFaceY = 15;
constexpr int kRingX = 54, kRingY = 2;

void ExpectCorners(const Pixels& p, COLORREF colour) {
    EXPECT_EQ(p.at(0, 0), colour);
    EXPECT_EQ(p.at(kW - 1, 0), colour);
    EXPECT_EQ(p.at(0, kH - 1), colour);
    EXPECT_EQ(p.at(kW - 1, kH - 1), colour);
}

CTavoButton& Prepared(CTavoButton& button) {
    button.SetEnabledLook(1);
    button.SetFocusedFlag(0);
    return button;
}

TEST(TavoButtonPixels, NormalLookHasTheShadedFaceAndTheBackgroundInItsCorners) {
    CTavoButton button(L"&Next", nullptr);
    Prepared(button).SetNormalLook();
    Pixels p(button, kW, kH);
    EXPECT_EQ(p.at(kFaceX, kFaceY), RGB(196, 196, 196));
    EXPECT_EQ(p.at(kW - 9, 6), RGB(196, 196, 196));
    ExpectCorners(p, RGB(230, 230, 230));

    // The corners are the background, not the face: a blue one shows there.
    CTavoButton onBlue(L"&Next", nullptr);
    Prepared(onBlue).SetBackgroundColour(RGB(0, 0, 255));
    onBlue.SetNormalLook();
    Pixels q(onBlue, kW, kH);
    ExpectCorners(q, RGB(0, 0, 255));
    EXPECT_EQ(q.at(kFaceX, kFaceY), RGB(196, 196, 196));
}

TEST(TavoButtonPixels, HotAndFocusedLooksHaveTheirRingsAndAWhiteFace) {
    CTavoButton button(L"&Next", nullptr);
    Prepared(button).SetHotLook();
    Pixels hot(button, kW, kH);
    EXPECT_TRUE(NearColour(hot.at(kRingX, kRingY), CTavoButton::kHotRing));
    EXPECT_TRUE(NearColour(hot.at(kRingX, kH - 1 - kRingY), CTavoButton::kHotRing));
    EXPECT_EQ(hot.at(kFaceX, kFaceY), RGB(255, 255, 255));
    ExpectCorners(hot, RGB(230, 230, 230));

    button.SetFocusedLook();
    Pixels focused(button, kW, kH);
    EXPECT_TRUE(NearColour(focused.at(kRingX, kRingY), CTavoButton::kFocusRing));
    EXPECT_EQ(focused.at(kFaceX, kFaceY), RGB(255, 255, 255));
}

bool IsDisabledText(COLORREF c) { return c == RGB(254, 254, 254); }
bool IsDark(COLORREF c) { return GetRValue(c) < 100 && GetGValue(c) < 100 && GetBValue(c) < 100; }
bool IsColoured(COLORREF c) { return GetRValue(c) != GetGValue(c) || GetGValue(c) != GetBValue(c); }

TEST(TavoButtonPixels, WithoutTheEnabledLookTheCaptionIsNearWhiteAndNoRingIsColoured) {
    CTavoButton button(L"&Next", nullptr);
    Prepared(button).SetNormalLook();
    Pixels enabled(button, kW, kH);
    EXPECT_GT(enabled.Count(IsDark), 0);
    EXPECT_EQ(enabled.Count(IsDisabledText), 0);

    button.SetEnabledLook(0);
    button.SetNormalLook();
    Pixels disabled(button, kW, kH);
    EXPECT_GT(disabled.Count(IsDisabledText), 0);
    EXPECT_EQ(disabled.Count(IsDark), 0);

    button.SetHotLook();
    Pixels hot(button, kW, kH);
    EXPECT_EQ(button.RingColour(), RGB(230, 230, 230));
    EXPECT_TRUE(NearColour(hot.at(kRingX, kRingY), RGB(230, 230, 230)));
    EXPECT_EQ(hot.Count(IsColoured), 0);
    button.SetFocusedLook();
    EXPECT_EQ(Pixels(button, kW, kH).Count(IsColoured), 0);

    // Enabled again, the next coloured look brings its ring back.
    button.SetEnabledLook(1);
    button.SetHotLook();
    EXPECT_TRUE(NearColour(Pixels(button, kW, kH).at(kRingX, kRingY), CTavoButton::kHotRing));
}

TEST(TavoButtonPixels, TheCachedPictureIsRedrawnOnlyWhenDirtyOrResized) {
    CTavoButton button(L"&Next", nullptr);
    Prepared(button).SetNormalLook();
    ExpectCorners(Pixels(button, kW, kH), RGB(230, 230, 230));

    // Neither a new background nor a caption differing only in case marks it dirty.
    button.SetBackgroundColour(RGB(0, 0, 255));
    button.SetCaption(L"&NEXT");
    EXPECT_EQ(button.Caption(), L"&Next");
    ExpectCorners(Pixels(button, kW, kH), RGB(230, 230, 230));

    // Another size draws anew.
    Pixels resized(button, kW + 2, kH);
    EXPECT_EQ(resized.at(0, 0), RGB(0, 0, 255));

    // So does a new caption.
    button.SetBackgroundColour(RGB(255, 0, 0));
    button.SetCaption(L"&Back");
    EXPECT_EQ(button.Caption(), L"&Back");
    EXPECT_EQ(Pixels(button, kW + 2, kH).at(0, 0), RGB(255, 0, 0));
}

// An owner window that records what its buttons send it.
struct Owner {
    static inline std::vector<UINT> received;
    static inline std::vector<WPARAM> pressedIds;

    static LRESULT CALLBACK Proc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
        if (message == WM_ZEL_BUTTON_CLICKED || message == WM_COMMAND) {
            received.push_back(message);
            if (message == WM_ZEL_BUTTON_CLICKED) pressedIds.push_back(wParam);
            return 0;
        }
        return ::DefWindowProcW(hwnd, message, wParam, lParam);
    }

    Owner() {
        WNDCLASSW wc{};
        wc.lpfnWndProc = Proc;
        wc.hInstance = ::GetModuleHandleW(nullptr);
        wc.lpszClassName = L"ZelTavoButtonTestOwner";
        ::RegisterClassW(&wc);
        hwnd = ::CreateWindowExW(0, wc.lpszClassName, L"owner", WS_OVERLAPPEDWINDOW, 100, 100, 400, 200, nullptr,
                                 nullptr, wc.hInstance, nullptr);
        received.clear();
        pressedIds.clear();
    }
    ~Owner() { ::DestroyWindow(hwnd); }
    HWND hwnd;
};

TEST(TavoButtonWindow, AReleaseIsReportedForTheListedIdsOnly) {
    Owner owner;
    ASSERT_NE(owner.hwnd, nullptr);
    struct Case {
        int id;
        bool reported;
    };
    const Case cases[] = {{2, true},      {1001, true},  {1024, true},  {1027, true},  {1028, true},
                          {1029, true},   {12323, true}, {12324, true}, {12325, true}, {1, false},
                          {1000, false},  {1025, false}, {1234, false}, {12326, false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.id);
        Owner::received.clear();
        Owner::pressedIds.clear();
        CTavoButton button(L"&Yes", owner.hwnd);
        ASSERT_TRUE(button.Create(owner.hwnd, c.id, RECT{10, 10, 118, 40}));
        EXPECT_EQ(::GetWindowLongPtrW(button.Handle(), GWL_STYLE) & BS_TYPEMASK, BS_OWNERDRAW);
        ::SendMessageW(button.Handle(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
        ::SendMessageW(button.Handle(), WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
        MSG msg;
        while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) ::DispatchMessageW(&msg);
        // Never the platform's click notification, and no capture left behind.
        if (c.reported) {
            EXPECT_EQ(Owner::received, std::vector<UINT>{WM_ZEL_BUTTON_CLICKED});
            EXPECT_EQ(Owner::pressedIds, std::vector<WPARAM>{static_cast<WPARAM>(c.id)});
        } else {
            EXPECT_TRUE(Owner::received.empty());
        }
        EXPECT_NE(::GetCapture(), button.Handle());
    }
}

TEST(TavoButtonWindow, LeavingReturnsToTheFocusedOrTheNormalLook) {
    Owner owner;
    CTavoButton focused(L"&Next", owner.hwnd);
    CTavoButton browse(L"&Browse", owner.hwnd);
    ASSERT_TRUE(focused.Create(owner.hwnd, 12324, RECT{10, 10, 118, 40}));
    ASSERT_TRUE(browse.Create(owner.hwnd, 1001, RECT{130, 10, 238, 40}));
    Prepared(focused).SetFocusedFlag(1);
    Prepared(browse).SetLeaveWhite(1);

    for (CTavoButton* button : {&focused, &browse}) {
        button->SetHotLook();
        ::SendMessageW(button->Handle(), WM_MOUSELEAVE, 0, 0);
        EXPECT_EQ(button->IsHovering(), 0);
    }
    EXPECT_EQ(focused.RingColour(), CTavoButton::kFocusRing);
    EXPECT_EQ(focused.FaceColour(), CTavoButton::kDefaultFace);
    EXPECT_EQ(browse.FaceColour(), RGB(255, 255, 255));

    browse.SetLeaveWhite(0);
    ::SendMessageW(browse.Handle(), WM_MOUSELEAVE, 0, 0);
    EXPECT_EQ(browse.FaceColour(), CTavoButton::kDefaultFace);
}

TEST(TavoButtonWindow, AMoveWithThePointerOverTheButtonShowsTheHotLook) {
    Owner owner;
    ::ShowWindow(owner.hwnd, SW_SHOWNOACTIVATE);
    CTavoButton button(L"&Next", owner.hwnd);
    ASSERT_TRUE(button.Create(owner.hwnd, 12324, RECT{10, 10, 118, 40}));
    Prepared(button).SetNormalLook();

    POINT inside{50, 20};
    ::ClientToScreen(button.Handle(), &inside);
    if (!::SetCursorPos(inside.x, inside.y)) GTEST_SKIP() << "no pointer to move";
    POINT now{};
    ::GetCursorPos(&now);
    if (now.x != inside.x || now.y != inside.y) GTEST_SKIP() << "the display keeps the pointer elsewhere";

    // A move without a position, as the owners send it.
    ::SendMessageW(button.Handle(), WM_MOUSEMOVE, 0, 0);
    EXPECT_EQ(button.IsHovering(), 1);
    EXPECT_EQ(button.RingColour(), CTavoButton::kHotRing);
    EXPECT_EQ(::GetCapture(), button.Handle());
    // The capture taken at the first move is released at the next.
    ::SendMessageW(button.Handle(), WM_MOUSEMOVE, 0, 0);
    EXPECT_NE(::GetCapture(), button.Handle());

    ::SetCursorPos(0, 0);
    ::SendMessageW(button.Handle(), WM_MOUSELEAVE, 0, 0);
    EXPECT_EQ(button.IsHovering(), 0);
    EXPECT_EQ(button.FaceColour(), CTavoButton::kDefaultFace);
}

TEST(TavoButtonWindow, OnlyButtonsAreFoundByHandleAndTheObjectTakesItsWindowAlong) {
    Owner owner;
    CTavoButton button(L"&Next", owner.hwnd);
    ASSERT_TRUE(button.Create(owner.hwnd, 12324, RECT{10, 10, 118, 40}));
    DRAWITEMSTRUCT item{};
    item.CtlType = ODT_BUTTON;
    item.hwndItem = button.Handle();
    EXPECT_EQ(CTavoButton::FromHandle(button.Handle()), &button);
    EXPECT_EQ(CTavoButton::FromHandle(owner.hwnd), nullptr);
    item.hwndItem = owner.hwnd;
    EXPECT_FALSE(CTavoButton::ReflectDrawItem(&item));
    // Destroying the object takes its window along.
    HWND hwnd = button.Handle();
    {
        CTavoButton gone(L"x", owner.hwnd);
        ASSERT_TRUE(gone.Create(owner.hwnd, 2, RECT{0, 0, 10, 10}));
        hwnd = gone.Handle();
    }
    EXPECT_FALSE(::IsWindow(hwnd));
}
}  // namespace
