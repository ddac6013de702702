#pragma once

#include "layout/LayoutContainer.h"

#include <array>
#include <memory>

namespace ZEV {

// North and south take their height across the whole width, west and east
// their width across what is left, and the center takes the rest. Cells
// without an item are left out.
class CLayoutBorder : public CLayoutContainer
{
public:
    enum ECell { NORTH = 0, SOUTH = 1, WEST = 2, CENTER = 3, EAST = 4 };

    CLayoutBorder();

    // The clone shares the cells with the original.
    ILayoutItem* Clone() const override;
    bool GetMinSize(int& nWidth, int& nHeight) override;
    void Move(int x, int y, DWORD dwTag, HWND* phChain) override;

    void SetCell(ECell eCell, const TLayoutCell& cell) { (*m_pCells)[eCell] = cell; }
    const TLayoutCell& GetCell(ECell eCell) const { return (*m_pCells)[eCell]; }

private:
    std::shared_ptr<std::array<TLayoutCell, 5>> m_pCells;
};

} // namespace ZEV
