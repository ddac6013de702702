#include "layout/LayoutPair.h"

#include <algorithm>

namespace ZEV {

CLayoutPair::CLayoutPair() : m_nPercent(50), m_bHorizontal(true)
{
}

CLayoutPair::CLayoutPair(const TLayoutCell& first, const TLayoutCell& second, bool bHorizontal,
                         int nPercent)
    : m_first(first), m_second(second), m_nPercent(nPercent), m_bHorizontal(bHorizontal)
{
}

ILayoutItem* CLayoutPair::Clone() const
{
    return new CLayoutPair(*this);
}

bool CLayoutPair::GetMinSize(int& nWidth, int& nHeight)
{
    if (!m_first.m_pItem || !m_second.m_pItem)
        return false;
    int w = 0, h = 0;
    for (const TLayoutCell* pCell : {&m_first, &m_second}) {
        int cw, ch;
        if (!pCell->m_pItem->GetMinSize(cw, ch))
            continue;
        if (m_bHorizontal) {
            h = std::max(h, ch);
            w += (w != 0 ? m_nHGap : 0) + cw;
        } else {
            w = std::max(w, cw);
            h += (h != 0 ? m_nVGap : 0) + ch;
        }
    }
    AddMargins(w, h);
    nWidth = w;
    nHeight = h;
    return true;
}

void CLayoutPair::Move(int x, int y, DWORD dwTag, HWND* phChain)
{
    int W, H;
    if (!GetSize(W, H))
        return;
    int nAvailW = W - m_rcMargin.left - m_rcMargin.right;
    int nAvailH = H - m_rcMargin.top - m_rcMargin.bottom;
    int left = m_rcMargin.left, top = m_rcMargin.top;
    if (m_bHorizontal) {
        nAvailW -= m_nHGap;
        int nFirst = nAvailW * m_nPercent / 100;
        PlaceChild(m_first, left, top, nFirst, nAvailH, x, y, dwTag, phChain);
        PlaceChild(m_second, left + m_nHGap + nFirst, top, nAvailW - nFirst, nAvailH, x, y, dwTag,
                   phChain);
    } else {
        nAvailH -= m_nVGap;
        int nFirst = nAvailH * m_nPercent / 100;
        PlaceChild(m_first, left, top, nAvailW, nFirst, x, y, dwTag, phChain);
        PlaceChild(m_second, left, top + m_nVGap + nFirst, nAvailW, nAvailH - nFirst, x, y, dwTag,
                   phChain);
    }
}

} // namespace ZEV
