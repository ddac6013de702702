#include "layout/LayoutBorder.h"

#include <algorithm>

namespace ZEV {

namespace {

struct TCellRect {
    bool bUsed = false;
    int x = 0, y = 0, w = 0, h = 0;
};

} // namespace

CLayoutBorder::CLayoutBorder() : m_pCells(std::make_shared<std::array<TLayoutCell, 5>>())
{
}

ILayoutItem* CLayoutBorder::Clone() const
{
    return new CLayoutBorder(*this);
}

bool CLayoutBorder::GetMinSize(int& nWidth, int& nHeight)
{
    const auto& cells = *m_pCells;
    int w = 0, h = 0;
    for (ECell e : {WEST, CENTER, EAST}) {
        int cw, ch;
        if (!cells[e].m_pItem || !cells[e].m_pItem->GetMinSize(cw, ch))
            continue;
        h = std::max(h, ch);
        w += (w != 0 ? m_nHGap : 0) + cw;
    }
    for (ECell e : {NORTH, SOUTH}) {
        int cw, ch;
        if (!cells[e].m_pItem || !cells[e].m_pItem->GetMinSize(cw, ch))
            continue;
        w = std::max(w, cw);
        h += (h != 0 ? m_nVGap : 0) + ch;
    }
    AddMargins(w, h);
    nWidth = w;
    nHeight = h;
    return true;
}

void CLayoutBorder::Move(int x0, int y0, DWORD dwTag, HWND* phChain)
{
    int W, H;
    if (!GetSize(W, H))
        return;
    const auto& cells = *m_pCells;
    int x = m_rcMargin.left, y = m_rcMargin.top;
    int nAvailW = W - m_rcMargin.left - m_rcMargin.right;
    int nAvailH = H - m_rcMargin.top - m_rcMargin.bottom;
    TCellRect rects[5];
    int w, h;

    if (cells[SOUTH].m_pItem && cells[SOUTH].m_pItem->GetSize(w, h)) {
        rects[SOUTH] = {true, x, y + nAvailH - h, nAvailW, h};
        nAvailH -= m_nVGap + h;
    }
    if (cells[NORTH].m_pItem && cells[NORTH].m_pItem->GetSize(w, h)) {
        rects[NORTH] = {true, x, y, nAvailW, h};
        y += h + m_nVGap;
        nAvailH -= h + m_nVGap;
    }
    if (cells[EAST].m_pItem && cells[EAST].m_pItem->GetSize(w, h)) {
        rects[EAST] = {true, x + nAvailW - w, y, w, nAvailH};
        nAvailW -= w + m_nHGap;
    }
    if (cells[WEST].m_pItem && cells[WEST].m_pItem->GetSize(w, h)) {
        rects[WEST] = {true, x, y, w, nAvailH};
        x += w + m_nHGap;
        nAvailW -= w + m_nHGap;
    }
    if (cells[CENTER].m_pItem)
        rects[CENTER] = {true, x, y, nAvailW, nAvailH};

    for (ECell e : {NORTH, WEST, CENTER, EAST, SOUTH}) {
        const TCellRect& r = rects[e];
        if (r.bUsed)
            PlaceChild(cells[e], r.x, r.y, r.w, r.h, x0, y0, dwTag, phChain);
    }
}

} // namespace ZEV
