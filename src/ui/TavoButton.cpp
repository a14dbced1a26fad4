#include "ui/TavoButton.h"

#include "core/Messages.h"

#include <windowsx.h>

#include <algorithm>
#include <cmath>
#include <cwctype>

namespace {
constexpr wchar_t kObjectProperty[] = L"ZelTavoButton";

// The parts of the sprite formula that never change.
constexpr double kEdgeSoftness = 2.0;
constexpr double kRingShading = 0.5;
constexpr double kFaceFalloff = 0.5;
constexpr double kHighlightX = 0.0;
constexpr double kHighlightY = -7.0;
constexpr double kHighlightRadius = 7.0;
constexpr double kHighlightStrength = 0.4;

double Clamp01(double x) { return std::clamp(x, 0.0, 1.0); }

struct SpriteColours {
    COLORREF Face;
    COLORREF Ring;
    COLORREF Background;
};

// One pixel of the sprite at (i, j) from its centre, as 0x00RRGGBB.
DWORD SpritePixel(int i, int j, double R, double Y, int ring, const SpriteColours& colours) {
    const double a = kEdgeSoftness;
    const double r = std::sqrt(static_cast<double>(i * i + j * j));
    const double r0 = std::min(R, std::max(0.0, R * (1.0 - Y)));
    const double w = Clamp01(0.5 + 2 * (r - R) / a);
    const double D = Clamp01(0.5 - 2 * (r - R) / a);
    const double E = Clamp01(0.5 + 2 * (r - r0) / a);
    const double I = Clamp01(0.5 - 2 * (r - r0) / a);
    const double B = std::pow((r0 + R - 2 * r) / (R - r0), 2);
    const double ringWeight = (1 - kRingShading * B) * D * E;
    const double J = std::clamp(
        1 - kFaceFalloff * std::sqrt(std::pow(i - kHighlightX, 2) + std::pow(j - kHighlightY, 2)) / kHighlightRadius,
        -1.0, 1.0);
    const double faceWeight = (1 - kFaceFalloff * std::pow(r / r0, 2)) * I * (1 + kHighlightStrength * J);

    auto channel = [&](BYTE face, BYTE ringColour, BYTE background) -> DWORD {
        const double v = ring ? ringColour * ringWeight + background * w + face * faceWeight
                              : face * ringWeight + background * w;
        return static_cast<DWORD>(std::clamp(static_cast<long>(std::trunc(v)), 0L, 255L));
    };
    const DWORD red = channel(GetRValue(colours.Face), GetRValue(colours.Ring), GetRValue(colours.Background));
    const DWORD green = channel(GetGValue(colours.Face), GetGValue(colours.Ring), GetGValue(colours.Background));
    const DWORD blue = channel(GetBValue(colours.Face), GetBValue(colours.Ring), GetBValue(colours.Background));
    return (red << 16) | (green << 8) | blue;
}

bool SameIgnoringCase(const std::wstring& a, const std::wstring& b) {
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [](wchar_t x, wchar_t y) { return ::towlower(x) == ::towlower(y); });
}

// A memory device context with one bitmap selected for its lifetime.
class MemoryDc {
public:
    MemoryDc(HDC compatible, HGDIOBJ bitmap) : dc_(::CreateCompatibleDC(compatible)) {
        if (dc_ != nullptr) previous_ = ::SelectObject(dc_, bitmap);
    }
    ~MemoryDc() {
        if (dc_ == nullptr) return;
        ::SelectObject(dc_, previous_);
        ::DeleteDC(dc_);
    }
    MemoryDc(const MemoryDc&) = delete;
    MemoryDc& operator=(const MemoryDc&) = delete;
    HDC get() const { return dc_; }

private:
    HDC dc_;
    HGDIOBJ previous_ = nullptr;
};
}  // namespace

CTavoButton::CTavoButton(std::wstring caption, HWND owner)
    : owner_(owner),
      caption_(std::move(caption)),
      font_(::CreateFontW(15, 0, 0, 0, 400, FALSE, FALSE, FALSE, DEFAULT_CHARSET, 0, 0, 0, 0, L"Tahoma")) {}

CTavoButton::~CTavoButton() {
    if (hwnd_ == nullptr) return;
    HWND hwnd = hwnd_;
    Detach();
    ::DestroyWindow(hwnd);
}

bool CTavoButton::Create(HWND parent, int id, const RECT& rect, DWORD style) {
    HWND hwnd = ::CreateWindowExW(0, L"BUTTON", caption_.c_str(), style | BS_PUSHBUTTON, rect.left, rect.top,
                                  rect.right - rect.left, rect.bottom - rect.top, parent,
                                  reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), ::GetModuleHandleW(nullptr),
                                  nullptr);
    if (hwnd == nullptr) return false;
    if (Attach(hwnd)) return true;
    ::DestroyWindow(hwnd);
    return false;
}

