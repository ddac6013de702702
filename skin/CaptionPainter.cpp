#include "skin/CaptionPainter.h"

#include "framework/JapaneseFont.h"

namespace ZEV {

namespace {

const int ICON_SIZE = 16;
const int TEXT_GAP = 4;

int ScreenDpi(int nIndex)
{
    HDC hdc = GetDC(nullptr);
    int nDpi = GetDeviceCaps(hdc, nIndex);
    ReleaseDC(nullptr, hdc);
    return nDpi > 0 ? nDpi : 96;
}

} // namespace

CCaptionPainter::CCaptionPainter()
    : CCaptionPainter(GetSysColor(COLOR_ACTIVECAPTION), GetSysColor(COLOR_INACTIVECAPTION),
                      GetSysColor(COLOR_CAPTIONTEXT), GetSysColor(COLOR_INACTIVECAPTIONTEXT), 0, 0)
{
}

CCaptionPainter::CCaptionPainter(COLORREF crActive, COLORREF crInactive, COLORREF crActiveText,
                                 COLORREF crInactiveText, int nEllipseWidth, int nEllipseHeight)
    : m_crActive(crActive), m_crInactive(crInactive), m_crActiveText(crActiveText),
      m_crInactiveText(crInactiveText), m_nEllipseWidth(nEllipseWidth),
      m_nEllipseHeight(nEllipseHeight)
{
}

HFONT CCaptionPainter::GetFont() const
{
    if (m_font)
        return m_font.Get();
    NONCLIENTMETRICSW ncm = {};
    ncm.cbSize = sizeof(ncm);
    if (!SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof(ncm), &ncm, 0)) {
        ncm.cbSize = offsetof(NONCLIENTMETRICSW, iPaddedBorderWidth);
        SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, ncm.cbSize, &ncm, 0);
    }
    m_font = CSharedFont(CreateJapaneseFont(ncm.lfCaptionFont));
    return m_font.Get();
}

void CCaptionPainter::Paint(HDC hdc, HWND hWnd, const RECT& rcBand, const RECT& rcCaption,
                            int nTextRight, bool bActive) const
{
    int nSaved = SaveDC(hdc);
    PaintBackground(hdc, rcBand, bActive);
    RECT rcText = rcCaption;
    rcText.left = PaintIcon(hdc, hWnd, rcCaption);
    rcText.right = nTextRight;
    PaintText(hdc, hWnd, rcText, bActive);
    RestoreDC(hdc, nSaved);
}

void CCaptionPainter::PaintBackground(HDC hdc, const RECT& rcBand, bool bActive) const
{
    if (m_nEllipseWidth > 0 || m_nEllipseHeight > 0) {
        // The region reaches below the band, so only its top corners are round.
        HRGN hrgn = CreateRoundRectRgn(rcBand.left, rcBand.top, rcBand.right + 1,
                                       rcBand.bottom + m_nEllipseHeight + 1, m_nEllipseWidth,
                                       m_nEllipseHeight);
        ExtSelectClipRgn(hdc, hrgn, RGN_AND);
        DeleteObject(hrgn);
    }
    HBRUSH hbr = CreateSolidBrush(bActive ? m_crActive : m_crInactive);
    FillRect(hdc, &rcBand, hbr);
    DeleteObject(hbr);
}

int CCaptionPainter::PaintIcon(HDC hdc, HWND hWnd, const RECT& rcCaption) const
{
    HICON hIcon = reinterpret_cast<HICON>(SendMessageW(hWnd, WM_GETICON, ICON_SMALL, 0));
    if (!hIcon)
        return rcCaption.left + TEXT_GAP;
    int cx = ICON_SIZE * ScreenDpi(LOGPIXELSX) / 96;
    int cy = ICON_SIZE * ScreenDpi(LOGPIXELSY) / 96;
    int x = rcCaption.left + 2;
    DrawIconEx(hdc, x, rcCaption.top + 1, hIcon, cx, cy, 0, nullptr, DI_NORMAL);
    return x + cx + TEXT_GAP;
}

void CCaptionPainter::PaintText(HDC hdc, HWND hWnd, RECT rcText, bool bActive) const
{
    wchar_t szText[257] = {};
    int nLength = GetWindowTextW(hWnd, szText, 257);
    if (nLength <= 0 || rcText.right <= rcText.left)
        return;
    HGDIOBJ hOldFont = SelectObject(hdc, GetFont());
    SetBkMode(hdc, TRANSPARENT);
    SetTextColor(hdc, bActive ? m_crActiveText : m_crInactiveText);
    DrawTextW(hdc, szText, nLength, &rcText,
              DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX | DT_END_ELLIPSIS);
    SelectObject(hdc, hOldFont);
}

} // namespace ZEV
