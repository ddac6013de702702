#pragma once

#include "layout/LayoutContainer.h"

namespace ZEV {

// Two cells side by side (horizontal) or one above the other, splitting the
// space by a percentage for the first.
class CLayoutPair : public CLayoutContainer
{
public:
    CLayoutPair();
    CLayoutPair(const TLayoutCell& first, const TLayoutCell& second, bool bHorizontal = true,
                int nPercent = 50);

    // Copies the settings; the cells' items are shared with the original.
    ILayoutItem* Clone() const override;
    // False while either cell has no item.
    bool GetMinSize(int& nWidth, int& nHeight) override;
    void Move(int x, int y, DWORD dwTag, HWND* phChain) override;

    void SetFirst(const TLayoutCell& cell) { m_first = cell; }
    void SetSecond(const TLayoutCell& cell) { m_second = cell; }
    void SetPercent(int nPercent) { m_nPercent = nPercent; }
    void SetHorizontal(bool bHorizontal) { m_bHorizontal = bHorizontal; }

private:
    TLayoutCell m_first;
    TLayoutCell m_second;
    int m_nPercent;
    bool m_bHorizontal;
};

} // namespace ZEV
