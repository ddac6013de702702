#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "skin/SharedGdiObjectT.h"

namespace skintest {

// The colours the program itself installs.
const COLORREF ACTIVE_CAPTION = 0xFF0000;
const COLORREF INACTIVE_CAPTION = 0x000000;
const COLORREF FACE = 0xFFA37A;

// A 24-bit bitmap of the given pixels (0x00RRGGBB, row by row from the top).
ZEV::CSharedBitmap MakeBitmap24(int nWidth, int nHeight, const std::vector<DWORD>& pixels);
// A 42 x 15 strip of three 14 x 15 red discs on black, like the program's own.
ZEV::CSharedBitmap MakeButtonStrip();
// A 90 x 90 white texture with grey hatching.
ZEV::CSharedBitmap MakeFrameTexture();

// Installs the skin once per process with the program's colours and the test images.
void EnsureSkinInstalled();

// An in-memory dialog template with one button.
std::vector<WORD> MakeDialogTemplate(const char* pszTitleSjis, DWORD dwStyle, short cx, short cy);
// A modeless dialog from MakeDialogTemplate, shown and active.
HWND CreateTestDialog(const char* pszTitleSjis, DWORD dwStyle = 0);

// Dispatches what is queued for this thread.
void PumpMessages();
// Takes a posted message for hWnd out of the queue; false when none is there.
bool TakePosted(HWND hWnd, UINT nMsg, MSG& msg);

POINT ScreenCentre(HWND hWnd, const RECT& rcInWindow);

} // namespace skintest
