#include "ui/BannerImage.h"

#include "platform/SystemLibrary.h"

#include <utility>

namespace zel {

namespace {
struct StartupInput {
    UINT32 GdiplusVersion = 1;
    void* DebugEventCallback = nullptr;
    BOOL SuppressBackgroundThread = FALSE;
    BOOL SuppressExternalCodecs = FALSE;
};

// The flat functions used here; every one returns a status, 0 for success.
struct GdiplusApi {
    int(WINAPI* Startup)(ULONG_PTR*, const StartupInput*, void*) = nullptr;
    void(WINAPI* Shutdown)(ULONG_PTR) = nullptr;
    int(WINAPI* LoadImageFromFile)(const wchar_t*, void**) = nullptr;
    int(WINAPI* CreateBitmapFromStream)(IStream*, void**) = nullptr;
    int(WINAPI* DisposeImage)(void*) = nullptr;
    int(WINAPI* CreateFromHDC)(HDC, void**) = nullptr;
    int(WINAPI* DeleteGraphics)(void*) = nullptr;
    int(WINAPI* DrawImageRectI)(void*, void*, INT, INT, INT, INT) = nullptr;
    int(WINAPI* BitmapGetPixel)(void*, INT, INT, DWORD*) = nullptr;
    int(WINAPI* GetImageWidth)(void*, UINT*) = nullptr;
    int(WINAPI* GetImageHeight)(void*, UINT*) = nullptr;
    bool Complete = false;
};

template <typename Fn>
void Resolve(HMODULE module, const char* name, Fn& fn) {
    fn = GetProc<Fn>(module, name);
}

// Loaded once and kept for the process: images may outlive any one user.
const GdiplusApi& Api() {
    static const GdiplusApi api = [] {
        GdiplusApi table;
        HMODULE module = LoadSystemLibrary(L"gdiplus.dll");
        if (module == nullptr) return table;
        Resolve(module, "GdiplusStartup", table.Startup);
        Resolve(module, "GdiplusShutdown", table.Shutdown);
        Resolve(module, "GdipLoadImageFromFile", table.LoadImageFromFile);
        Resolve(module, "GdipCreateBitmapFromStream", table.CreateBitmapFromStream);
        Resolve(module, "GdipDisposeImage", table.DisposeImage);
        Resolve(module, "GdipCreateFromHDC", table.CreateFromHDC);
        Resolve(module, "GdipDeleteGraphics", table.DeleteGraphics);
        Resolve(module, "GdipDrawImageRectI", table.DrawImageRectI);
        Resolve(module, "GdipBitmapGetPixel", table.BitmapGetPixel);
        Resolve(module, "GdipGetImageWidth", table.GetImageWidth);
        Resolve(module, "GdipGetImageHeight", table.GetImageHeight);
        table.Complete = table.Startup && table.Shutdown && table.LoadImageFromFile && table.CreateBitmapFromStream &&
                         table.DisposeImage && table.CreateFromHDC && table.DeleteGraphics && table.DrawImageRectI &&
                         table.BitmapGetPixel && table.GetImageWidth && table.GetImageHeight;
        return table;
    }();
    return api;
}
}  // namespace

CGdiplusSession::CGdiplusSession() {
    const GdiplusApi& api = Api();
    StartupInput input;
    if (!api.Complete || api.Startup(&token_, &input, nullptr) != 0) token_ = 0;
}

CGdiplusSession::~CGdiplusSession() {
    if (token_ != 0) Api().Shutdown(token_);
}

CBannerImage::CBannerImage(CBannerImage&& other) noexcept : image_(std::exchange(other.image_, nullptr)) {}

CBannerImage& CBannerImage::operator=(CBannerImage&& other) noexcept {
    if (this != &other) {
        Reset();
        image_ = std::exchange(other.image_, nullptr);
    }
    return *this;
}

void CBannerImage::Reset() {
    if (image_ != nullptr) Api().DisposeImage(std::exchange(image_, nullptr));
}

bool CBannerImage::LoadFromFile(const std::wstring& path) {
    Reset();
    const GdiplusApi& api = Api();
    if (!api.Complete || path.empty()) return false;
    void* image = nullptr;
    if (api.LoadImageFromFile(path.c_str(), &image) != 0) return false;
    image_ = image;
    return true;
}

bool CBannerImage::LoadFromStream(IStream* stream) {
    Reset();
    const GdiplusApi& api = Api();
    if (!api.Complete || stream == nullptr) return false;
    void* image = nullptr;
    if (api.CreateBitmapFromStream(stream, &image) != 0) return false;
    image_ = image;
    return true;
}

bool CBannerImage::Draw(HDC dc, int x, int y, int width, int height) const {
    if (image_ == nullptr || dc == nullptr) return false;
    const GdiplusApi& api = Api();
    void* graphics = nullptr;
    if (api.CreateFromHDC(dc, &graphics) != 0) return false;
    const bool drawn = api.DrawImageRectI(graphics, image_, x, y, width, height) == 0;
    api.DeleteGraphics(graphics);
    return drawn;
}

bool CBannerImage::PixelColour(int x, int y, COLORREF& colour) const {
    if (image_ == nullptr || x < 0 || y < 0) return false;
    const GdiplusApi& api = Api();
    UINT width = 0;
    UINT height = 0;
    if (api.GetImageWidth(image_, &width) != 0 || api.GetImageHeight(image_, &height) != 0) return false;
    if (static_cast<UINT>(x) >= width || static_cast<UINT>(y) >= height) return false;
    DWORD argb = 0;
    if (api.BitmapGetPixel(image_, x, y, &argb) != 0) return false;
    colour = RGB((argb >> 16) & 0xFF, (argb >> 8) & 0xFF, argb & 0xFF);
    return true;
}

COLORREF ButtonBackgroundFromBanner(const CBannerImage& bottomBanner) {
    COLORREF colour = RGB(255, 255, 255);
    if (!bottomBanner.PixelColour(20, 20, colour)) return RGB(255, 255, 255);
    return colour;
}

}  // namespace zel
