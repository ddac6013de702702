#pragma once

#include "layout/LayoutItem.h"

namespace ZEV {

// Sizes the root to the window's client area and places every control.
// hZOrderStart HWND_TOP (0) or a window stacks the controls, and so their tab
// order, in the order the layout places them, after that window;
// HWND_NOTOPMOST, HWND_BOTTOM and HWND_TOPMOST leave the z-order alone.
// Answers the root's SetSize result; false when the window does not exist.
bool ApplyLayout(HWND hWnd, ILayoutItem& root, HWND hZOrderStart = HWND_TOP);

} // namespace ZEV