bool CTavoButton::Attach(HWND button) {
    if (hwnd_ != nullptr || button == nullptr || FromHandle(button) != nullptr) return false;
    LONG_PTR style = ::GetWindowLongPtrW(button, GWL_STYLE);
    ::SetWindowLongPtrW(button, GWL_STYLE, (style & ~static_cast<LONG_PTR>(BS_TYPEMASK)) | BS_OWNERDRAW);
    ::SetWindowPos(button, nullptr, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
    if (!::SetPropW(button, kObjectProperty, this)) return false;
    hwnd_ = button;
    previousProc_ = reinterpret_cast<WNDPROC>(
        ::SetWindowLongPtrW(button, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&CTavoButton::SubclassProc)));
    dirty_ = true;
    return true;
}

void CTavoButton::Detach() {
    if (hwnd_ == nullptr) return;
    ::SetWindowLongPtrW(hwnd_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(previousProc_));
    ::RemovePropW(hwnd_, kObjectProperty);
    hwnd_ = nullptr;
}

CTavoButton* CTavoButton::FromHandle(HWND hwnd) {
    return hwnd != nullptr ? static_cast<CTavoButton*>(::GetPropW(hwnd, kObjectProperty)) : nullptr;
}

bool CTavoButton::ReportsRelease(int id) {
    static constexpr int kIds[] = {2, 1001, 1024, 1027, 1028, 1029, 12323, 12324, 12325};
    return std::find(std::begin(kIds), std::end(kIds), id) != std::end(kIds);
}

bool CTavoButton::ReflectDrawItem(const DRAWITEMSTRUCT* item) {
    if (item == nullptr || item->CtlType != ODT_BUTTON) return false;
    CTavoButton* button = FromHandle(item->hwndItem);
    if (button == nullptr) return false;
    button->DrawItem(item->hDC, item->rcItem);
    return true;
}

void CTavoButton::SetEnabledLook(int enabled) {
    enabled_ = enabled;
    textColour_ = enabled ? kEnabledText : kDisabledText;
    dirty_ = true;
}

void CTavoButton::SetNormalLook(COLORREF face) {
    TakeLook({5, 10.0, 0.2, 0}, face != 0 ? face : kDefaultFace, std::nullopt);
    hover_ = 0;
}

void CTavoButton::SetHotLook() { TakeLook({6, 6.0, 0.3, 1}, kDefaultFace, kHotRing); }

void CTavoButton::SetFocusedLook() { TakeLook({6, 6.0, 0.3, 1}, kDefaultFace, kFocusRing); }

void CTavoButton::TakeLook(const Shape& shape, COLORREF face, std::optional<COLORREF> ring) {
    shape_ = shape;
    face_ = face;
    if (!enabled_)
        ring_ = kDisabledRing;
    else if (ring)
        ring_ = *ring;
    dirty_ = true;
    RedrawNow();
}

void CTavoButton::SetCaption(const std::wstring& text) {
    if (SameIgnoringCase(text, caption_)) return;
    caption_ = text;
    dirty_ = true;
}

void CTavoButton::RedrawNow() {
    if (hwnd_ == nullptr) return;
    ::InvalidateRect(hwnd_, nullptr, TRUE);
    ::UpdateWindow(hwnd_);
}

void CTavoButton::DrawItem(HDC target, const RECT& item) {
    const int width = item.right - item.left;
    const int height = item.bottom - item.top;
    if (width <= 0 || height <= 0) return;
    const bool sameRect = ::EqualRect(&item, &cachedRect_);
    if (!sameRect || dirty_ || !cache_) {
        dirty_ = false;
        if (!Render(target, width, height)) {
            // An empty rectangle makes the next paint try again.
            cache_.reset();
            ::SetRectEmpty(&cachedRect_);
            return;
        }
        cachedRect_ = item;
    }
    MemoryDc cache(target, cache_.get());
    if (cache.get() != nullptr) ::BitBlt(target, item.left, item.top, width, height, cache.get(), 0, height, SRCCOPY);
}

