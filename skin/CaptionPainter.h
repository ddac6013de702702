#pragma once

#include <windows.h>

#include "skin/SharedGdiObjectT.h"

namespace ZEV {

// Paints a window caption: background in the active or inactive colour with
// rounded top corners, the small icon and the window text.
class CCaptionPainter
{
public:
    CCaptionPainter();
    CCaptionPainter(COLORREF crActive, COLORREF crInactive, COLORREF crActiveText,
                    COLORREF crInactiveText, int nEllipseWidth, int nEllipseHeight);

    // rcBand: the area filled with the caption colour (window coordinates);
    // rcCaption: the caption proper, where icon and text go; nTextRight: the
    // text stops there (left of the caption buttons).
    void Paint(HDC hdc, HWND hWnd, const RECT& rcBand, const RECT& rcCaption, int nTextRight,
               bool bActive) const;

    COLORREF GetActiveColor() const { return m_crActive; }
    COLORREF GetInactiveColor() const { return m_crInactive; }
    COLORREF GetActiveTextColor() const { return m_crActiveText; }
    COLORREF GetInactiveTextColor() const { return m_crInactiveText; }
    int GetEllipseWidth() const { return m_nEllipseWidth; }
    int GetEllipseHeight() const { return m_nEllipseHeight; }

    // The system's caption font with the Shift-JIS character set, made on first use.
    HFONT GetFont() const;

private:
    void PaintBackground(HDC hdc, const RECT& rcBand, bool bActive) const;
    int PaintIcon(HDC hdc, HWND hWnd, const RECT& rcCaption) const;
    void PaintText(HDC hdc, HWND hWnd, RECT rcText, bool bActive) const;

    COLORREF m_crActive;
    COLORREF m_crInactive;
    COLORREF m_crActiveText;
    COLORREF m_crInactiveText;
    int m_nEllipseWidth;
    int m_nEllipseHeight;
    mutable CSharedFont m_font;
};

} // namespace ZEV
