#pragma once

#include <windows.h>

#include "skin/CaptionButton.h"
#include "skin/CaptionPainter.h"
#include "skin/MenuSkin.h"
#include "skin/SharedGdiObjectT.h"
#include "skin/WindowSubclasser.h"

namespace ZEV {

// Draws the non-client area of one window: caption, frame, caption buttons and
// menu bar, and makes its menus owner-drawn. Start-up fills one of these as the
// set-up object and installs it; every skinned window then gets a copy.
class CWindowSkin : public CWindowSubclasser
{
public:
    enum
    {
        SLOT_CLOSE,
        SLOT_MAXIMIZE,
        SLOT_RESTORE,
        SLOT_MINIMIZE,
        SLOT_SPARE,
        BUTTON_SLOTS,
        NO_BUTTON = BUTTON_SLOTS
    };

    CWindowSkin();

    // Skin elements.
    // Selected menu items are filled with the active caption colour.
    void SetCaptionPainter(const CCaptionPainter& painter);
    // The frame is filled with a pattern brush made from this image.
    void SetFrameImage(const CSharedBitmap& image);
    void SetTextColor(COLORREF cr) { m_crText = cr; }
    void SetMenuTextColors(COLORREF crText, COLORREF crBack) { m_menuSkin.SetTextColors(crText, crBack); }
    // A strip of nStates images for the button of nCommand (SC_CLOSE, SC_MAXIMIZE,
    // SC_RESTORE, SC_MINIMIZE); negative x or y count from the right or bottom edge.
    void SetCaptionButton(const CSharedBitmap& strip, int nStates, COLORREF crTransparent, int x,
                          int y, UINT nCommand);
    void CopySkinFrom(const CWindowSkin& other);

    const CCaptionPainter& GetCaptionPainter() const { return m_captionPainter; }
    const CSharedBitmap& GetFrameImage() const { return m_frameImage; }
    COLORREF GetTextColor() const { return m_crText; }
    const CMenuSkin& GetMenuSkin() const { return m_menuSkin; }
    const TCaptionButton& GetButton(int nSlot) const;
    RECT GetButtonRect(int nSlot) const;
    int GetPressedButton() const { return m_nPressed; }
    int GetFrameWidth() const { return m_nFrameWidth; }
    int GetFrameHeight() const { return m_nFrameHeight; }
    int GetCaptionHeight() const { return m_nCaptionHeight; }
    bool IsActive() const { return m_bActive; }

    // Installs the skin process-wide: one hook instance with a copy of this
    // object's elements, and a CBT hook on the calling thread. A second call
    // changes nothing. With bVersionCheck, some old Windows versions stay
    // unskinned. Answers whether a skin is installed afterwards.
    bool Install(bool bVersionCheck);

    // (WOW64 × 0x1000000) + (platform × 0x10000) + (major × 0x100) + minor.
    static DWORD MakeVersionKey(bool bWow64, DWORD dwPlatform, DWORD dwMajor, DWORD dwMinor);
    static bool IsExcludedVersion(DWORD dwKey);

    // Set by the hook before attaching a window that is still being created:
    // its creation computes the frame anyway.
    void SetAttachingAtCreation(bool b) { m_bAttachingAtCreation = b; }

protected:
    void PreAttach(HWND hWnd) override;
    bool OnAttached() override;
    void OnDetaching() override;
    LRESULT WindowProc(UINT nMsg, WPARAM wParam, LPARAM lParam) override;

private:
    LRESULT OnNcCalcSize(WPARAM wParam, LPARAM lParam);
    LRESULT OnNcHitTest(LPARAM lParam);
    LRESULT OnNcLButtonDown(WPARAM wParam, LPARAM lParam);
    LRESULT OnNcButtonOffer(UINT nMsg, WPARAM wParam, LPARAM lParam);
    LRESULT OnLButtonUp(WPARAM wParam, LPARAM lParam);
    LRESULT OnMouseMove(WPARAM wParam, LPARAM lParam);
    LRESULT OnNcMouseMove(WPARAM wParam, LPARAM lParam);
    LRESULT OnNcMouseLeave(WPARAM wParam, LPARAM lParam);
    LRESULT OnCtlColor(UINT nMsg, WPARAM wParam, LPARAM lParam);
    LRESULT OnMoveOrSize(UINT nMsg, WPARAM wParam, LPARAM lParam);
    LRESULT OnInitMenu(UINT nMsg, WPARAM wParam, LPARAM lParam);
    LRESULT DefaultWithoutSysMenu(UINT nMsg, WPARAM wParam, LPARAM lParam);

    void MeasureFrame(HWND hWnd);
    void UpdateButtonVisibility();
    // Hot and pressed looks for the hit code under the mouse; true when any changed.
    bool UpdateButtonStates(int nHitCode);
    int FindButton(int nHitCode) const;
    bool ReleaseButton(int nHitCode);
    int HitTestClientPoint(LPARAM lParam);
    int MenuBarHeight() const;
    bool TakeOverMenuBar();

    void PaintNonClient();
    void PaintFrame(HDC hdc, int nWidth, int nHeight, const RECT& rcClient) const;
    void PaintMenuBar(HDC hdc, const RECT& rcWindow);
    void PaintPlainBarItem(HDC hdc, HMENU hMenu, int nPos, const RECT& rcItem, bool bGrayed) const;
    RECT GetCaptionRect(int nWidth) const;
    void RebuildRegion();
    void ApplyRegion();
    // Posted to apply a rebuilt region once the current window change is over.
    static UINT ApplyRegionMessage();

    CCaptionPainter m_captionPainter;
    CSharedBitmap m_frameImage;
    CSharedBrush m_frameBrush;
    COLORREF m_crText;
    TCaptionButton m_buttons[BUTTON_SLOTS];
    CMenuSkin m_menuSkin;
    int m_nFrameWidth;
    int m_nFrameHeight;
    int m_nCaptionHeight;

    int m_nPressed;
    bool m_bActive;
    bool m_bTrackingLeave;
    bool m_bIgnoreStyleChange;
    int m_nSysMenuHidden;
    bool m_bRegionOutdated;
    bool m_bAttachingAtCreation;
    CSharedGdiObjectT<HRGN> m_region;
};

} // namespace ZEV
