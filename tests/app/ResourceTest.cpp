#include <windows.h>

#include <gtest/gtest.h>

#include "res/resource.h"

namespace {

HINSTANCE Module() {
    return GetModuleHandleA(NULL);
}

// The pixel format and size of a bitmap loaded as the skin loads it.
DIBSECTION LoadSkinBitmap(int nId, HBITMAP* phBitmap) {
    DIBSECTION dib = {};
    *phBitmap = static_cast<HBITMAP>(LoadImageA(Module(), MAKEINTRESOURCEA(nId), IMAGE_BITMAP, 0, 0,
                                                LR_CREATEDIBSECTION));
    if (*phBitmap != NULL) {
        GetObjectA(*phBitmap, sizeof(dib), &dib);
    }
    return dib;
}

}  // namespace

TEST(ResourceTest, IconAndSkinBitmapsHaveTheirSizesAndDepth) {
    EXPECT_NE(nullptr, LoadIconA(Module(), MAKEINTRESOURCEA(IDR_MAINFRAME)));
    HICON hSmall = static_cast<HICON>(
        LoadImageA(Module(), MAKEINTRESOURCEA(IDR_MAINFRAME), IMAGE_ICON, 16, 16, 0));
    EXPECT_NE(nullptr, hSmall);
    DestroyIcon(hSmall);

    HBITMAP hFrame = NULL;
    DIBSECTION frame = LoadSkinBitmap(IDB_SKIN_FRAME, &hFrame);
    ASSERT_NE(nullptr, hFrame);
    EXPECT_EQ(90, frame.dsBm.bmWidth);
    EXPECT_EQ(90, frame.dsBm.bmHeight);
    EXPECT_EQ(24, frame.dsBm.bmBitsPixel);
    DeleteObject(hFrame);

    HBITMAP hButtons = NULL;
    DIBSECTION buttons = LoadSkinBitmap(IDB_SKIN_BUTTONS, &hButtons);
    ASSERT_NE(nullptr, hButtons);
    EXPECT_EQ(42, buttons.dsBm.bmWidth);
    EXPECT_EQ(15, buttons.dsBm.bmHeight);
    EXPECT_EQ(24, buttons.dsBm.bmBitsPixel);
    // The skin takes the bottom-left pixel as the transparent colour after
    // turning black into its face colour: the corner must be pure black, and
    // each state's face must be drawn (not black) at its centre.
    HDC hdc = CreateCompatibleDC(NULL);
    HGDIOBJ hOld = SelectObject(hdc, hButtons);
    EXPECT_EQ(RGB(0, 0, 0), GetPixel(hdc, 0, 14));
    for (int nState = 0; nState < 3; ++nState) {
        EXPECT_NE(RGB(0, 0, 0), GetPixel(hdc, nState * 14 + 7, 7)) << "state " << nState;
    }
    SelectObject(hdc, hOld);
    DeleteDC(hdc);
    DeleteObject(hButtons);
}
