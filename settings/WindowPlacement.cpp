#include "settings/WindowPlacement.h"

#include "settings/ProfileKeys.h"

namespace ZEV {

namespace {

// Larger extents come from a damaged record, not from a window.
const LONGLONG MAX_EXTENT = 4000;

bool IsCoordinate(LONGLONG llValue)
{
    return llValue >= LONG_MIN && llValue <= LONG_MAX;
}

bool IsExtent(LONGLONG llFrom, LONGLONG llTo)
{
    LONGLONG llExtent = llTo - llFrom;
    return llExtent >= 0 && llExtent <= MAX_EXTENT;
}

}  // namespace

bool RestoreWindowPlacement(const CProfileSection& section, HWND hWnd, bool bRestoreSize,
                            bool bApplyShow, bool* pbMaximize)
{
    if (section.ReadDword(INI_KEY_VALID, INI_DEFAULT_VALID) == 0)
        return false;
    WINDOWPLACEMENT placement = {};
    placement.length = sizeof(placement);
    if (!GetWindowPlacement(hWnd, &placement))
        return false;
    const RECT& rcNormal = placement.rcNormalPosition;
    LONGLONG llLeft = section.ReadInt64(INI_KEY_SX, INI_DEFAULT_SX);
    LONGLONG llTop = section.ReadInt64(INI_KEY_SY, INI_DEFAULT_SY);
    LONGLONG llRight = llLeft + (rcNormal.right - rcNormal.left);
    LONGLONG llBottom = llTop + (rcNormal.bottom - rcNormal.top);
    if (bRestoreSize) {
        llRight = section.ReadInt64(INI_KEY_EX, INI_DEFAULT_EX);
        llBottom = section.ReadInt64(INI_KEY_EY, INI_DEFAULT_EY);
    }
    // Checked on the full numbers, so that a huge value cannot wrap round
    // into a plausible rectangle.
    if (!IsCoordinate(llLeft) || !IsCoordinate(llTop) || !IsCoordinate(llRight)
        || !IsCoordinate(llBottom))
        return false;
    if (!IsExtent(llLeft, llRight) || !IsExtent(llTop, llBottom))
        return false;

    placement.flags = WPF_SETMINPOSITION;
    placement.showCmd = SW_HIDE;
    placement.rcNormalPosition = {static_cast<LONG>(llLeft), static_cast<LONG>(llTop),
                                  static_cast<LONG>(llRight), static_cast<LONG>(llBottom)};
    SetWindowPlacement(hWnd, &placement);
    if (bApplyShow)
        ShowWindow(hWnd, section.ReadDword(INI_KEY_SHOW, INI_DEFAULT_SHOW) ? SW_SHOW : SW_HIDE);
    bool bMaximize = section.ReadDword(INI_KEY_MAXIMIZE, INI_DEFAULT_MAXIMIZE) != 0;
    if (pbMaximize != nullptr)
        *pbMaximize = bMaximize;
    else if (bMaximize)
        ShowWindow(hWnd, SW_MAXIMIZE);
    return true;
}

}  // namespace ZEV
