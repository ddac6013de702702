#include <gtest/gtest.h>

#include "skin/DibImage.h"
#include "skin/WindowMap.h"
#include "support/ZevException.h"
#include "tests/skin/SkinTestSupport.h"

using namespace ZEV;

namespace {

const DWORD RED = 0xFF0000, GREEN = 0x00FF00, BLUE = 0x0000FF, WHITE = 0xFFFFFF;

// Draws the 4 x 2 image onto a white canvas and answers the canvas.
CDibImage DrawOnWhite(const CSharedBitmap& image, COLORREF crTransparent)
{
    CDibImage canvas = CDibImage::Create(4, 2);
    canvas.Transform([](DWORD) { return WHITE; });
    HDC hdc = CreateCompatibleDC(nullptr);
    HGDIOBJ hOld = SelectObject(hdc, canvas.GetBitmap().Get());
    RECT rc = {0, 0, 4, 2};
    DrawImageTransparent(hdc, rc, image.Get(), rc, crTransparent);
    SelectObject(hdc, hOld);
    DeleteDC(hdc);
    return canvas;
}

} // namespace

TEST(DibImageTest, BottomLeftPixelGivesTheTransparentColour)
{
    // Bottom-left is green: every green pixel is left out.
    CSharedBitmap image = skintest::MakeBitmap24(4, 2, {RED, GREEN, BLUE, GREEN, GREEN, RED, GREEN, BLUE});

    CDibImage corner = DrawOnWhite(image, CLR_BOTTOM_LEFT_PIXEL);
    EXPECT_EQ(RED, corner.GetPixel(0, 0) & 0xFFFFFF);
    EXPECT_EQ(WHITE, corner.GetPixel(1, 0) & 0xFFFFFF);
    EXPECT_EQ(BLUE, corner.GetPixel(2, 0) & 0xFFFFFF);
    EXPECT_EQ(WHITE, corner.GetPixel(0, 1) & 0xFFFFFF);
    EXPECT_EQ(RED, corner.GetPixel(1, 1) & 0xFFFFFF);

    // An explicit colour (COLORREF red) leaves red out instead.
    CDibImage explicitRed = DrawOnWhite(image, RGB(255, 0, 0));
    EXPECT_EQ(WHITE, explicitRed.GetPixel(0, 0) & 0xFFFFFF);
    EXPECT_EQ(GREEN, explicitRed.GetPixel(1, 0) & 0xFFFFFF);

    // A value with its top byte set copies the image as it is.
    CDibImage opaque = DrawOnWhite(image, 0xFF000000);
    EXPECT_EQ(GREEN, opaque.GetPixel(1, 0) & 0xFFFFFF);
    EXPECT_EQ(GREEN, opaque.GetPixel(0, 1) & 0xFFFFFF);
}

TEST(DibImageTest, ColourReplacementComparesRedGreenBlueOnly)
{
    CDibImage image = CDibImage::Create(2, 1);
    image.SetPixel(0, 0, 0xFF123456);  // alpha byte set
    image.SetPixel(1, 0, 0x00123457);
    image.ReplaceColor(RGB(0x12, 0x34, 0x56), RGB(1, 2, 3));
    EXPECT_EQ(0x010203u, image.GetPixel(0, 0));
    EXPECT_EQ(0x123457u, image.GetPixel(1, 0));
    EXPECT_EQ(0x563412u, CDibImage::ToPixel(0x123456));
    EXPECT_TRUE(CDibImage::CopyOf(nullptr).IsEmpty());
}

TEST(WindowMapTest, RemovalKeepsTheLastHitCacheTrue)
{
    CWindowMap& map = CWindowMap::Instance();
    const int nBefore = map.GetCount();
    HWND hA = reinterpret_cast<HWND>(0x7FFF0010);
    HWND hB = reinterpret_cast<HWND>(0x7FFF0020);
    map.Add(hA, nullptr);
    map.Add(hB, nullptr);
    ASSERT_EQ(nBefore + 1, map.Find(hB));  // cached now
    map.Remove(hA);
    ASSERT_EQ(nBefore, map.Find(hB));
    EXPECT_EQ(hB, map.At(map.Find(hB)).hWnd);
    EXPECT_EQ(-1, map.Find(hA));
    map.Remove(hB);
    EXPECT_EQ(nBefore, map.GetCount());
    EXPECT_THROW(map.At(nBefore), CIndexOutOfBoundsException);
    EXPECT_THROW(map.At(-1), CIndexOutOfBoundsException);
}
