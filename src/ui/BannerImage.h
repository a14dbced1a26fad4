// Banner images (BMP or PNG) through the GDI+ flat API. gdiplus.dll is
// loaded from the system folder only; an image that fails to load is empty
// and drawing it does nothing.
#pragma once

#include <windows.h>
#include <objidl.h>

#include <string>

namespace zel {

// Starts GDI+ for the lifetime of the object (programs other than the stub,
// and tests; the stub starts it during its own start-up).
class CGdiplusSession {
public:
    CGdiplusSession();
    ~CGdiplusSession();
    CGdiplusSession(const CGdiplusSession&) = delete;
    CGdiplusSession& operator=(const CGdiplusSession&) = delete;
    bool Started() const { return token_ != 0; }

private:
    ULONG_PTR token_ = 0;
};

// Owns one GDI+ image.
class CBannerImage {
public:
    CBannerImage() = default;
    ~CBannerImage() { Reset(); }
    CBannerImage(CBannerImage&& other) noexcept;
    CBannerImage& operator=(CBannerImage&& other) noexcept;
    CBannerImage(const CBannerImage&) = delete;
    CBannerImage& operator=(const CBannerImage&) = delete;

    // Replaces the image; false (and empty) when the file is missing or
    // not an image.
    bool LoadFromFile(const std::wstring& path);
    bool LoadFromStream(IStream* stream);
    void Reset();

    bool Loaded() const { return image_ != nullptr; }
    // The GDI+ image, null when empty.
    void* Get() const { return image_; }

    // Draws the image stretched to the rectangle; nothing when empty.
    bool Draw(HDC dc, int x, int y, int width, int height) const;
    // False when empty or outside the image.
    bool PixelColour(int x, int y, COLORREF& colour) const;

private:
    void* image_ = nullptr;
};

// The colour behind the sheet's buttons: the bottom banner's pixel at
// (20, 20), or white when the banner is missing, unreadable or smaller.
COLORREF ButtonBackgroundFromBanner(const CBannerImage& bottomBanner);

}  // namespace zel
