#include "layout/LayoutWindow.h"

namespace ZEV {

CLayoutWindow::CLayoutWindow(HWND hWnd) : m_hWnd(hWnd), m_nMinWidth(0), m_nMinHeight(0)
{
    RECT rc;
    if (::GetWindowRect(hWnd, &rc)) {
        m_nMinWidth = rc.right - rc.left;
        m_nMinHeight = rc.bottom - rc.top;
    }
}

ILayoutItem* CLayoutWindow::Clone() const
{
    return new CLayoutWindow(m_hWnd);
}

bool CLayoutWindow::GetSize(int& nWidth, int& nHeight)
{
    RECT rc;
    if (!::GetWindowRect(m_hWnd, &rc)) {
        nWidth = 0;
        nHeight = 0;
        return false;
    }
    nWidth = rc.right - rc.left;
    nHeight = rc.bottom - rc.top;
    return true;
}

bool CLayoutWindow::GetMinSize(int& nWidth, int& nHeight)
{
    nWidth = m_nMinWidth;
    nHeight = m_nMinHeight;
    return true;
}

bool CLayoutWindow::SetSize(int nWidth, int nHeight)
{
    ::SetWindowPos(m_hWnd, NULL, 0, 0, nWidth, nHeight, SWP_NOREDRAW | SWP_NOZORDER | SWP_NOMOVE);
    return true;
}

void CLayoutWindow::Move(int x, int y, DWORD dwTag, HWND* phChain)
{
    if (y >= 0 && dwTag == LAYOUT_ZORDER_TAG && phChain != nullptr) {
        ::SetWindowPos(m_hWnd, *phChain, 0, 0, 0, 0, SWP_NOREDRAW | SWP_NOMOVE | SWP_NOSIZE);
        *phChain = m_hWnd;
    }
    HWND hParent = ::GetParent(m_hWnd);
    RECT rc;
    if (hParent == NULL || !::GetWindowRect(m_hWnd, &rc))
        return;
    POINT pt = {rc.left, rc.top};
    if (!::ScreenToClient(hParent, &pt))
        return;
    if (x < 0)
        x = pt.x;
    if (y < 0)
        y = pt.y;
    ::SetWindowPos(m_hWnd, NULL, x, y, 0, 0, SWP_NOREDRAW | SWP_NOZORDER | SWP_NOSIZE);
}

} // namespace ZEV
