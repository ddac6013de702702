#include "layout/ApplyLayout.h"

namespace ZEV {

bool ApplyLayout(HWND hWnd, ILayoutItem& root, HWND hZOrderStart)
{
    if (!::IsWindow(hWnd))
        return false;
    RECT rc;
    ::GetClientRect(hWnd, &rc);
    bool bNoZOrder = hZOrderStart == HWND_NOTOPMOST || hZOrderStart == HWND_BOTTOM ||
                     hZOrderStart == HWND_TOPMOST;
    DWORD dwTag = bNoZOrder ? 0 : LAYOUT_ZORDER_TAG;
    HWND hChain = bNoZOrder ? NULL : hZOrderStart;
    bool bResult = root.SetSize(rc.right - rc.left, rc.bottom - rc.top);
    root.Move(rc.left, rc.top, dwTag, bNoZOrder ? nullptr : &hChain);
    ::InvalidateRect(hWnd, NULL, FALSE);
    return bResult;
}

} // namespace ZEV
