#pragma once

#include <windows.h>

#include <memory>

#include "skin/DibImage.h"
#include "skin/SharedGdiObjectT.h"
#include "skin/WindowSkin.h"

namespace ZEV {

// The colours start-up hands to the skin.
struct TSkinColors
{
    TSkinColors();

    COLORREF keyColor;                  // replaced by faceColor in the frame image
    COLORREF textColor;
    COLORREF faceColor;                 // also replaces black in the button images
    COLORREF activeCaptionTextColor;
    COLORREF activeCaptionColor;
    COLORREF inactiveCaptionTextColor;
    COLORREF inactiveCaptionColor;
    bool versionCheck;
};

// v × pixels per inch / 96, truncated toward zero; the screen's pixels per
// inch are read on every call.
int ScaleX(int v);
int ScaleY(int v);
int ScaleByDpi(int v, int nPixelsPerInch);

// Pixel edits of the button images, in the bitmap's 0x00RRGGBB order.
// Maximise: blue = green, green = min(255, 230 × red / 255), red kept.
DWORD TintMaximizePixel(DWORD dwPixel);
// Minimise: red and blue swapped.
DWORD SwapRedBluePixel(DWORD dwPixel);

// The edited 32-bit images start-up derives from the two skin bitmaps; empty
// when the source is empty.
CDibImage MakeFrameImage(HBITMAP hFrame, const TSkinColors& colors);
CDibImage MakeCloseImage(HBITMAP hButtons, const TSkinColors& colors);
CDibImage MakeMaximizeImage(HBITMAP hButtons, const TSkinColors& colors);
CDibImage MakeMinimizeImage(HBITMAP hButtons, const TSkinColors& colors);

// The filled set-up object, before it is installed.
std::unique_ptr<CWindowSkin> BuildSkin(const TSkinColors& colors, HBITMAP hFrame, HBITMAP hButtons,
                                       int nButtonStates);

// Builds the skin's images from the frame bitmap and the button strip and
// installs the skin for the calling thread (once per process).
void SetupSkin(const TSkinColors& colors, HBITMAP hFrame, HBITMAP hButtons, int nButtonStates);

// A bitmap resource as a DIB section, shared; empty when it cannot be loaded.
CSharedBitmap LoadSkinBitmap(HINSTANCE hInstance, UINT nId);

} // namespace ZEV
