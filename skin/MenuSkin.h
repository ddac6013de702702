#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "skin/SharedGdiObjectT.h"
#include "skin/WindowSubclasser.h"

namespace ZEV {

// The menu drawing resources of a skin: fonts, colours and the bar brush.
// It takes menus over (makes their items owner-drawn) for one window.
class CMenuSkin
{
public:
    CMenuSkin();

    // crBack CLR_INVALID (-1): the system's menu colour.
    void SetTextColors(COLORREF crText, COLORREF crBack);
    void SetHighlightColors(COLORREF crBack, COLORREF crText);
    void SetBarBrush(const CSharedBrush& brush) { m_barBrush = brush; }

    COLORREF GetTextColor() const { return m_crText; }
    COLORREF GetBackColor() const { return m_crBack; }
    COLORREF GetHighlightColor() const { return m_crHighlight; }
    COLORREF GetHighlightTextColor() const { return m_crHighlightText; }
    HBRUSH GetBarBrush() const { return m_barBrush.Get(); }

    // The system's menu font (bold for default items) with the Shift-JIS set.
    HFONT GetFont(bool bBold) const;

    // The same resources with fonts of its own, made anew on first use.
    CMenuSkin Clone() const;

    // Makes every item of hMenu that is not owner-drawn yet owner-drawn, with
    // its position in the low word of the item data and the registration id
    // in the high word, registers the menu with owner and measures its items.
    // False when there was nothing to take over.
    bool TakeOver(CWindowSubclasser& owner, HMENU hMenu, bool bMenuBar) const;

private:
    COLORREF m_crText;
    COLORREF m_crBack;
    COLORREF m_crHighlight;
    COLORREF m_crHighlightText;
    CSharedBrush m_barBrush;
    mutable CSharedFont m_font;
    mutable CSharedFont m_boldFont;
};

// What the skin keeps of one owner-drawn item.
struct TMenuItemRecord
{
    std::string text;
    UINT type = 0;
    UINT state = 0;
    HBITMAP image = nullptr;
    bool ownerDrawn = false;
    int width = 0;
    int height = 0;
};

// Measures and draws the items of one taken-over menu.
class CMenuDrawer : public IMenuItemDrawer
{
public:
    CMenuDrawer(const CMenuSkin& skin, HMENU hMenu, bool bMenuBar);

    void MeasureItem(MEASUREITEMSTRUCT& mis) override;
    void DrawItem(const DRAWITEMSTRUCT& dis) override;

    std::vector<TMenuItemRecord>& GetItems() { return m_items; }
    // Fills width and height of every owner-drawn item.
    void MeasureAll();

private:
    void MeasurePopupItems(HDC hdc);
    void MeasureBarItems(HDC hdc);
    void DrawBarItem(const DRAWITEMSTRUCT& dis, const TMenuItemRecord& item);
    void DrawPopupItem(const DRAWITEMSTRUCT& dis, const TMenuItemRecord& item);
    const TMenuItemRecord* FindItem(ULONG_PTR itemData) const;

    CMenuSkin m_skin;
    HMENU m_hMenu;
    bool m_bMenuBar;
    std::vector<TMenuItemRecord> m_items;
};

} // namespace ZEV
