#include "layout/LayoutContainer.h"

namespace ZEV {

namespace {

// Offset of a child of extent nSize in a cell of extent nCell. Mode 0 means
// start horizontally but centre vertically. Fill asks the child to take the
// cell's extent through setSize and centres it when it refuses.
template <class TSetSize>
int CellOffset(int nMode, bool bVertical, int nCell, int nSize, TSetSize setSize)
{
    int nFree = nCell - nSize;
    switch (nMode) {
    case LAYOUT_START_CENTER:
        return bVertical ? nFree / 2 : 0;
    case LAYOUT_START:
        return 0;
    case LAYOUT_CENTER:
        return nFree / 2;
    case LAYOUT_FILL:
        return setSize() ? 0 : nFree / 2;
    default:
        return nFree;
    }
}

} // namespace

CLayoutContainer::CLayoutContainer()
    : m_bSizeValid(false), m_nWidth(0), m_nHeight(0), m_rcMargin(), m_nHGap(0), m_nVGap(0)
{
}

bool CLayoutContainer::GetSize(int& nWidth, int& nHeight)
{
    if (!m_bSizeValid) {
        if (!GetMinSize(m_nWidth, m_nHeight))
            return false;
        m_bSizeValid = true;
    }
    nWidth = m_nWidth;
    nHeight = m_nHeight;
    return true;
}

bool CLayoutContainer::SetSize(int nWidth, int nHeight)
{
    m_nWidth = nWidth;
    m_nHeight = nHeight;
    m_bSizeValid = true;
    return true;
}

void CLayoutContainer::SetMargins(int nLeft, int nTop, int nRight, int nBottom)
{
    m_rcMargin.left = nLeft;
    m_rcMargin.top = nTop;
    m_rcMargin.right = nRight;
    m_rcMargin.bottom = nBottom;
}

void CLayoutContainer::SetGaps(int nHorizontal, int nVertical)
{
    m_nHGap = nHorizontal;
    m_nVGap = nVertical;
}

void CLayoutContainer::AddMargins(int& nWidth, int& nHeight) const
{
    nWidth += m_rcMargin.left + m_rcMargin.right;
    nHeight += m_rcMargin.top + m_rcMargin.bottom;
}

void CLayoutContainer::PlaceChild(const TLayoutCell& cell, int cx, int cy, int cw, int ch, int x0,
                                  int y0, DWORD dwTag, HWND* phChain)
{
    ILayoutItem* pItem = cell.m_pItem.get();
    if (pItem == nullptr)
        return;
    int w = 0, h = 0;
    if (x0 >= 0 && pItem->GetSize(w, h)) {
        int nOffset = CellOffset(cell.m_nHMode, false, cw, w, [&] { return pItem->SetSize(cw, h); });
        pItem->Move(x0 + cx + nOffset, -1, dwTag, phChain);
    }
    // Asked again: the width may just have changed.
    if (y0 >= 0 && pItem->GetSize(w, h)) {
        int nOffset = CellOffset(cell.m_nVMode, true, ch, h, [&] { return pItem->SetSize(w, ch); });
        pItem->Move(-1, y0 + cy + nOffset, dwTag, phChain);
    }
}

} // namespace ZEV
