#include "ui/BannerImageStandIn.h"

#include "platform/SystemLibrary.h"

namespace {
using LoadFn = int(WINAPI*)(const wchar_t*, void**);
using DisposeFn = int(WINAPI*)(void*);
using FromHdcFn = int(WINAPI*)(HDC, void**);
using DeleteGraphicsFn = int(WINAPI*)(void*);
using DrawRectFn = int(WINAPI*)(void*, void*, int, int, int, int);
using GetPixelFn = int(WINAPI*)(void*, int, int, DWORD*);

// The graphics library, from the system folder only; started by the application.
HMODULE Graphics() {
    static HMODULE module = zel::LoadSystemLibrary(L"gdiplus.dll");
    return module;
}

template <typename Fn>
Fn Proc(const char* name) {
    HMODULE module = Graphics();
    return module != nullptr ? reinterpret_cast<Fn>(reinterpret_cast<void*>(::GetProcAddress(module, name))) : nullptr;
}
}  // namespace

zel::CBannerImage::~CBannerImage() {
    if (image_ != nullptr)
        if (auto dispose = Proc<DisposeFn>("GdipDisposeImage")) dispose(image_);
}

bool zel::CBannerImage::LoadFromFile(const std::wstring& path) {
    if (image_ != nullptr) return true;
    auto load = Proc<LoadFn>("GdipLoadImageFromFile");
    if (load == nullptr || path.empty() || load(path.c_str(), &image_) != 0) image_ = nullptr;
    return image_ != nullptr;
}

bool zel::CBannerImage::Draw(HDC dc, int x, int y, int width, int height) const {
    DrawImageStretched(dc, image_, x, y, width, height);
    return image_ != nullptr;
}

COLORREF zel::ButtonBackgroundFromBanner(const CBannerImage& bottomBanner) {
    COLORREF colour = RGB(255, 255, 255);
    return bottomBanner.PixelColour(20, 20, colour) ? colour : RGB(255, 255, 255);
}

bool zel::CBannerImage::PixelColour(int x, int y, COLORREF& colour) const {
    auto get = Proc<GetPixelFn>("GdipBitmapGetPixel");
    DWORD argb = 0;
    if (image_ == nullptr || get == nullptr || get(image_, x, y, &argb) != 0) return false;
    colour = RGB((argb >> 16) & 0xFF, (argb >> 8) & 0xFF, argb & 0xFF);
    return true;
}

void DrawImageStretched(HDC dc, void* image, int x, int y, int width, int height) {
    auto fromHdc = Proc<FromHdcFn>("GdipCreateFromHDC");
    auto draw = Proc<DrawRectFn>("GdipDrawImageRectI");
    auto release = Proc<DeleteGraphicsFn>("GdipDeleteGraphics");
    if (image == nullptr || fromHdc == nullptr || draw == nullptr || release == nullptr) return;
    void* graphics = nullptr;
    if (fromHdc(dc, &graphics) != 0 || graphics == nullptr) return;
    draw(graphics, image, x, y, width, height);
    release(graphics);
}
