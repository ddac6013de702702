#pragma once

#include "layout/LayoutItem.h"

namespace ZEV {

// How a child sits in its cell, the same numbers for both directions.
enum ELayoutMode {
    LAYOUT_START_CENTER = 0,  // left horizontally, but centred vertically
    LAYOUT_START = 1,
    LAYOUT_CENTER = 2,
    LAYOUT_END = 3,
    LAYOUT_FILL = 4           // sized to the cell; centred when it refuses
};

// One cell of a container: placement modes and the item (a clone of the one
// given, shared between copies of the cell). An empty cell holds no item.
struct TLayoutCell {
    TLayoutCell() : m_nHMode(LAYOUT_FILL), m_nVMode(LAYOUT_FILL) {}
    TLayoutCell(int nHMode, int nVMode, const ILayoutItem& item)
        : m_nHMode(nHMode), m_nVMode(nVMode), m_pItem(item.Clone()) {}

    int m_nHMode;
    int m_nVMode;
    TLayoutItemPtr m_pItem;
};

// What containers share: their size (computed from the minimum size until
// one is given), margins and gaps.
class CLayoutContainer : public ILayoutItem
{
public:
    CLayoutContainer();

    bool GetSize(int& nWidth, int& nHeight) override;
    bool SetSize(int nWidth, int nHeight) override;

    void SetMargins(int nLeft, int nTop, int nRight, int nBottom);
    void SetGaps(int nHorizontal, int nVertical);

protected:
    // Places a cell's child in the rectangle (cx, cy, cw, ch), which is
    // relative to the origin (x0, y0); a negative origin coordinate skips
    // that direction.
    static void PlaceChild(const TLayoutCell& cell, int cx, int cy, int cw, int ch, int x0, int y0,
                           DWORD dwTag, HWND* phChain);
    // Adds the margins to a minimum size.
    void AddMargins(int& nWidth, int& nHeight) const;

    bool m_bSizeValid;
    int m_nWidth;
    int m_nHeight;
    RECT m_rcMargin;
    int m_nHGap;
    int m_nVGap;
};

} // namespace ZEV
