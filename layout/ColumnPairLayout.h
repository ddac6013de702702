#pragma once

#include <windows.h>

#include "layout/LayoutBorder.h"

namespace ZEV {

// Two columns side by side, each a label over a view: the labels keep their
// height and fill their half of the width, the views take everything else.
// No margins and no gaps, so the halves meet edge to edge.
CLayoutBorder MakeColumnPairLayout(HWND hLabel1, HWND hLabel2, HWND hView1, HWND hView2);

} // namespace ZEV
