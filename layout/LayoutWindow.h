#pragma once

#include "layout/LayoutItem.h"

namespace ZEV {

// The leaf of a layout: one control. Its minimum size is the control's size
// when the item was made.
class CLayoutWindow : public ILayoutItem
{
public:
    explicit CLayoutWindow(HWND hWnd);

    ILayoutItem* Clone() const override;
    bool GetSize(int& nWidth, int& nHeight) override;
    bool GetMinSize(int& nWidth, int& nHeight) override;
    bool SetSize(int nWidth, int nHeight) override;
    void Move(int x, int y, DWORD dwTag, HWND* phChain) override;

    HWND GetWindow() const { return m_hWnd; }

private:
    HWND m_hWnd;
    int m_nMinWidth;
    int m_nMinHeight;
};

} // namespace ZEV
