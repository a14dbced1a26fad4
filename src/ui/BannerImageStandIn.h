// A banner image loaded with the graphics library and drawn stretched to a
// rectangle; a file that fails to load gives an empty image that draws
// nothing.
#pragma once

#include <windows.h>

#include <string>

namespace zel {

class CBannerImage {
public:
    CBannerImage() = default;
    ~CBannerImage();
    CBannerImage(const CBannerImage&) = delete;
    CBannerImage& operator=(const CBannerImage&) = delete;

    bool LoadFromFile(const std::wstring& path);
    bool Loaded() const { return image_ != nullptr; }
    void* Get() const { return image_; }
    bool Draw(HDC dc, int x, int y, int width, int height) const;
    // False when the image is empty or the pixel is outside it.
    bool PixelColour(int x, int y, COLORREF& colour) const;

private:
    void* image_ = nullptr;
};

// The colour behind the sheet's buttons: the bottom banner's pixel at
// (20, 20), or white.
COLORREF ButtonBackgroundFromBanner(const CBannerImage& bottomBanner);

}  // namespace zel

// Draws an image the graphics library loaded (null draws nothing).
void DrawImageStretched(HDC dc, void* image, int x, int y, int width, int height);
