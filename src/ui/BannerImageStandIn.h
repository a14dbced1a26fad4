// A banner image loaded with the graphics library and drawn stretched to a
// rectangle; a file that fails to load gives an empty image that draws
// nothing.
#pragma once

#include <windows.h>

#include <string>

class CBannerImage {
public:
    CBannerImage() = default;
    ~CBannerImage();
    CBannerImage(const CBannerImage&) = delete;
    CBannerImage& operator=(const CBannerImage&) = delete;

    bool Load(const std::wstring& path);
    bool IsLoaded() const { return image_ != nullptr; }
    void Draw(HDC dc, int x, int y, int width, int height) const;
    // False when the image is empty or the pixel is outside it.
    bool PixelAt(int x, int y, COLORREF& colour) const;

private:
    void* image_ = nullptr;
};

// Draws an image the graphics library loaded (null draws nothing).
void DrawImageStretched(HDC dc, void* image, int x, int y, int width, int height);
