#include "ui/BannerImage.h"

#include "test_support.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {
using zel::CBannerImage;

// A 24-bit BMP filled with fill, and marked at (20, 20) when large enough.
std::string Bmp(int width, int height, COLORREF fill, COLORREF mark) {
    const int stride = (width * 3 + 3) & ~3;
    const int imageSize = stride * height;
    std::string bytes(54 + imageSize, '\0');
    auto put32 = [&](size_t at, unsigned v) {
        for (int i = 0; i < 4; ++i) bytes[at + i] = static_cast<char>((v >> (8 * i)) & 0xFF);
    };
    bytes[0] = 'B';
    bytes[1] = 'M';
    put32(2, static_cast<unsigned>(bytes.size()));
    put32(10, 54);
    put32(14, 40);
    put32(18, width);
    put32(22, height);
    bytes[26] = 1;
    bytes[28] = 24;
    put32(34, imageSize);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const COLORREF c = (x == 20 && y == 20) ? mark : fill;
            const size_t at = 54 + static_cast<size_t>(height - 1 - y) * stride + x * 3;  // bottom-up rows
            bytes[at] = static_cast<char>(GetBValue(c));
            bytes[at + 1] = static_cast<char>(GetGValue(c));
            bytes[at + 2] = static_cast<char>(GetRValue(c));
        }
    return bytes;
}

std::wstring DataFile(const char* name) {
    std::string path = std::string(ZEL_TEST_DATA_DIR) + "/" + name;
    return std::wstring(path.begin(), path.end());
}

class BannerImageTest : public testing::Test {
protected:
    zel::CGdiplusSession gdiplus;
    zel_test::TempDir dir;
};

TEST_F(BannerImageTest, TheButtonColourIsThePixelAt20x20OfABmpOrPng) {
    ASSERT_TRUE(gdiplus.Started());
    zel_test::WriteBytes(dir.File(L"bottom.bmp"), Bmp(60, 40, RGB(200, 0, 0), RGB(0, 0, 255)));
    CBannerImage bmp;
    ASSERT_TRUE(bmp.LoadFromFile(dir.File(L"bottom.bmp")));
    EXPECT_EQ(zel::ButtonBackgroundFromBanner(bmp), RGB(0, 0, 255));

    CBannerImage png;
    ASSERT_TRUE(png.LoadFromFile(DataFile("banner_40x40.png")));
    EXPECT_EQ(zel::ButtonBackgroundFromBanner(png), RGB(0, 0, 255));
}

TEST_F(BannerImageTest, MissingUnreadableOrSmallBannersGiveWhiteButtonsAndDrawNothing) {
    zel_test::WriteBytes(dir.File(L"broken.png"), "not an image at all");
    zel_test::WriteBytes(dir.File(L"small.bmp"), Bmp(10, 10, RGB(0, 0, 255), RGB(0, 0, 255)));
    for (const wchar_t* name : {L"missing.bmp", L"broken.png"}) {
        SCOPED_TRACE(testing::Message() << std::string(name, name + wcslen(name)));
        CBannerImage image;
        EXPECT_FALSE(image.LoadFromFile(dir.File(name)));
        EXPECT_FALSE(image.Loaded());
        EXPECT_EQ(zel::ButtonBackgroundFromBanner(image), RGB(255, 255, 255));
        HDC dc = ::CreateCompatibleDC(nullptr);
        EXPECT_FALSE(image.Draw(dc, 0, 0, 100, 60));
        ::DeleteDC(dc);
    }
    CBannerImage small;
    ASSERT_TRUE(small.LoadFromFile(dir.File(L"small.bmp")));
    EXPECT_EQ(zel::ButtonBackgroundFromBanner(small), RGB(255, 255, 255));
    // A failed load empties an image that held one.
    EXPECT_FALSE(small.LoadFromFile(dir.File(L"broken.png")));
    EXPECT_FALSE(small.Loaded());
}

TEST_F(BannerImageTest, DrawingStretchesTheImageToTheRectangle) {
    zel_test::WriteBytes(dir.File(L"top.bmp"), Bmp(30, 30, RGB(0, 160, 0), RGB(0, 160, 0)));
    CBannerImage image;
    ASSERT_TRUE(image.LoadFromFile(dir.File(L"top.bmp")));

    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = 200;
    info.bmiHeader.biHeight = -100;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    HBITMAP bitmap = ::CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HDC dc = ::CreateCompatibleDC(nullptr);
    HGDIOBJ old = ::SelectObject(dc, bitmap);
    EXPECT_TRUE(image.Draw(dc, 0, 0, 200, 60));
    ::GdiFlush();
    const auto* pixels = static_cast<const DWORD*>(bits);
    auto at = [&](int x, int y) { return pixels[y * 200 + x] & 0xFFFFFF; };
    EXPECT_EQ(at(100, 30), 0x00A000u);  // inside: the image
    EXPECT_EQ(at(190, 10), 0x00A000u);  // stretched well past its own 30 pixels
    EXPECT_EQ(at(100, 80), 0u);         // below the rectangle: untouched
    ::SelectObject(dc, old);
    ::DeleteDC(dc);
    ::DeleteObject(bitmap);
}

// The welcome picture comes from a resource through a stream.
TEST_F(BannerImageTest, LoadsFromAStreamAndRefusesGarbage) {
    auto streamOf = [](const std::string& bytes) {
        HGLOBAL memory = ::GlobalAlloc(GMEM_MOVEABLE, bytes.size());
        std::memcpy(::GlobalLock(memory), bytes.data(), bytes.size());
        ::GlobalUnlock(memory);
        IStream* stream = nullptr;
        ::CreateStreamOnHGlobal(memory, TRUE, &stream);
        return stream;
    };
    IStream* png = streamOf(zel_test::ReadBytes(DataFile("banner_40x40.png")));
    ASSERT_NE(png, nullptr);
    CBannerImage image;
    EXPECT_TRUE(image.LoadFromStream(png));
    EXPECT_EQ(zel::ButtonBackgroundFromBanner(image), RGB(0, 0, 255));
    png->Release();

    IStream* garbage = streamOf("no picture in here");
    EXPECT_FALSE(image.LoadFromStream(garbage));
    EXPECT_FALSE(image.Loaded());
    garbage->Release();
    EXPECT_FALSE(image.LoadFromStream(nullptr));
}

TEST(BannerImage, MovingHandsTheImageOver) {
    zel::CGdiplusSession gdiplus;
    CBannerImage first;
    ASSERT_TRUE(first.LoadFromFile(DataFile("banner_40x40.png")));
    CBannerImage second(std::move(first));
    EXPECT_FALSE(first.Loaded());
    EXPECT_TRUE(second.Loaded());
    first = std::move(second);
    EXPECT_TRUE(first.Loaded());
    first.Reset();
    EXPECT_FALSE(first.Loaded());
}
}  // namespace