// The cache is w x 2h; the button is composed into its rows h to 2h - 1.
bool CTavoButton::Render(HDC target, int w, int h) {
    cache_.reset(::CreateCompatibleBitmap(target, w, 2 * h));
    if (!cache_) return false;

    const double R = shape_.Radius;
    const int e = static_cast<int>(std::ceil(R + kEdgeSoftness / 2));
    const int s = 2 * e + 1;
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = s;
    info.bmiHeader.biHeight = -(10 * e + 5);  // top-down
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    zel::UniqueGdiObject sprite(::CreateDIBSection(target, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    if (!sprite || bits == nullptr) return false;
    // Only the second of the five stacked squares is painted and read.
    const SpriteColours colours{face_, ring_, background_};
    auto* pixels = static_cast<DWORD*>(bits);
    for (int j = -e; j <= e; ++j)
        for (int i = -e; i <= e; ++i)
            pixels[(j + 3 * e + 1) * s + (i + e)] = SpritePixel(i, j, R, shape_.RingFraction, shape_.Ring, colours);
    ::GdiFlush();

    MemoryDc cacheDc(target, cache_.get());
    MemoryDc spriteDc(target, sprite.get());
    if (cacheDc.get() == nullptr || spriteDc.get() == nullptr) return false;
    HDC to = cacheDc.get();
    HDC from = spriteDc.get();
    ::SetStretchBltMode(to, COLORONCOLOR);
    const int q = shape_.Corner;
    const int innerW = std::max(0, w - 2 * q);
    const int innerH = std::max(0, h - 2 * q);
    struct Copy {
        int x, y, width, height, sx, sy, sw, sh;
    };
    const Copy copies[] = {
        {0, 0, q, q, 0, s, q, q},                           // top-left corner
        {0, h - q, q, q, 0, 2 * s - q, q, q},               // bottom-left corner
        {w - q, 0, q, q, s - q, s, q, q},                   // top-right corner
        {w - q, h - q, q, q, s - q, 2 * s - q, q, q},       // bottom-right corner
        {q, 0, innerW, q, q, s, 1, q},                      // top edge
        {q, h - q, innerW, q, q, 2 * s - q, 1, q},          // bottom edge
        {0, q, q, innerH, 0, s + q, q, 1},                  // left edge
        {w - q, q, q, innerH, s - q, s + q, q, 1},          // right edge
        {q, q, innerW, innerH, q, s + q, 1, 1},             // centre
    };
    for (const Copy& c : copies) {
        if (c.width <= 0 || c.height <= 0) continue;
        ::StretchBlt(to, c.x, h + c.y, c.width, c.height, from, c.sx, c.sy, c.sw, c.sh, SRCCOPY);
    }

    RECT text{0, h, w, 2 * h};
    HGDIOBJ oldFont = ::SelectObject(to, font_.get());
    ::SetBkMode(to, TRANSPARENT);
    ::SetTextColor(to, textColour_);
    ::DrawTextW(to, caption_.c_str(), static_cast<int>(caption_.size()), &text,
                DT_SINGLELINE | DT_CENTER | DT_VCENTER);
    ::SelectObject(to, oldFont);
    return true;
}

LRESULT CALLBACK CTavoButton::SubclassProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    CTavoButton* self = FromHandle(hwnd);
    if (self == nullptr) return ::DefWindowProcW(hwnd, message, wParam, lParam);
    return self->WindowProc(message, wParam, lParam);
}

LRESULT CTavoButton::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    HWND hwnd = hwnd_;
    WNDPROC previous = previousProc_;
    switch (message) {
    case WM_MOUSEMOVE: {
        TRACKMOUSEEVENT track{sizeof(track), TME_LEAVE, hwnd, 0};
        ::TrackMouseEvent(&track);
        // The pointer's real position: owners send a move without one to
        // have the hover state looked at again.
        POINT point{};
        RECT client{};
        ::GetCursorPos(&point);
        ::ScreenToClient(hwnd, &point);
        ::GetClientRect(hwnd, &client);
        if (::PtInRect(&client, point) && hover_ == 0) {
            hover_ = 1;
            ::SetCapture(hwnd);
            SetHotLook();
        } else if (::GetCapture() == hwnd) {
            ::ReleaseCapture();
        }
        break;
    }
    case WM_MOUSELEAVE:
        hover_ = 0;
        if (focused_)
            SetFocusedLook();
        else
            SetNormalLook(leaveWhite_ ? kWhite : 0);
        break;
    case WM_MOUSEHOVER:
        SetHotLook();
        break;
    case WM_CAPTURECHANGED:
        if (::GetCapture() != hwnd) dirty_ = true;
        break;
    case WM_LBUTTONUP: {
        // Whoever handles the press may open a modal window; a capture kept
        // here would take that window's clicks.
        if (::GetCapture() == hwnd) ::ReleaseCapture();
        const int id = ::GetDlgCtrlID(hwnd);
        // The owner may destroy this button while it handles the press.
        if (ReportsRelease(id) && owner_ != nullptr) ::SendMessageW(owner_, WM_ZEL_BUTTON_CLICKED, id, 0);
        return 0;
    }
    case WM_ERASEBKGND:
        return 1;  // every pixel is painted
    case WM_PAINT: {
        PAINTSTRUCT paint;
        HDC dc = ::BeginPaint(hwnd, &paint);
        RECT client{};
        ::GetClientRect(hwnd, &client);
        if (dc != nullptr) DrawItem(dc, client);
        ::EndPaint(hwnd, &paint);
        return 0;
    }
    case WM_NCDESTROY:
        Detach();
        return ::CallWindowProcW(previous, hwnd, message, wParam, lParam);
    default:
        break;
    }
    return ::CallWindowProcW(previous, hwnd, message, wParam, lParam);
}
