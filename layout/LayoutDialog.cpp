#include "layout/LayoutDialog.h"

#include "layout/ApplyLayout.h"

namespace ZEV {

CLayoutDialog::CLayoutDialog() : m_bGrowHorizontally(true), m_bGrowVertically(true)
{
}

CLayoutDialog::CLayoutDialog(UINT nIDTemplate, ::CWnd* pParentWnd)
    : ::CDialog(nIDTemplate, pParentWnd), m_bGrowHorizontally(true), m_bGrowVertically(true)
{
}

CLayoutDialog::CLayoutDialog(LPCSTR lpszTemplateName, ::CWnd* pParentWnd)
    : ::CDialog(lpszTemplateName, pParentWnd), m_bGrowHorizontally(true), m_bGrowVertically(true)
{
}

LRESULT CLayoutDialog::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    if (m_pRootItem) {
        if (message == WM_SIZE)
            ArrangeForSize(LOWORD(lParam), HIWORD(lParam));
        else if (message == WM_GETMINMAXINFO)
            LimitTracking(reinterpret_cast<MINMAXINFO*>(lParam));
    }
    return ::CDialog::WindowProc(message, wParam, lParam);
}

bool CLayoutDialog::InstallLayout(const ILayoutItem& root)
{
    SetRootItem(root);
    if (!ApplyLayout(m_hWnd, *m_pRootItem, HWND_TOP))
        return false;
    RECT rc;
    ::GetWindowRect(m_hWnd, &rc);
    ::SetWindowPos(m_hWnd, NULL, 0, 0, rc.right - rc.left, rc.bottom - rc.top, SWP_NOMOVE | SWP_NOZORDER);
    return true;
}

void CLayoutDialog::ArrangeForSize(int nWidth, int nHeight)
{
    // Controls are moved without redrawing; one invalidation repaints all.
    m_pRootItem->SetSize(nWidth, nHeight);
    m_pRootItem->Move(0, 0, 0, nullptr);
    ::RedrawWindow(m_hWnd, NULL, NULL, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
}

void CLayoutDialog::LimitTracking(MINMAXINFO* pInfo)
{
    RECT rcWindow, rcClient;
    if (!::GetWindowRect(m_hWnd, &rcWindow) || !::GetClientRect(m_hWnd, &rcClient))
        return;
    int nMinWidth, nMinHeight;
    if (!m_pRootItem->GetMinSize(nMinWidth, nMinHeight))
        return;
    int nFrameX = (rcWindow.right - rcWindow.left) - (rcClient.right - rcClient.left);
    int nFrameY = (rcWindow.bottom - rcWindow.top) - (rcClient.bottom - rcClient.top);
    pInfo->ptMinTrackSize.x = nMinWidth + nFrameX;
    pInfo->ptMinTrackSize.y = nMinHeight + nFrameY;
    if (!m_bGrowHorizontally)
        pInfo->ptMaxTrackSize.x = pInfo->ptMinTrackSize.x;
    if (!m_bGrowVertically)
        pInfo->ptMaxTrackSize.y = pInfo->ptMinTrackSize.y;
}

} // namespace ZEV
