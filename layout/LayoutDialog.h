#pragma once

#include "framework/Dialog.h"
#include "layout/LayoutItem.h"

namespace ZEV {

// A resizable dialog whose controls follow a layout: every WM_SIZE hands the
// client area to the root item, and the minimum tracking size is the root's
// minimum size plus the frame. Without a root it is a plain dialog.
class CLayoutDialog : public ::CDialog
{
public:
    CLayoutDialog();
    explicit CLayoutDialog(UINT nIDTemplate, ::CWnd* pParentWnd = NULL);
    explicit CLayoutDialog(LPCSTR lpszTemplateName, ::CWnd* pParentWnd = NULL);

    // Keeps a clone of the item as the root.
    void SetRootItem(const ILayoutItem& root) { m_pRootItem.reset(root.Clone()); }
    ILayoutItem* GetRootItem() const { return m_pRootItem.get(); }
    // Makes root the layout and arranges the controls at once; when that works
    // the window is given its own size again, so that from then on the
    // arrangement follows from WM_SIZE. Answers whether the layout applied.
    bool InstallLayout(const ILayoutItem& root);

    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

    bool m_bGrowHorizontally;
    bool m_bGrowVertically;

protected:
    TLayoutItemPtr m_pRootItem;

private:
    void ArrangeForSize(int nWidth, int nHeight);
    void LimitTracking(MINMAXINFO* pInfo);
};

} // namespace ZEV
