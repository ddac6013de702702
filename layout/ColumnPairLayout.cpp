#include "layout/ColumnPairLayout.h"

#include "layout/LayoutPair.h"
#include "layout/LayoutWindow.h"

namespace ZEV {

CLayoutBorder MakeColumnPairLayout(HWND hLabel1, HWND hLabel2, HWND hView1, HWND hView2)
{
    CLayoutPair labels(TLayoutCell(LAYOUT_FILL, LAYOUT_CENTER, CLayoutWindow(hLabel1)),
                       TLayoutCell(LAYOUT_FILL, LAYOUT_CENTER, CLayoutWindow(hLabel2)));
    CLayoutPair views(TLayoutCell(LAYOUT_FILL, LAYOUT_FILL, CLayoutWindow(hView1)),
                      TLayoutCell(LAYOUT_FILL, LAYOUT_FILL, CLayoutWindow(hView2)));
    CLayoutBorder border;
    border.SetCell(CLayoutBorder::NORTH, TLayoutCell(LAYOUT_FILL, LAYOUT_FILL, labels));
    border.SetCell(CLayoutBorder::CENTER, TLayoutCell(LAYOUT_FILL, LAYOUT_FILL, views));
    return border;
}

} // namespace ZEV
