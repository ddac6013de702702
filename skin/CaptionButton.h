#pragma once

#include <windows.h>

#include "skin/SharedGdiObjectT.h"

namespace ZEV {

// One caption button slot: a strip of state images, a position whose negative
// coordinates count from the window's right or bottom edge, its states and
// the system command it stands for.
struct TCaptionButton
{
    CSharedBitmap image;
    int states = 0;
    COLORREF transparentColor = 0;
    int x = 0;
    int y = 0;
    int w = 0;
    int h = 0;
    bool visible = false;
    bool enabled = true;
    bool hot = false;
    bool pressed = false;
    int hitCode = HTNOWHERE;
    UINT command = 0;

    bool HasImage() const { return image && states > 0; }

    // In window coordinates for a window of nWidth x nHeight; empty when invisible.
    RECT GetRect(int nWidth, int nHeight) const;
    // 3 disabled, 1 pressed, 2 hot, 0 normal.
    int GetStateImage() const;
    void Draw(HDC hdc, int nWidth, int nHeight) const;
};

} // namespace ZEV
